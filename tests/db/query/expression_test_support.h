// Helpers of the expression tests: a pinned Czech profile, the fake cursor
// and short ways to parse and evaluate.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/query/lexer/lexer.h"
#include "db/query/parser/expression.h"
#include "db/tables/values/abs_variant.h"
#include "platform/locale_profile.h"
#include "tests/db/query/fake_table.h"
#include "tests/db/engine_error_capture.h"

namespace kelvorin::testing {

inline TABSVariant Int(int32_t v) {
  TABSVariant value;
  value.SetInteger(v);
  return value;
}
inline TABSVariant Str(std::string_view s) {
  TABSVariant value(TABSStorageType::String);
  value.SetString(s);
  return value;
}
inline TABSVariant Flt(double v) {
  TABSVariant value;
  value.SetFloat(v);
  return value;
}

class ExpressionTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetCurrentLocale(platform::LocaleProfile::Czech()); }
  void TearDown() override { platform::SetCurrentLocale(platform::LocaleProfile::Czech()); }

  // Parses a constant value expression and evaluates it.
  static TABSVariant ValueOf(std::string_view text) {
    TABSLexer lexer(text);
    lexer.NextCommand();
    TABSExpression expression;
    expression.ParseValue("", lexer);
    EXPECT_FALSE(expression.IsEmpty()) << text;
    if (expression.IsEmpty()) return TABSVariant();
    EXPECT_EQ(lexer.CurrentToken().token_type, tktNone) << "tokens left in " << text;
    return *expression.GetValue(true);
  }
  // The value as text ("NULL" for NULL).
  static std::string TextOf(std::string_view text) {
    const TABSVariant v = ValueOf(text);
    return v.IsNull() ? "NULL" : v.AsString();
  }
  // Parses a condition without fields and evaluates it: "TRUE", "FALSE" or "NULL".
  static std::string Truth(std::string_view text) {
    TABSLexer lexer(text);
    lexer.NextCommand();
    TABSExpression expression;
    expression.ParseCondition(lexer);
    EXPECT_EQ(lexer.CurrentToken().token_type, tktNone) << "tokens left in " << text;
    switch (expression.RootNode()->EvaluateTruth()) {
      case TABSTruth::kTrue: return "TRUE";
      case TABSTruth::kFalse: return "FALSE";
      default: return "NULL";
    }
  }
  // A filter over the table's current record.
  static bool Passes(FakeTable& table, std::string_view filter, bool partial_key = false) {
    TABSExpression expression;
    expression.ParseForFilter(&table, filter, partial_key, true);
    expression.BindToRecord(table.Record());
    return expression.GetBooleanValue();
  }
};

}  // namespace kelvorin::testing
