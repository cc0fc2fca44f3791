// EABSException messages: code padding, typed one-pass formatting and its
// fallback text, catalogue entries.
#include "db/storage/errors/abs_exception.h"

#include <gtest/gtest.h>

#include <string>

#include "db/storage/errors/native_errors.h"

namespace kelvorin {
namespace {

TEST(ExceptionTest, PlainMessageEndsWithZeroPaddedCode) {
  EABSException e(20230, "Database is locked");
  EXPECT_STREQ(e.what(), "Database is locked - Native error: 20230");
  EXPECT_EQ(e.NativeError(), 20230);
  EXPECT_STREQ(EABSException(42, "x").what(), "x - Native error: 00042");
}

TEST(ExceptionTest, FormattedMessagePadsCodeWithBlanks) {
  EABSException e(2011, "Field '%s' size %d", {"Jmeno", 30});
  EXPECT_STREQ(e.what(), "Field 'Jmeno' size 30 - Native error:  2011");
}

struct FormatCase {
  const char* format;
  std::initializer_list<TABSFormatArg> args;
  const char* expected;  // nullptr: arguments are invalid
};

TEST(ExceptionTest, FormatTable) {
  const std::string sql_name = "%s%s%d%n";
  const FormatCase cases[] = {
      {"Page: %d already used", {7}, "Page: 7 already used"},
      {"Page: %d already used", {"seven"}, nullptr},
      {"Page: %d already used", {}, nullptr},
      {"Table '%s' not exists.", {sql_name}, "Table '%s%s%d%n' not exists."},
      {"Table '%s' not exists.", {12}, nullptr},
      {"%d%%", {int64_t{-9000000000}}, "-9000000000%"},
      {"%u/%x", {uint32_t{4000000000u}, 255}, "4000000000/ff"},
      {"[%5d][%-4s][%.2s]", {3, "ab", "xyz"}, "[    3][ab  ][xy]"},
      {"%g", {1.5}, "1.5"},
      {"%g", {1}, nullptr},
      {"trailing %", {1}, nullptr},
      {"Cannot Read % bytes from internal file. FileSize=%d", {1, 2}, nullptr},
      {"no placeholders", {1, "extra"}, "no placeholders"},
      {"%s", {static_cast<const char*>(nullptr)}, ""},
  };
  for (const FormatCase& c : cases) {
    std::string text;
    bool ok = FormatMessageText(c.format, c.args, &text);
    if (c.expected == nullptr) {
      EXPECT_FALSE(ok) << c.format;
      EABSException e(30425, c.format, c.args);
      EXPECT_EQ(std::string(e.what()),
                std::string(c.format) + " Arguments are invalid! - Native error: 30425");
    } else {
      EXPECT_TRUE(ok) << c.format;
      EXPECT_EQ(text, c.expected);
    }
  }
}

TEST(ExceptionTest, CatalogueEntryRaisesItsCodeAndText) {
  EABSException e(native::kPageAlreadyUsed30425, {"x"});
  EXPECT_STREQ(e.what(), "Page: %d already used Arguments are invalid! - Native error: 30425");
  EABSException plain(native::kDatabaseLocked20230);
  EXPECT_STREQ(plain.what(), "Database is locked - Native error: 20230");
  EXPECT_EQ(native::kDatabaseFileInUse10462.code, native::kCannotWriteToFile10462.code);
  EXPECT_NE(native::kDatabaseFileInUse10462.text, native::kCannotWriteToFile10462.text);
}

}  // namespace
}  // namespace kelvorin
