// Main window: menus, tool bar, command bar, child windows and lifecycle.
#include "app/main_form.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTextEdit>
#include <QToolBar>
#include <QToolBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/about_box.h"
#include "app/mdi_arrange.h"
#include "app/records_windows/hraci_win.h"
#include "app/records_windows/seskupeni_win.h"
#include "app/round_box.h"
#include "app/tool_icons.h"
#include "app/window_settings.h"
#include "pairing/system_win.h"
#include "records/records_error.h"
#include "records/transfer/round_transfer.h"

namespace app {

namespace {

constexpr int kInitialWidth = 648;
constexpr int kInitialHeight = 533;

// A hint "Short|Long" gives the tool tip and the status line text.
void SetHint(QAction& action, const QString& hint) {
  const qsizetype bar = hint.indexOf(QLatin1Char('|'));
  action.setToolTip(bar < 0 ? hint : hint.left(bar));
  action.setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

}  // namespace

TMainForm::TMainForm(pairing::WindowDialogs& dialogs, records::TData* data, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), data_(data) {
  setObjectName(QStringLiteral("MainForm"));
  mdi_area_ = new QMdiArea(this);
  mdi_area_->setObjectName(QStringLiteral("MdiArea"));
  mdi_area_->setBackground(palette().brush(QPalette::Dark));
  setCentralWidget(mdi_area_);
  connect(mdi_area_, &QMdiArea::subWindowActivated, this, [this] {
    ChildActivated();
    UpdateCloseAvailability();
  });

  BuildActions();
  BuildMenus();
  UpdateCloseAvailability();
  BuildToolBar();
  BuildCommandBar();
  statusBar()->setObjectName(QStringLiteral("StatusBar"));
  SetTitle();
  resize(kInitialWidth, kInitialHeight);

  settings_ = &TJvRegAuto::Attach(*this, QStringLiteral("MainWin"), objectName());
  LoadSettings(*settings_);
}

// The workspace announces activations while Qt destroys the children, after
// this object has stopped being a TMainForm.
TMainForm::~TMainForm() { disconnect(mdi_area_, nullptr, this, nullptr); }

void TMainForm::SetAboutBox(TAboutBox* box) { about_box_ = box; }

void TMainForm::Guarded(const std::function<void()>& handler) {
  pairing::RunGuarded(dialogs_, handler);
}

QAction* TMainForm::NewAction(const QString& name, const QString& caption, const QString& hint,
                              const QKeySequence& shortcut, std::function<void()> handler) {
  auto* action = new QAction(caption, this);
  action->setObjectName(name);
  SetHint(*action, hint);
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  if (handler)
    connect(action, &QAction::triggered, this,
            [this, handler = std::move(handler)] { Guarded(handler); });
  return action;
}

QAction* TMainForm::Action(const QString& name) const { return findChild<QAction*>(name); }

void TMainForm::BuildActions() {
  struct ActionDef {
    const char* name;
    QString caption;
    QString hint;
    QKeySequence shortcut;
    std::function<void()> handler;
  };
  const ActionDef file[] = {
      {"FileNew1", QStringLiteral("&New"), QStringLiteral("New|Create a new file"),
       QKeySequence(Qt::CTRL | Qt::Key_N), [this] { FileNew1Execute(); }},
      {"FileOpen1", QStringLiteral("&Open"), QStringLiteral("Open|Open a file"),
       QKeySequence(Qt::CTRL | Qt::Key_O), [this] { FileOpen1Execute(); }},
      {"FileClose1",
       QStringLiteral("&Close"),
       QStringLiteral("Close|Close current file"),
       {},
       [this] { FileClose1Execute(); }},
      {"FileSave1", QStringLiteral("&Save"), QStringLiteral("Save|Save current file"),
       QKeySequence(Qt::CTRL | Qt::Key_S), [this] { FileSave1Execute(); }},
      {"FileSaveAs1",
       QStringLiteral("Save &As..."),
       QStringLiteral("Save As|Save current file with different name"),
       {},
       [] {}},
  };
  // Without a data module there is no file to work on.
  for (const ActionDef& def : file)
    NewAction(QLatin1String(def.name), def.caption, def.hint, def.shortcut, def.handler)
        ->setEnabled(data_ != nullptr);
  NewAction(QStringLiteral("FileExit1"), QStringLiteral("E&xit"),
            QStringLiteral("Exit|Exit application"), {}, [this] { close(); });

  const ActionDef edit[] = {
      {"EditCut1", QStringLiteral("Cu&t"),
       QStringLiteral("Cut|Cuts the selection and puts it on the Clipboard"),
       QKeySequence(Qt::CTRL | Qt::Key_X), [this] { EditCommand("cut"); }},
      {"EditCopy1", QStringLiteral("&Copy"),
       QStringLiteral("Copy|Copies the selection and puts it on the Clipboard"),
       QKeySequence(Qt::CTRL | Qt::Key_C), [this] { EditCommand("copy"); }},
      {"EditPaste1", QStringLiteral("&Paste"), QStringLiteral("Paste|Inserts Clipboard contents"),
       QKeySequence(Qt::CTRL | Qt::Key_V), [this] { EditCommand("paste"); }},
  };
  for (const ActionDef& def : edit)
    NewAction(QLatin1String(def.name), def.caption, def.hint, def.shortcut, def.handler);

  const ActionDef window[] = {
      {"SytemWindow1", QStringLiteral("Sytem Window"), QString(),
       QKeySequence(Qt::CTRL | Qt::Key_W), [this] { SytemWindowClick(); }},
      {"WindowCascade1",
       QStringLiteral("&Cascade"),
       QStringLiteral("Cascade|Arranges windows so they overlap"),
       {},
       [this] { CascadeChildren(*mdi_area_); }},
      {"WindowTileHorizontal1",
       QStringLiteral("Tile &Horizontally"),
       QStringLiteral("Tile Horizontally|Arranges windows as horizontal, non-overlapping tiles"),
       {},
       [this] { TileChildren(*mdi_area_, Qt::Horizontal); }},
      {"WindowTileVertical1",
       QStringLiteral("Tile &Vertically"),
       QStringLiteral("Tile Vertically|Arranges windows as vertical, non-overlapping tiles"),
       {},
       [this] { TileChildren(*mdi_area_, Qt::Vertical); }},
      {"WindowMinimizeAll1",
       QStringLiteral("&Minimize All"),
       QStringLiteral("Minimize All|Minimizes all windows"),
       {},
       [this] { MinimizeAllChildren(*mdi_area_); }},
      {"WindowArrange1",
       QStringLiteral("&Arrange All"),
       QStringLiteral("Arrange All|Arranges the icons of minimized windows"),
       {},
       [this] { ArrangeMinimizedChildren(*mdi_area_); }},
  };
  for (const ActionDef& def : window)
    NewAction(QLatin1String(def.name), def.caption, def.hint, def.shortcut, def.handler);

  NewAction(QStringLiteral("HelpAbout1"), QStringLiteral("&About..."),
            QStringLiteral("About|Displays program information"), {}, [this] {
              if (about_box_) about_box_->exec();
            });
}

void TMainForm::BuildMenus() {
  const auto add_menu = [this](const QString& title, const QString& hint,
                               std::initializer_list<const char*> actions) {
    QMenu* menu = menuBar()->addMenu(title);
    menu->menuAction()->setStatusTip(hint);
    for (const char* name : actions) {
      if (name == nullptr) {
        menu->addSeparator();
      } else {
        menu->addAction(Action(QLatin1String(name)));
      }
    }
    return menu;
  };
  QMenu* file_menu = add_menu(
      QStringLiteral("&File"), QStringLiteral("File related commands"),
      {"FileNew1", "FileOpen1", "FileClose1", "FileSave1", "FileSaveAs1", nullptr, "FileExit1"});
  add_menu(QStringLiteral("&Edit"), QStringLiteral("Edit commands"),
           {"EditCut1", "EditCopy1", "EditPaste1"});
  window_menu_ = add_menu(QStringLiteral("&Window"), QStringLiteral("Window related commands"),
                          {"SytemWindow1", nullptr, "WindowCascade1", "WindowTileHorizontal1",
                           "WindowTileVertical1", "WindowMinimizeAll1", "WindowArrange1"});
  connect(window_menu_, &QMenu::aboutToShow, this, [this] { FillWindowList(); });
  connect(file_menu, &QMenu::aboutToShow, this, [this] { UpdateCloseAvailability(); });
  add_menu(QStringLiteral("&Help"), QStringLiteral("Help topics"), {"HelpAbout1"});
}

void TMainForm::BuildToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("ToolBar1"));
  bar->setObjectName(QStringLiteral("ToolBar1"));
  bar->setMovable(false);
  bar->setIconSize(QSize(16, 16));
  const auto blank = [this](const char* name) {
    QAction* action = NewAction(QLatin1String(name), QString(), QString(), {}, nullptr);
    action->setIcon(PaintToolIcon(ToolIcon::kBlank));
    return action;
  };
  const auto with_icon = [this](const char* name, ToolIcon icon) {
    QAction* action = Action(QLatin1String(name));
    action->setIcon(PaintToolIcon(icon));
    return action;
  };
  bar->addAction(blank("ToolButton1"));
  bar->addSeparator();
  bar->addAction(with_icon("FileNew1", ToolIcon::kNew));
  bar->addAction(with_icon("FileOpen1", ToolIcon::kOpen));
  bar->addAction(with_icon("FileSave1", ToolIcon::kSave));
  bar->addSeparator();
  bar->addAction(with_icon("WindowCascade1", ToolIcon::kCascade));
  bar->addAction(with_icon("WindowTileHorizontal1", ToolIcon::kTileHorizontal));
  bar->addAction(with_icon("WindowTileVertical1", ToolIcon::kTileVertical));
  bar->addAction(blank("ToolButton2"));
  bar->addSeparator();

  QWidget* round_box = nullptr;
  if (data_ != nullptr) {
    round_box_ = new TRoundBox(*data_, dialogs_, [this] { return CommitTypedResults(); }, bar);
    round_box = round_box_;
  } else {
    round_box = new QLineEdit(bar);
    round_box->setObjectName(QStringLiteral("edKolo"));
    round_box->setEnabled(false);
  }
  round_box->setFixedWidth(48);
  bar->addWidget(round_box);
  const struct {
    const char* name;
    QStyle::StandardPixmap icon;
    int delta;
  } round_buttons[] = {{"BitBtn1", QStyle::SP_ArrowDown, -1}, {"BitBtn2", QStyle::SP_ArrowUp, +1}};
  for (const auto& round_button : round_buttons) {
    auto* button = new QToolButton(bar);
    button->setObjectName(QLatin1String(round_button.name));
    button->setIcon(style()->standardIcon(round_button.icon));
    button->setEnabled(round_box_ != nullptr);
    connect(button, &QToolButton::clicked, this,
            [this, delta = round_button.delta] { Guarded([this, delta] { round_box_->StepRound(delta); }); });
    bar->addWidget(button);
  }
}

void TMainForm::BuildCommandBar() {
  auto* dock = new QDockWidget(this);
  dock->setObjectName(QStringLiteral("JvOutlookBar1"));
  dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
  dock->setTitleBarWidget(new QWidget(dock));
  auto* pages = new QToolBox(dock);
  struct Command {
    const char* name;
    QString caption;
    void (TMainForm::*click)();
  };
  const auto page = [this, pages](const QString& title, std::initializer_list<Command> commands) {
    auto* widget = new QWidget(pages);
    auto* layout = new QVBoxLayout(widget);
    for (const Command& command : commands) {
      auto* button = new QPushButton(command.caption, widget);
      button->setObjectName(QLatin1String(command.name));
      button->setMinimumHeight(48);
      button->setEnabled(data_ != nullptr);
      connect(button, &QPushButton::clicked, this, [this, click = command.click] { (this->*click)(); });
      layout->addWidget(button);
    }
    layout->addStretch(1);
    return pages->addItem(widget, title);
  };
  page(QStringLiteral("System Level"),
       {{"GridToSeating", QStringLiteral("Sys > Seskup"), &TMainForm::GridToSeatingClick},
        {"SeatingToGrid", QStringLiteral("Seskup > Sys"), &TMainForm::SeatingToGridClick}});
  pages->setCurrentIndex(page(QStringLiteral("Use Level"),
                              {{"RoundChain", QStringLiteral("Seskup kolo"), &TMainForm::RoundChainClick}}));
  pages->setFixedWidth(128);
  dock->setWidget(pages);
  addDockWidget(Qt::LeftDockWidgetArea, dock);
}

void TMainForm::UpdateCloseAvailability() {
  Action(QStringLiteral("FileClose1"))->setEnabled(data_ != nullptr && mdi_area_->currentSubWindow() != nullptr);
}

void TMainForm::SetTitle() {
  setWindowTitle(QStringLiteral("Pelmora - VElinari edition [") + current_file_name_ +
                 QLatin1Char(']'));
}

void TMainForm::LoadSettings(TJvRegAuto& settings) {
  Guarded([&settings] { settings.Load(); });
}

void TMainForm::SaveSettings() {
  for (const QPointer<TJvRegAuto>& settings : child_settings_)
    if (settings) Guarded([&settings] { settings->Save(); });
  Guarded([this] { settings_->Save(); });
}

void TMainForm::AddChild(QMdiSubWindow& window, TJvRegAuto& settings) {
  mdi_area_->addSubWindow(&window);
  child_settings_.emplace_back(&settings);
  LoadSettings(settings);
  window.show();
  mdi_area_->setActiveSubWindow(&window);
}

pairing::TSystemWin* TMainForm::SytemWindowClick() {
  auto* window = new pairing::TSystemWin(dialogs_);
  TJvRegAuto* settings = &TJvRegAuto::Attach(*window, QLatin1String(pairing::TSystemWin::kName),
                                             QLatin1String(pairing::TSystemWin::kName));
  settings->AddProperty(
      {QStringLiteral("SystemWin.WindowState"),
       [window] { return StoredWindowState(window->windowState()); },
       [window](int state) { window->setWindowState(WindowStateFromStored(state)); }, 0, 2});
  AddChild(*window, *settings);
  current_system_win_ = window;
  return window;
}

void TMainForm::FileNew1Execute() {
  if (!CommitTypedResults()) return;
  current_file_name_ = QStringLiteral("velinari");
  if (data_->IsConnected()) data_->ShutDatabase();
  data_->InitNew(records::TData::kFileName);
  RefreshWindows();
  if (data_->IsReadOnly()) dialogs_.ShowMessage(kReadOnlyText);
}

// Open goes on after a Close that had no window to act on: the chosen file
// is what the user asked for.
void TMainForm::FileOpen1Execute() {
  if (!CommitTypedResults()) return;
  const std::optional<std::string> name = dialogs_.AskOpenFileName(kOpenFilter);
  if (!name) return;
  if (!FileClose1Execute()) return;
  current_file_name_ = QFile::decodeName(QByteArray::fromStdString(*name));
  data_->InitOpen(*name);
  RefreshWindows();
  if (!data_->IsConnected()) {
    dialogs_.ShowError(kNotTournamentText);
  } else if (data_->IsReadOnly()) {
    dialogs_.ShowMessage(kReadOnlyText);
  }
}

bool TMainForm::FileClose1Execute() {
  if (!CommitTypedResults()) return false;
  FileSave1Execute();
  // A closed window is gone for the commands even before Qt deletes it.
  if (hraci_win_ && hraci_win_->close()) hraci_win_.clear();
  if (seskupeni_win_ && seskupeni_win_->close()) seskupeni_win_.clear();
  return true;
}

void TMainForm::FileSave1Execute() {
  if (!CommitTypedResults()) return;
  data_->ShutDatabase();
}

bool TMainForm::CommitTypedResults() {
  if (current_system_win_) current_system_win_->CommitGridEditor();
  for (TRecordsChild* window : {static_cast<TRecordsChild*>(hraci_win_.data()),
                                static_cast<TRecordsChild*>(seskupeni_win_.data())}) {
    if (window != nullptr && !window->Grid().CommitPending()) return false;
  }
  return true;
}

pairing::TSystemWin& TMainForm::RequireSystemWin() const {
  if (!current_system_win_) throw records::RecordsError(kNoSystemWinText);
  return *current_system_win_;
}

void TMainForm::Transfer(const std::function<void(pairing::TSystemWin&)>& command) {
  Guarded([&] {
    if (!CommitTypedResults()) return;
    pairing::TSystemWin& window = RequireSystemWin();
    // The grid shows what the command left, also when it failed.
    struct ShowGrid {
      pairing::TSystemWin& window;
      ~ShowGrid() { window.ShowEngineState(); }
    } show{window};
    command(window);
  });
}

void TMainForm::GridToSeatingClick() {
  Transfer([this](pairing::TSystemWin& window) {
    records::GridToSeating(*data_, &window.Engine(),
                           [this](const std::string& question) { return dialogs_.AskYesNoDefaultNo(question); });
  });
}

void TMainForm::SeatingToGridClick() {
  Transfer([this](pairing::TSystemWin& window) { records::SeatingToGrid(*data_, &window.Engine()); });
}

// The window's own one-click run also puts the drawn grid on the clipboard.
// A drawn round becomes the current one (the chain stores it and filters the
// seating list on it).
void TMainForm::RoundChainClick() {
  Transfer([this](pairing::TSystemWin& window) {
    const auto one_click = [&window](pairing::PairingEngine& engine) {
      const int32_t before = engine.RoundCount();
      window.RunOneClick();
      return engine.RoundCount() == before + 1;
    };
    records::RoundChain(*data_, &window.Engine(), one_click);
  });
}

void TMainForm::RefreshWindows() {
  SetTitle();
  if (hraci_win_) hraci_win_->close();
  if (seskupeni_win_) seskupeni_win_->close();
  if (current_system_win_) current_system_win_->close();
  auto* players = new THraciWin(*data_, dialogs_);
  hraci_win_ = players;
  AddChild(*players, players->Settings());
  auto* seatings = new TSeskupeniWin(*data_, dialogs_);
  seskupeni_win_ = seatings;
  AddChild(*seatings, seatings->Settings());
  SytemWindowClick();
}

// The active child's own menu ("System" of a pairing window) shows in the
// menu bar before "&Window" while that child is the current one.
void TMainForm::ChildActivated() {
  QMdiSubWindow* current = mdi_area_->currentSubWindow();
  auto* system_win = qobject_cast<pairing::TSystemWin*>(current);
  QMenu* wanted = system_win ? system_win->SystemMenu() : nullptr;
  if (wanted == shown_child_menu_) return;
  if (shown_child_menu_) menuBar()->removeAction(shown_child_menu_->menuAction());
  if (wanted) menuBar()->insertMenu(window_menu_->menuAction(), wanted);
  shown_child_menu_ = wanted;
}

void TMainForm::FillWindowList() {
  for (QAction* action : window_list_) {
    window_menu_->removeAction(action);
    action->deleteLater();
  }
  window_list_.clear();
  const QList<QMdiSubWindow*> children = mdi_area_->subWindowList(QMdiArea::CreationOrder);
  if (children.isEmpty()) return;
  window_list_.append(window_menu_->addSeparator());
  int number = 0;
  for (QMdiSubWindow* child : children) {
    QAction* action =
        window_menu_->addAction(QStringLiteral("&%1 %2").arg(++number).arg(child->windowTitle()));
    action->setCheckable(true);
    action->setChecked(child == mdi_area_->currentSubWindow());
    QPointer<QMdiSubWindow> target(child);
    connect(action, &QAction::triggered, this, [this, target] {
      Guarded([this, target] {
        if (!target) return;
        if (target->isMinimized()) target->showNormal();
        mdi_area_->setActiveSubWindow(target);
      });
    });
    window_list_.append(action);
  }
}

// Cut, copy and paste act on whatever edit control has the focus.
void TMainForm::EditCommand(const char* slot) {
  QWidget* focus = QApplication::focusWidget();
  if (auto* spin = qobject_cast<QAbstractSpinBox*>(focus)) focus = spin->findChild<QLineEdit*>();
  if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus) ||
      qobject_cast<QTextEdit*>(focus))
    QMetaObject::invokeMethod(focus, slot);
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  Guarded([this] {
    if (data_ != nullptr) {
      FileNew1Execute();
    } else {
      SytemWindowClick();
    }
  });
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (!closing_) {
    closing_ = true;
    Guarded([this] { dialogs_.ShowMessage("konec"); });
    // What the records windows hold and have not posted goes into the file.
    if (hraci_win_) hraci_win_->Grid().CommitPending();
    if (seskupeni_win_) seskupeni_win_->Grid().CommitPending();
    SaveSettings();
  }
  event->accept();
}

}  // namespace app
