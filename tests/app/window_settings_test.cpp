// Window settings: placement and properties written by one window and
// restored by the next, defaults for unusable values, failures reported.
#include "app/window_settings.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>
#include <QWidget>
#include <memory>

#include "tests/app/scripted_dialogs.h"

namespace {

using app::SettingsError;
using app::TJvRegAuto;

void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

class AppWindowSettingsTest : public app_test::QtFixture {
 protected:
  // A top-level window with a settings component of section "MainWin".
  struct TopLevel {
    QWidget window;
    TJvRegAuto& settings =
        TJvRegAuto::Attach(window, QStringLiteral("MainWin"), QStringLiteral("MainForm"));
  };

  static QString Stored(const QString& key) {
    return app::OpenSettingsStore()->value(key).toString();
  }
  static void Store(const QString& key, const QString& text) {
    const std::unique_ptr<QSettings> store = app::OpenSettingsStore();
    store->setValue(key, text);
    store->sync();
  }
  static QStringList PlacementValues(const QString& section) {
    QStringList values;
    for (const char* name : {".Left", ".Top", ".Right", ".Bottom", ".WindowState"})
      values << Stored(section + QLatin1Char('/') + QLatin1String(name));
    return values;
  }
};

TEST_F(AppWindowSettingsTest, StoreIsTheVestrumFileInHome) {
  EXPECT_EQ(app::OpenSettingsStore()->fileName(), QDir(HomePath()).filePath(".VESTRUM"));
}

TEST_F(AppWindowSettingsTest, PlacementIsDecimalTextWithExclusiveRightAndBottom) {
  TopLevel first;
  first.window.setGeometry(110, 120, 300, 200);
  first.settings.Save();
  EXPECT_EQ(PlacementValues("MainWin"), (QStringList{"110", "120", "410", "320", "0"}));
}

// Saving a restored window and restoring it twice must not drift.
TEST_F(AppWindowSettingsTest, SaveRestoreTwiceGivesIdenticalValues) {
  const struct {
    Qt::WindowStates state;
    const char* stored_state;
  } cases[] = {{Qt::WindowNoState, "0"}, {Qt::WindowMaximized, "2"}, {Qt::WindowMinimized, "1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored_state);
    QStringList previous;
    {
      TopLevel first;
      first.window.setGeometry(130, 140, 320, 240);
      first.window.show();
      Settle();
      first.window.setWindowState(c.state);
      Settle();
      first.settings.Save();
      previous = PlacementValues("MainWin");
    }
    EXPECT_EQ(previous.last(), QLatin1String(c.stored_state));
    for (int run = 0; run < 2; ++run) {
      TopLevel next;
      next.settings.Load();
      next.window.show();
      Settle();
      EXPECT_EQ(app::StoredWindowState(next.window.windowState()), previous.last().toInt());
      next.settings.Save();
      EXPECT_EQ(PlacementValues("MainWin"), previous);
    }
  }
}

TEST_F(AppWindowSettingsTest, ChildWindowKeepsItsRestoredRectangleWhileMaximizedOrMinimized) {
  QWidget frame;
  frame.resize(800, 600);
  QMdiArea area(&frame);
  area.resize(800, 600);
  frame.show();
  const struct {
    void (QWidget::*show)();
    const char* stored_state;
    bool (QWidget::*is_in_state)() const;
  } cases[] = {{&QWidget::showMaximized, "2", &QWidget::isMaximized},
               {&QWidget::showMinimized, "1", &QWidget::isMinimized}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored_state);
    QStringList saved;
    {
      auto child = std::make_unique<QMdiSubWindow>();
      area.addSubWindow(child.get());
      TJvRegAuto& settings = TJvRegAuto::Attach(*child, "SystemWin", "SystemWin");
      child->setGeometry(20, 30, 200, 150);
      child->show();
      Settle();
      (child.get()->*c.show)();
      Settle();
      settings.Save();
      saved = PlacementValues("SystemWin");
    }
    EXPECT_EQ(saved, (QStringList{"20", "30", "220", "180", c.stored_state}));
    auto child = std::make_unique<QMdiSubWindow>();
    area.addSubWindow(child.get());
    TJvRegAuto& settings = TJvRegAuto::Attach(*child, "SystemWin", "SystemWin");
    settings.Load();
    child->show();
    Settle();
    EXPECT_TRUE((child.get()->*c.is_in_state)());
    child->showNormal();
    Settle();
    EXPECT_EQ(child->geometry(), QRect(20, 30, 200, 150));
  }
}

// Unusable stored values read as the window's own: an unusable state keeps
// the state, an unusable rectangle keeps the rectangle, an unusable right or
// bottom edge is the current one.
TEST_F(AppWindowSettingsTest, UnusableValuesReadAsDefaults) {
  const QRect kStored(100, 100, 300, 200);
  const QRect kUnchanged(10, 20, 648, 533);
  const struct {
    const char* left;
    const char* top;
    const char* right;
    const char* bottom;
    const char* state;
    QRect expected;
  } cases[] = {
      {"100", "100", "400", "300", "3", kStored},  // state out of range
      {"100", "100", "400", "300", "-1", kStored},
      {"100", "100", "400", "300", "max", kStored},   // not a number
      {"abc", "100", "400", "300", "0", kUnchanged},  // position not a number
      {"100", "1.5", "400", "300", "0", kUnchanged},
      {"100", "100", "100", "300", "0", kUnchanged},  // empty
      {"100", "100", "50", "300", "0", kUnchanged},   // inverted
      {"100", "100", "400", "99", "0", kUnchanged},
      {"100000", "100000", "100400", "100300", "0", kUnchanged},  // wholly off screen
      {"-5000", "100", "-4000", "300", "0", kUnchanged},
      {"100", "100", "99999999999", "300", "0", QRect(100, 100, 558, 200)},  // beyond 32 bits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.left << ' ' << c.top << ' ' << c.right << ' ' << c.bottom << ' ' << c.state);
    Store("MainWin/.Left", c.left);
    Store("MainWin/.Top", c.top);
    Store("MainWin/.Right", c.right);
    Store("MainWin/.Bottom", c.bottom);
    Store("MainWin/.WindowState", c.state);
    TopLevel window;
    window.window.setGeometry(10, 20, 648, 533);
    window.settings.Load();
    EXPECT_EQ(window.window.windowState(), Qt::WindowNoState);
    EXPECT_EQ(window.window.geometry(), c.expected);
  }
}

TEST_F(AppWindowSettingsTest, MissingPositionLeavesPlacementAlone) {
  Store("MainWin/.Right", "500");
  Store("MainWin/.Bottom", "400");
  TopLevel window;
  window.window.resize(648, 533);
  window.settings.Load();
  EXPECT_FALSE(window.window.testAttribute(Qt::WA_Moved));
  EXPECT_EQ(window.window.size(), QSize(648, 533));
}

TEST_F(AppWindowSettingsTest, PropertyEntriesOfTheWindowDropTheirName) {
  QWidget window;
  TJvRegAuto& settings = TJvRegAuto::Attach(window, "SystemWin", "SystemWin");
  settings.SetSaveWindowPlace(false);
  int own = 2;
  int other = 7;
  settings.AddProperty(
      {"SystemWin.WindowState", [&] { return own; }, [&](int v) { own = v; }, 0, 2});
  settings.AddProperty({"Grid.Width", [&] { return other; }, [&](int v) { other = v; }});
  settings.Save();
  EXPECT_EQ(Stored("SystemWin/.WindowState"), "2");
  EXPECT_EQ(Stored("SystemWin/Grid.Width"), "7");

  Store("SystemWin/.WindowState", "5");  // out of the entry's range
  Store("SystemWin/Grid.Width", "9");
  own = 1;
  settings.Load();
  EXPECT_EQ(own, 1);
  EXPECT_EQ(other, 9);
}

TEST_F(AppWindowSettingsTest, ColumnWidthsOfTheTwoDataWindowsNeverMix) {
  QWidget players;
  QWidget seating;
  TJvRegAuto& players_settings = TJvRegAuto::Attach(players, "HraciWin", "HraciWin");
  TJvRegAuto& seating_settings = TJvRegAuto::Attach(seating, "SeskupeniWin", "SeskupeniWin");
  players_settings.WriteColumnWidth("HraciWin", 0, 55);
  seating_settings.WriteColumnWidth("HraciWin", 0, 66);
  EXPECT_EQ(Stored("HraciWin/HraciWin/Column0Width"), "55");
  EXPECT_EQ(Stored("SeskupeniWin/HraciWin/Column0Width"), "66");
  EXPECT_EQ(players_settings.ReadColumnWidth("HraciWin", 0), 55);
  EXPECT_EQ(seating_settings.ReadColumnWidth("HraciWin", 0), 66);
}

TEST_F(AppWindowSettingsTest, ColumnWidthDefaultsTo120) {
  const struct {
    const char* stored;  // nullptr: missing
    int width;
  } cases[] = {{nullptr, 120}, {"0", 120}, {"-4", 120}, {"wide", 120}, {"12.5", 120}, {"77", 77}};
  QWidget window;
  TJvRegAuto& settings = TJvRegAuto::Attach(window, "SeskupeniWin", "SeskupeniWin");
  int column = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored ? c.stored : "missing");
    if (c.stored)
      Store(QStringLiteral("SeskupeniWin/HraciWin/Column%1Width").arg(column), c.stored);
    EXPECT_EQ(settings.ReadColumnWidth("HraciWin", column), c.width);
    ++column;
  }
}

TEST_F(AppWindowSettingsTest, HooksRunAfterLoadAndAfterSave) {
  QWidget window;
  TJvRegAuto& settings = TJvRegAuto::Attach(window, "HraciWin", "HraciWin");
  std::vector<std::string> calls;
  settings.SetAfterLoad([&](TJvRegAuto&) { calls.push_back("load"); });
  settings.SetAfterSave([&](TJvRegAuto&) { calls.push_back("save"); });
  settings.Load();
  settings.Save();
  EXPECT_EQ(calls, (std::vector<std::string>{"load", "save"}));
}

// A store that cannot be written is reported with the entry being saved.
TEST_F(AppWindowSettingsTest, SaveFailureNamesTheEntry) {
  ASSERT_TRUE(QDir(HomePath()).mkdir(".VESTRUM"));
  const struct {
    bool with_property;
    const char* text;
  } cases[] = {{true, "Could not save property SystemWin.WindowState"},
               {false, "Could not save property SystemWin.Left"}};
  for (const auto& c : cases) {
    QWidget window;
    TJvRegAuto& settings = TJvRegAuto::Attach(window, "SystemWin", "SystemWin");
    if (c.with_property)
      settings.AddProperty({"SystemWin.WindowState", [] { return 0; }, [](int) {}});
    try {
      settings.Save();
      ADD_FAILURE() << "saving into a directory succeeded";
    } catch (const SettingsError& error) {
      EXPECT_STREQ(error.what(), c.text);
    }
  }
}

TEST_F(AppWindowSettingsTest, UnreadableStoreStopsLoading) {
  ASSERT_TRUE(QDir(HomePath()).mkdir(".VESTRUM"));
  TopLevel window;
  try {
    window.settings.Load();
    ADD_FAILURE() << "loading from a directory succeeded";
  } catch (const SettingsError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Could not load property: Cannot read the settings store \"" +
                  QDir(HomePath()).filePath(".VESTRUM").toStdString() + "\"");
  }
}

// A damaged line loses only its own value; the next save repairs the file.
TEST_F(AppWindowSettingsTest, DamagedLineReadsAsMissing) {
  QFile file(QDir(HomePath()).filePath(".VESTRUM"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("[MainWin\n\xff\xfe=\n.Left=140\n.Top=150\n.Right=540\n.Bottom=450\n");
  file.close();
  TopLevel window;
  window.window.setGeometry(10, 20, 648, 533);
  window.settings.Load();
  EXPECT_EQ(window.window.geometry(), QRect(140, 150, 400, 300));
  window.settings.Save();
  EXPECT_EQ(PlacementValues("MainWin"), (QStringList{"140", "150", "540", "450", "0"}));
}

TEST_F(AppWindowSettingsTest, ParseStoredIntegerAcceptsOnlyWholeIntegers) {
  const struct {
    QVariant stored;
    std::optional<int> value;
  } cases[] = {
      {QVariant(), std::nullopt},
      {QVariant("12"), 12},
      {QVariant("-3"), -3},
      {QVariant(" 4"), 4},
      {QVariant("4x"), std::nullopt},
      {QVariant("0x10"), std::nullopt},
      {QVariant(""), std::nullopt},
      {QVariant("2147483648"), std::nullopt},
      {QVariant(QStringList{"1", "2"}), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored.toString().toStdString());
    EXPECT_EQ(app::ParseStoredInteger(c.stored), c.value);
  }
}

}  // namespace
