// The application's answers to the database layer: the progress window's
// timer rule and buttons, the password dialog, the questions and the error
// hook.
#include "app/access_hooks/access_hooks.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <stdexcept>

#include "app/access_hooks/password_dialog.h"
#include "tests/app/scripted_dialogs.h"

namespace app_test {
namespace {

using app::TProgressWin;

TEST(AccessProgressTest, TheWindowAppearsOnlyForSlowUnfinishedOperations) {
  struct Case {
    int percent_at_timer;
    bool closed_before_timer;
    bool shown;
  };
  const std::vector<Case> cases = {{0, false, true}, {50, false, true}, {51, false, false}, {10, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.percent_at_timer);
    QWidget other;
    other.show();
    TProgressWin progress;
    progress.Open("Copy Table...");
    EXPECT_FALSE(progress.isVisible());
    EXPECT_TRUE(progress.Step(c.percent_at_timer));
    if (c.closed_before_timer) progress.Close();
    progress.DelayElapsed();
    EXPECT_EQ(progress.isVisible(), c.shown);
    EXPECT_EQ(other.isEnabled(), !c.shown);
    EXPECT_EQ(progress.Message(), QStringLiteral("Copy Table..."));
    EXPECT_EQ(progress.windowTitle(), QStringLiteral("Please Wait..."));
    progress.Close();
    EXPECT_FALSE(progress.isVisible());
    EXPECT_TRUE(other.isEnabled());
  }
}

TEST(AccessProgressTest, AbortStopsAndBackgroundModeHidesUntilRestored) {
  QWidget main_window;
  main_window.show();
  TProgressWin progress;
  progress.Open("Restructure Table...");
  progress.DelayElapsed();
  ASSERT_TRUE(progress.isVisible());
  progress.findChild<QPushButton*>(QStringLiteral("BackgroundMode"))->click();
  EXPECT_FALSE(progress.isVisible());
  EXPECT_TRUE(progress.InBackground());
  EXPECT_TRUE(main_window.isMinimized());
  progress.ApplicationRestored();
  EXPECT_TRUE(progress.isVisible());
  EXPECT_EQ(progress.Message(), QStringLiteral("Restructure Table..."));
  progress.findChild<QPushButton*>(QStringLiteral("Abort"))->click();
  EXPECT_FALSE(progress.Step(40));
  progress.Close();
  EXPECT_FALSE(progress.isVisible());
}

TEST(AccessProgressTest, ClosingTheWindowRestoresTheApplication) {
  QWidget main_window;
  main_window.show();
  TProgressWin progress;
  progress.Open("Import Table...");
  progress.DelayElapsed();
  progress.findChild<QPushButton*>(QStringLiteral("BackgroundMode"))->click();
  ASSERT_TRUE(main_window.isMinimized());
  progress.Step(100);
  progress.Close();
  EXPECT_FALSE(main_window.isMinimized()) << "the operation ended while the application was in the background";
  EXPECT_TRUE(main_window.isEnabled());
}

TEST(AccessHooksTest, PasswordDialogTexts) {
  app::TPasswordDialog dialog;
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Database authentication"));
  EXPECT_EQ(dialog.PromptLabel().text(), QStringLiteral("Password:"));
  EXPECT_TRUE(dialog.NameLabel().text().isEmpty());
  EXPECT_EQ(dialog.PasswordEdit().echoMode(), QLineEdit::Password);
}

TEST(AccessHooksTest, QuestionsAndErrorsGoThroughTheDialogs) {
  ScriptedDialogs dialogs;
  std::string asked;
  app::TAccessHooks hooks(dialogs, [&asked](const std::string& caption) {
    asked = caption;
    return std::optional<std::string>("tajne");
  });
  std::string password;
  EXPECT_TRUE(kelvorin::AccessQuestions().AskPassword("Database authentication", "Password:", password));
  EXPECT_EQ(password, "tajne");
  EXPECT_EQ(asked, "Database authentication");
  dialogs.answers = {true};
  EXPECT_TRUE(kelvorin::AccessQuestions().AskYesNo("Repair?"));
  EXPECT_EQ(&kelvorin::AccessProgress(), static_cast<kelvorin::TABSProgress*>(&hooks.Progress()));
  kelvorin::AccessErrorHook().Report(std::make_exception_ptr(std::runtime_error("caught")));
  EXPECT_TRUE(dialogs.errors.empty());  // shown once the event loop is back
  QApplication::processEvents();
  EXPECT_EQ(dialogs.errors, std::vector<std::string>{"caught"});
}

}  // namespace
}  // namespace app_test
