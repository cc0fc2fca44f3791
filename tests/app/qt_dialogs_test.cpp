// The open-file dialog's filter in the form Qt's file dialog reads, and the
// default answers of the two Yes/No questions.
#include "app/qt_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace {

TEST(AppQtDialogsTest, FileDialogFilterInQtForm) {
  const struct {
    const char* filter;
    const char* qt;
  } cases[] = {
      {"All files (*.*)|*.*", "All files (*)"},
      {"Text files|*.txt;*.csv", "Text files (*.txt *.csv)"},
      {"Players (*.txt)", "Players (*.txt)"},  // already in Qt's form
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.filter);
    EXPECT_EQ(app::FileDialogFilter(c.filter), QString::fromUtf8(c.qt));
  }
}

// Enter takes the default button: Yes for the pairing's questions, No for
// the one that guards a loss of data.
TEST(AppQtDialogsTest, EnterAnswersTheDefault) {
  const struct {
    const char* name;
    bool (app::QtDialogs::*ask)(const std::string&);
    bool answer;
  } cases[] = {{"AskYesNo", &app::QtDialogs::AskYesNo, true},
               {"AskYesNoDefaultNo", &app::QtDialogs::AskYesNoDefaultNo, false}};
  app::QtDialogs dialogs;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bool seen = false;
    QTimer::singleShot(0, [&seen] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      seen = true;
      QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ((dialogs.*c.ask)("?"), c.answer);
    EXPECT_TRUE(seen);
  }
}

}  // namespace
