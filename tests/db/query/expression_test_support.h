// Helpers of the expression tests: a pinned Czech profile, a fake cursor
// (field definitions over one memory record) and short ways to parse and
// evaluate.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/query/lexer/lexer.h"
#include "db/query/parser/expression.h"
#include "db/tables/metadata/meta_object_defs.h"
#include "db/tables/values/abs_variant.h"
#include "platform/locale_profile.h"
#include "tests/db/engine_error_capture.h"

namespace kelvorin::testing {

// A cursor of fields with one current record.
class FakeTable : public TABSExprFieldSource {
 public:
  struct Column {
    std::string name;
    TABSColumnType type;
    int32_t size = 0;
  };
  explicit FakeTable(const std::vector<Column>& columns) {
    for (const Column& column : columns) {
      auto* def = static_cast<TABSFieldDef*>(defs_.AddNew());
      def->SetName(column.name);
      def->SetType(column.type, column.size);
    }
    int32_t stored = 0;
    defs_.ComputeLayout(&record_size_, &stored);
    record_.assign(static_cast<size_t>(record_size_), 0);
    ClearRecord();
  }
  // The seating table of the tournament, as filters see it.
  static std::unique_ptr<FakeTable> Seating() {
    return std::make_unique<FakeTable>(std::vector<Column>{{"Kolo", TABSColumnType::Integer},
                                                           {"Jmeno", TABSColumnType::String, 20},
                                                           {"Body", TABSColumnType::SmallInt},
                                                           {"Hodnota", TABSColumnType::Float},
                                                           {"Malo", TABSColumnType::ShortInt},
                                                           {"Slovo", TABSColumnType::Word},
                                                           {"Siroky", TABSColumnType::WideString, 10}});
  }

  const TABSFieldDefs& FieldDefs() const override { return defs_; }
  const uint8_t* CurrentRecord() const override { return record_.data(); }
  uint8_t* Record() { return record_.data(); }
  int32_t RecordSize() const { return record_size_; }

  void ClearRecord() {
    std::fill(record_.begin(), record_.end(), 0);
    const int32_t bitmap = (defs_.Count() + 7) / 8;
    std::fill(record_.begin(), record_.begin() + bitmap, 0xFF);
  }
  // Writes a value (converted to the field's type) or NULL into the record.
  void Set(std::string_view name, const TABSVariant& value) {
    const int32_t i = defs_.IndexOfName(name);
    ASSERT_GE(i, 0) << name;
    const TABSFieldDef* def = defs_.Items(i);
    uint8_t& bits = record_[static_cast<size_t>(i / 8)];
    TABSVariant copy = value;
    if (!copy.IsNull()) copy.ConvertTo(def->StorageType());
    uint8_t* slot = record_.data() + def->MemoryOffset();
    std::memset(slot, 0, static_cast<size_t>(def->MemorySize()));
    if (copy.IsNull() || !copy.GetRaw(slot, def->MemorySize())) {
      bits = static_cast<uint8_t>(bits | (1u << (i % 8)));
      return;
    }
    bits = static_cast<uint8_t>(bits & ~(1u << (i % 8)));
  }
  void SetNull(std::string_view name) { Set(name, TABSVariant()); }

 private:
  TABSFieldDefs defs_;
  std::vector<uint8_t> record_;
  int32_t record_size_ = 0;
};

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
