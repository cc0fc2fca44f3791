// The tables and cursors of the scan tests: a seating table whose names
// share their first 20 bytes (case, accents, "ch"), with an index of every
// kind a search may use: unique, plain, two-column, case-insensitive and
// case-sensitive over a cut string column, and descending.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/query/parser/expression.h"
#include "db/tables/scans/scan_cursor.h"
#include "db/tables/scans/table_scans.h"
#include "tests/db/storage/catalog/catalog_test_util.h"

namespace kelvorin::testing {

struct SeatRow {
  std::optional<int32_t> kolo;
  std::optional<int32_t> stul;
  std::optional<std::string> jmeno;  // an empty name is NULL
  int32_t body = 0;
};

class ScanTableTest : public CatalogTest {
 protected:
  static constexpr const char* kTable = "seskupeni";

  void SetUp() override {
    CatalogTest::SetUp();
    CreateAndOpen();
    using C = TABSColumnType;
    auto defs = Definitions({Field("id", C::AutoInc), Field("Kolo", C::Integer), Field("Stul", C::Integer),
                             Field("Jmeno", C::String, 30), Field("Body", C::Integer)});
    AddIndex(*defs, "I_id", {"id"}, "", "", /*unique=*/true);
    AddIndex(*defs, "I_Kolo", {"Kolo"});
    AddIndex(*defs, "I_KoloStul", {"Kolo", "Stul"});
    AddIndex(*defs, "I_Jmeno", {"Jmeno"}, "", "NO_CASE");
    AddIndex(*defs, "I_JmenoCase", {"Jmeno"});
    AddIndex(*defs, "I_StulDown", {"Stul"}, "DESC");
    defs->DeriveIndexConstraints();
    db_->CreateTable(kTable, defs->Fields(), defs->Indexes(), defs->Constraints());
    cursor_ = std::make_unique<TABSScanCursor>(*session_, kTable);
    table_ = db_->OpenTable(*cursor_);
  }
  void TearDown() override {
    if (cursor_) db_->CloseTable(*cursor_);
    cursor_.reset();
    CatalogTest::TearDown();
  }

  static void AddIndex(TABSTableMetadata& defs, const std::string& name, const std::vector<std::string>& columns,
                       const std::string& direction = "", const std::string& case_option = "", bool unique = false) {
    auto index = std::make_unique<TABSIndexDef>();
    index->SetName(name);
    index->SetColumns(columns, std::vector<std::string>(columns.size(), direction),
                      std::vector<std::string>(columns.size(), case_option));
    for (TABSIndexColumn& column : index->Columns()) column.max_indexed_size = 20;
    index->SetUnique(unique);
    index->SetPrimary(unique);
    defs.Indexes().Add(std::move(index));
  }

  int32_t FieldNo(const std::string& name) const { return table_->Metadata().Fields().IndexOfName(name); }
  int32_t IndexId(const std::string& name) const { return table_->Metadata().Indexes().Find(name)->ObjectId(); }
  int32_t RecordSize() const { return table_->RecordFields().MemorySize(); }

  std::vector<uint8_t> RecordOf(const SeatRow& row) {
    std::vector<uint8_t> record(static_cast<size_t>(RecordSize()));
    table_->InitRecord(*session_, record.data(), false);
    const auto set_int = [&](const char* field, std::optional<int32_t> value) {
      TABSVariant v;
      if (value) v.SetInteger(*value);
      table_->FieldManager().SetFieldValue(FieldNo(field), v, record.data());
    };
    set_int("Kolo", row.kolo);
    set_int("Stul", row.stul);
    set_int("Body", row.body);
    TABSVariant name;
    if (row.jmeno) name.SetString(*row.jmeno);
    table_->FieldManager().SetFieldValue(FieldNo("Jmeno"), name, record.data());
    return record;
  }
  TABSRecordId Insert(const SeatRow& row) {
    std::vector<uint8_t> record = RecordOf(row);
    const TABSPostResult result = table_->InsertRecord(*session_, record.data());
    EXPECT_TRUE(result.Succeeded()) << result.message;
    return result.id;
  }
  std::string Text(const uint8_t* record, const std::string& field) {
    TABSVariant value;
    table_->FieldManager().GetFieldValue(FieldNo(field), value, record);
    return value.IsNull() ? "NULL" : value.AsString();
  }
  int64_t Id(const uint8_t* record) {
    TABSVariant value;
    table_->FieldManager().GetFieldValue(FieldNo("id"), value, record);
    return value.AsLargeInt();
  }

  // Parses a filter for the cursor.
  std::unique_ptr<TABSExpression> Filter(const std::string& text, bool partial_key = false,
                                         bool case_insensitive = true) {
    auto filter = std::make_unique<TABSExpression>();
    filter->ParseForFilter(cursor_.get(), text, partial_key, case_insensitive);
    return filter;
  }

  // The ids of the records the cursor visits from first to the end, or
  // from last to the beginning.
  std::vector<int64_t> Walk(TABSScanCursor& cursor, bool forward) {
    std::vector<int64_t> ids;
    const auto step = forward ? TABSGetRecordMode::kNext : TABSGetRecordMode::kPrior;
    for (auto r = TABSTableScans::GetRecord(cursor, forward ? TABSGetRecordMode::kFirst : TABSGetRecordMode::kLast);
         r == TABSGetRecordResult::kFound && ids.size() <= 100000; r = TABSTableScans::GetRecord(cursor, step)) {
      ids.push_back(Id(cursor.Record().data()));
    }
    return ids;
  }
  std::vector<int64_t> Forward(TABSScanCursor& cursor) { return Walk(cursor, true); }
  std::vector<int64_t> Backward(TABSScanCursor& cursor) { return Walk(cursor, false); }

  std::unique_ptr<TABSScanCursor> cursor_;
  TABSDiskTableData* table_ = nullptr;
};

}  // namespace kelvorin::testing
