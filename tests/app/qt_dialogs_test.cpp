// The open-file dialog's filter in the form Qt's file dialog reads.
#include "app/qt_dialogs.h"

#include <gtest/gtest.h>

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

}  // namespace
