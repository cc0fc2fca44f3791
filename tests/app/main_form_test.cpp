// The main window: pairing windows, menus, arrangements, closing and the
// settings kept from one run to the next.
#include "app/main_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <memory>

#include "app/settings_store.h"
#include "pairing/system_win.h"
#include "tests/app/scripted_dialogs.h"

namespace {

using app::TMainForm;
using pairing::TSystemWin;

void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

class AppMainFormTest : public app_test::QtFixture {
 protected:
  std::unique_ptr<TMainForm> Start() {
    auto form = std::make_unique<TMainForm>(dialogs_);
    form->show();
    Settle();
    return form;
  }
  static void Store(const QString& key, const QString& text) {
    const std::unique_ptr<QSettings> store = app::OpenSettingsStore();
    store->setValue(key, text);
    store->sync();
  }
  static QString Stored(const QString& key) {
    return app::OpenSettingsStore()->value(key).toString();
  }
  static QList<QMdiSubWindow*> Children(TMainForm& form) {
    return form.MdiArea()->subWindowList(QMdiArea::CreationOrder);
  }

  app_test::ScriptedDialogs dialogs_;
};

TEST_F(AppMainFormTest, FirstShowingOpensOnePairingWindow) {
  std::unique_ptr<TMainForm> form = Start();
  EXPECT_EQ(form->windowTitle(), "Pelmora - VElinari edition []");
  EXPECT_EQ(form->size(), QSize(648, 533));
  ASSERT_EQ(Children(*form).size(), 1);
  EXPECT_EQ(Children(*form).first(), form->CurrentSystemWin());
  form->hide();
  form->show();
  Settle();
  EXPECT_EQ(Children(*form).size(), 1);
}

TEST_F(AppMainFormTest, SytemWindowAddsACurrentPairingWindow) {
  std::unique_ptr<TMainForm> form = Start();
  for (int count = 2; count <= 4; ++count) {
    form->Action("SytemWindow1")->trigger();
    Settle();
    ASSERT_EQ(Children(*form).size(), count);
    TSystemWin* newest = qobject_cast<TSystemWin*>(Children(*form).last());
    EXPECT_EQ(form->CurrentSystemWin(), newest);
    EXPECT_EQ(form->MdiArea()->currentSubWindow(), newest);
    // The active pairing window's "System" menu sits before "&Window".
    const QList<QAction*> menus = form->menuBar()->actions();
    const qsizetype window_menu = menus.indexOf(form->WindowMenu()->menuAction());
    ASSERT_GT(window_menu, 0);
    EXPECT_EQ(menus.at(window_menu - 1), newest->SystemMenu()->menuAction());
    EXPECT_EQ(menus.count(newest->SystemMenu()->menuAction()), 1);
  }
}

// Ctrl+W belongs to "Sytem Window", not to the child's close action.
TEST_F(AppMainFormTest, CtrlWOpensAnotherPairingWindow) {
  std::unique_ptr<TMainForm> form = Start();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  TSystemWin* first = form->CurrentSystemWin();
  first->Grid()->setFocus();
  Settle();
  QTest::keyClick(first->Grid(), Qt::Key_W, Qt::ControlModifier);
  Settle();
  ASSERT_EQ(Children(*form).size(), 2);
  EXPECT_FALSE(first->isMinimized());
  EXPECT_NE(form->CurrentSystemWin(), first);
}

// F1 to F5 of the menu bar's "System" menu act on the active pairing window.
TEST_F(AppMainFormTest, FunctionKeysActOnTheActivePairingWindow) {
  std::unique_ptr<TMainForm> form = Start();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  TSystemWin* first = form->CurrentSystemWin();
  TSystemWin* second = form->SytemWindowClick();
  Settle();
  for (TSystemWin* window : {first, second}) window->Engine().SetRoundCount(3);
  form->MdiArea()->setActiveSubWindow(first);
  Settle();
  QTest::keyClick(form.get(), Qt::Key_F5);  // "Vycisti tabulku"
  Settle();
  EXPECT_EQ(first->Engine().RoundCount(), 0);
  EXPECT_EQ(second->Engine().RoundCount(), 3);
  EXPECT_TRUE(dialogs_.errors.empty());
}

TEST_F(AppMainFormTest, EditCommandsWorkOnTheFocusedEditControl) {
  std::unique_ptr<TMainForm> form = Start();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  QLineEdit* box = form->CurrentSystemWin()->Edit2();
  box->setFocus();
  Settle();
  ASSERT_EQ(QApplication::focusWidget(), box);
  box->selectAll();
  form->Action("EditCopy1")->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "command");
  form->Action("EditCut1")->trigger();
  EXPECT_EQ(box->text(), "");
  form->Action("EditPaste1")->trigger();
  form->Action("EditPaste1")->trigger();
  EXPECT_EQ(box->text(), "commandcommand");
}

TEST_F(AppMainFormTest, KonecIsShownOnceOnClosing) {
  std::unique_ptr<TMainForm> form = Start();
  form->Action("SytemWindow1")->trigger();  // a second pairing window
  EXPECT_TRUE(form->close());
  form->close();
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"konec"});
  EXPECT_TRUE(dialogs_.errors.empty());
  for (const char* key :
       {"MainWin/.Left", "MainWin/.WindowState", "SystemWin/.Left", "SystemWin/.WindowState"})
    EXPECT_FALSE(Stored(key).isEmpty()) << key;
}

TEST_F(AppMainFormTest, ExitClosesTheMainWindow) {
  std::unique_ptr<TMainForm> form = Start();
  form->Action("FileExit1")->trigger();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"konec"});
}

TEST_F(AppMainFormTest, SettingsWrittenByOneRunAreRestoredByTheNext) {
  QRect main_rect;
  QRect child_rect;
  {
    std::unique_ptr<TMainForm> form = Start();
    form->setGeometry(40, 50, 700, 560);
    form->CurrentSystemWin()->setGeometry(10, 12, 400, 300);
    Settle();
    main_rect = form->geometry();
    child_rect = form->CurrentSystemWin()->geometry();
    form->close();
  }
  std::unique_ptr<TMainForm> form = Start();
  EXPECT_EQ(form->geometry(), main_rect);
  EXPECT_EQ(form->CurrentSystemWin()->geometry(), child_rect);
  EXPECT_FALSE(form->isMaximized());
}

TEST_F(AppMainFormTest, StoredMaximizedStateReopensMaximized) {
  Store("MainWin/.WindowState", "2");
  Store("SystemWin/.WindowState", "2");
  std::unique_ptr<TMainForm> form = Start();
  EXPECT_TRUE(form->isMaximized());
  EXPECT_TRUE(form->CurrentSystemWin()->isMaximized());
}

TEST_F(AppMainFormTest, NonNumericValuesReadAsDefaults) {
  Store("MainWin/.Left", "links");
  Store("MainWin/.Top", "10");
  Store("MainWin/.Right", "700");
  Store("MainWin/.Bottom", "600");
  Store("MainWin/.WindowState", "maximized");
  std::unique_ptr<TMainForm> form = Start();
  EXPECT_EQ(form->size(), QSize(648, 533));
  EXPECT_FALSE(form->isMaximized());
  EXPECT_TRUE(dialogs_.errors.empty());
}

// Settings that cannot be written are reported; the program still ends.
TEST_F(AppMainFormTest, SaveFailureIsReportedWhileClosing) {
  std::unique_ptr<TMainForm> form = Start();
  ASSERT_TRUE(QDir(HomePath()).mkdir(".VESTRUM"));
  EXPECT_TRUE(form->close());
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"konec"});
  EXPECT_EQ(dialogs_.errors,
            (std::vector<std::string>{"Could not save property SystemWin.WindowState",
                                      "Could not save property MainWin.Left"}));
}

TEST_F(AppMainFormTest, TileStacksOrSetsSideBySide) {
  std::unique_ptr<TMainForm> form = Start();
  form->Action("SytemWindow1")->trigger();
  Settle();
  const QSize area = form->MdiArea()->viewport()->size();
  const struct {
    const char* action;
    QRect first;
    QRect second;
  } cases[] = {
      {"WindowTileHorizontal1", QRect(0, 0, area.width(), area.height() / 2),
       QRect(0, area.height() / 2, area.width(), area.height() - area.height() / 2)},
      {"WindowTileVertical1", QRect(0, 0, area.width() / 2, area.height()),
       QRect(area.width() / 2, 0, area.width() - area.width() / 2, area.height())},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.action);
    form->Action(c.action)->trigger();
    Settle();
    EXPECT_EQ(Children(*form).at(0)->geometry(), c.first);
    EXPECT_EQ(Children(*form).at(1)->geometry(), c.second);
  }
}

// At the main window's first size the pairing windows open and cascade
// inside the workspace, and side by side each keeps its panel whole.
TEST_F(AppMainFormTest, PairingWindowsFitTheWorkspace) {
  std::unique_ptr<TMainForm> form = Start();
  const QRect area(QPoint(0, 0), form->MdiArea()->viewport()->size());
  EXPECT_TRUE(area.contains(form->CurrentSystemWin()->geometry()))
      << form->CurrentSystemWin()->geometry().width() << " wide in " << area.width();
  for (int more = 0; more < 3; ++more) form->Action("SytemWindow1")->trigger();
  form->Action("WindowCascade1")->trigger();
  Settle();
  for (QMdiSubWindow* child : Children(*form))
    EXPECT_TRUE(area.contains(child->geometry())) << child->geometry().bottom();
  form->Action("WindowTileVertical1")->trigger();
  Settle();
  for (QMdiSubWindow* child : Children(*form)) {
    const auto* button = child->findChild<QPushButton*>("Button1");
    ASSERT_NE(button, nullptr);
    const QRect shown(button->mapTo(child, QPoint(0, 0)), button->size());
    EXPECT_TRUE(child->rect().contains(shown)) << shown.right() << " in " << child->width();
  }
}

TEST_F(AppMainFormTest, MinimizeAllAndArrangeAll) {
  std::unique_ptr<TMainForm> form = Start();
  form->Action("SytemWindow1")->trigger();
  form->Action("WindowMinimizeAll1")->trigger();
  Settle();
  for (QMdiSubWindow* child : Children(*form)) EXPECT_TRUE(child->isMinimized());
  form->Action("WindowArrange1")->trigger();
  Settle();
  const QList<QMdiSubWindow*> children = Children(*form);
  const int bottom = form->MdiArea()->viewport()->height();
  EXPECT_EQ(children.at(0)->geometry().bottom() + 1, bottom);
  EXPECT_EQ(children.at(0)->x(), 0);
  EXPECT_EQ(children.at(1)->x(), children.at(0)->width());
}

TEST_F(AppMainFormTest, ActionsCaptionsShortcutsAndHints) {
  std::unique_ptr<TMainForm> form = Start();
  const struct {
    const char* name;
    const char* caption;
    QKeySequence shortcut;
    const char* tool_tip;
    const char* status_tip;
    bool enabled;
  } cases[] = {
      {"FileNew1", "&New", QKeySequence("Ctrl+N"), "New", "Create a new file", false},
      {"FileOpen1", "&Open", QKeySequence("Ctrl+O"), "Open", "Open a file", false},
      {"FileClose1", "&Close", QKeySequence(), "Close", "Close current file", false},
      {"FileSave1", "&Save", QKeySequence("Ctrl+S"), "Save", "Save current file", false},
      {"FileSaveAs1", "Save &As...", QKeySequence(), "Save As",
       "Save current file with different name", false},
      {"FileExit1", "E&xit", QKeySequence(), "Exit", "Exit application", true},
      {"EditCut1", "Cu&t", QKeySequence("Ctrl+X"), nullptr, nullptr, true},
      {"EditCopy1", "&Copy", QKeySequence("Ctrl+C"), nullptr, nullptr, true},
      {"EditPaste1", "&Paste", QKeySequence("Ctrl+V"), nullptr, nullptr, true},
      {"SytemWindow1", "Sytem Window", QKeySequence("Ctrl+W"), nullptr, nullptr, true},
      {"WindowCascade1", "&Cascade", QKeySequence(), nullptr, nullptr, true},
      {"WindowTileHorizontal1", "Tile &Horizontally", QKeySequence(), nullptr, nullptr, true},
      {"WindowTileVertical1", "Tile &Vertically", QKeySequence(), nullptr, nullptr, true},
      {"WindowMinimizeAll1", "&Minimize All", QKeySequence(), nullptr, nullptr, true},
      {"WindowArrange1", "&Arrange All", QKeySequence(), nullptr, nullptr, true},
      {"HelpAbout1", "&About...", QKeySequence(), nullptr, nullptr, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QAction* action = form->Action(c.name);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), c.caption);
    EXPECT_EQ(action->shortcut(), c.shortcut);
    if (c.tool_tip) {
      EXPECT_EQ(action->toolTip(), c.tool_tip);
    }
    if (c.status_tip) {
      EXPECT_EQ(action->statusTip(), c.status_tip);
    }
    EXPECT_EQ(action->isEnabled(), c.enabled);
  }
  QStringList menus;
  for (QAction* menu : form->menuBar()->actions()) menus << menu->text();
  EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "System", "&Window", "&Help"}));
  QToolBar* bar = form->findChild<QToolBar*>("ToolBar1");
  QStringList tools;
  for (QAction* action : bar->actions()) {
    if (action->isSeparator()) {
      tools << QStringLiteral("|");
    } else if (QWidget* widget = bar->widgetForAction(action);
               widget && action->objectName().isEmpty()) {
      tools << widget->objectName();
    } else {
      tools << action->objectName();
    }
  }
  EXPECT_EQ(tools, (QStringList{"ToolButton1", "|", "FileNew1", "FileOpen1", "FileSave1", "|",
                                "WindowCascade1", "WindowTileHorizontal1", "WindowTileVertical1",
                                "ToolButton2", "|", "edKolo", "BitBtn1", "BitBtn2"}));
  // Without a data module the controls of the database commands are in
  // place but disabled.
  for (const char* placeholder : {"edKolo", "BitBtn1", "BitBtn2"}) {
    QWidget* widget = form->findChild<QToolBar*>("ToolBar1")->findChild<QWidget*>(placeholder);
    ASSERT_NE(widget, nullptr) << placeholder;
    EXPECT_TRUE(widget->isVisible());
    EXPECT_FALSE(widget->isEnabled());
  }
  QWidget* command_bar = form->findChild<QWidget*>("JvOutlookBar1");
  ASSERT_NE(command_bar, nullptr);
  QStringList commands;
  for (QPushButton* button : command_bar->findChildren<QPushButton*>()) {
    commands << button->text();
    EXPECT_FALSE(button->isEnabled());
  }
  EXPECT_EQ(commands, (QStringList{"Sys > Seskup", "Seskup > Sys", "Seskup kolo"}));
}

// The items of each menu in their order ("|" a separator), and the menu's
// hint, which the status line shows.
TEST_F(AppMainFormTest, MenuItemsInTheirOrder) {
  std::unique_ptr<TMainForm> form = Start();
  const struct {
    const char* title;
    const char* hint;
    QStringList items;
  } menus[] = {
      {"&File",
       "File related commands",
       {"FileNew1", "FileOpen1", "FileClose1", "FileSave1", "FileSaveAs1", "|", "FileExit1"}},
      {"&Edit", "Edit commands", {"EditCut1", "EditCopy1", "EditPaste1"}},
      {"&Window",
       "Window related commands",
       {"SytemWindow1", "|", "WindowCascade1", "WindowTileHorizontal1", "WindowTileVertical1",
        "WindowMinimizeAll1", "WindowArrange1"}},
      {"&Help", "Help topics", {"HelpAbout1"}},
  };
  for (const auto& m : menus) {
    SCOPED_TRACE(m.title);
    QMenu* menu = nullptr;
    for (QAction* action : form->menuBar()->actions())
      if (action->text() == QLatin1String(m.title)) menu = action->menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->menuAction()->statusTip(), m.hint);
    QStringList items;
    for (QAction* action : menu->actions())
      items << (action->isSeparator() ? QStringLiteral("|") : action->objectName());
    EXPECT_EQ(items, m.items);
  }
}

// The window menu lists the children in creation order; choosing one brings
// it back from its icon and makes it the active one.
TEST_F(AppMainFormTest, WindowListActivatesTheChosenChild) {
  std::unique_ptr<TMainForm> form = Start();
  TSystemWin* first = form->CurrentSystemWin();
  form->SytemWindowClick();
  first->close();  // only minimizes
  Settle();
  QMenu* menu = form->WindowMenu();
  emit menu->aboutToShow();
  QStringList listed;
  QAction* choose_first = nullptr;
  for (QAction* action : menu->actions()) {
    if (!action->objectName().isEmpty() || action->isSeparator()) continue;
    listed << action->text();
    if (listed.size() == 1) choose_first = action;
  }
  EXPECT_EQ(listed, (QStringList{"&1 KESH tournament system", "&2 KESH tournament system"}));
  ASSERT_NE(choose_first, nullptr);
  choose_first->trigger();
  Settle();
  EXPECT_FALSE(first->isMinimized());
  EXPECT_EQ(form->MdiArea()->currentSubWindow(), first);
  // Showing the menu again lists the children once.
  emit menu->aboutToShow();
  EXPECT_EQ(menu->actions().size(),
            10);  // seven items, a separator, two children
}

// A tool bar button shows the short hint as its tool tip and, under the
// mouse, the long one in the status line.
TEST_F(AppMainFormTest, ToolBarHintsShowInTheStatusLine) {
  std::unique_ptr<TMainForm> form = Start();
  QToolBar* bar = form->findChild<QToolBar*>("ToolBar1");
  const struct {
    const char* action;
    const char* tool_tip;
    const char* status;
  } cases[] = {{"FileNew1", "New", "Create a new file"},
               {"WindowTileVertical1", "Tile Vertically",
                "Arranges windows as vertical, non-overlapping tiles"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.action);
    QWidget* button = bar->widgetForAction(form->Action(c.action));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip(), c.tool_tip);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), button->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(button, &enter);
    EXPECT_EQ(form->statusBar()->currentMessage(), c.status);
  }
}

}  // namespace
