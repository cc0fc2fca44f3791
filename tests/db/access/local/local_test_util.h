// Shared helpers of the local session and cursor tests: a database file in
// a scratch directory with a player table, session lists standing for
// processes (each opens the file itself, so their byte locks conflict as
// two processes' would), and record buffers read and written by field name.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/access/local/local_cursor.h"
#include "tests/db/storage/catalog/catalog_test_util.h"

namespace kelvorin::testing {

class LocalAccessTest : public CatalogTest {
 protected:
  static constexpr const char* kTable = "hraci";

  void SetUp() override {
    CatalogTest::SetUp();
    TABSDiskDatabaseData::CreateDatabase(Path(), {}, {});
    TABSSessionSettings settings;
    settings.file_name = Path();
    TABSLocalSession session(settings, list_);
    session.Connect();
    TABSLocalCursor cursor(session, kTable);
    using C = TABSColumnType;
    const auto defs = Definitions({Field("id", C::AutoInc), Field("Jmeno", C::String, 20), Field("Body", C::Integer),
                                   Field("Foto", C::Blob)},
                                  {"id"});
    cursor.CreateTable(defs->Fields(), defs->Indexes(), defs->Constraints());
  }
  void TearDown() override {
    sessions_.clear();
    CatalogTest::TearDown();
  }

  // A connected session of the list; multi-user sessions count their lock
  // waits instead of sleeping.
  TABSLocalSession* NewSession(TABSOpenDatabases& list, bool multi_user, const std::string& file = "") {
    TABSSessionSettings settings;
    settings.file_name = file.empty() ? Path() : file;
    settings.multi_user = multi_user;
    settings.lock_pacing = {[this](int32_t) { ++sleeps_; }, [](int32_t) { return 0; }};
    sessions_.push_back(std::make_unique<TABSLocalSession>(settings, list));
    sessions_.back()->Connect();
    return sessions_.back().get();
  }
  std::unique_ptr<TABSLocalCursor> OpenCursor(TABSLocalSession& session, const std::string& table = kTable) {
    auto cursor = std::make_unique<TABSLocalCursor>(session, table);
    cursor->Open();
    return cursor;
  }

  static int32_t FieldNo(TABSLocalCursor& cursor, const std::string& name) {
    return cursor.OpenTable().Metadata().Fields().IndexOfName(name);
  }
  static void SetInt(TABSLocalCursor& cursor, std::vector<uint8_t>& buffer, const std::string& field,
                     std::optional<int64_t> value) {
    TABSVariant v;
    if (value) v.SetInteger(static_cast<int32_t>(*value));
    cursor.OpenTable().FieldManager().SetFieldValue(FieldNo(cursor, field), v, buffer.data());
  }
  static void SetText(TABSLocalCursor& cursor, std::vector<uint8_t>& buffer, const std::string& field,
                      const std::string& value) {
    TABSVariant v;
    v.SetString(value);
    cursor.OpenTable().FieldManager().SetFieldValue(FieldNo(cursor, field), v, buffer.data());
  }
  // The field's value as text, "NULL" for NULL.
  static std::string Get(TABSLocalCursor& cursor, const std::vector<uint8_t>& buffer, const std::string& field) {
    TABSVariant value;
    cursor.OpenTable().FieldManager().GetFieldValue(FieldNo(cursor, field), value, buffer.data());
    return value.IsNull() ? "NULL" : value.AsString();
  }

  // Inserts a player through the cursor; returns the record's buffer.
  std::vector<uint8_t> Insert(TABSLocalCursor& cursor, const std::string& name, int32_t body) {
    std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
    cursor.InitRecordBuffer(buffer.data(), true);
    SetText(cursor, buffer, "Jmeno", name);
    SetInt(cursor, buffer, "Body", body);
    EXPECT_TRUE(cursor.Post(buffer.data(), true)) << cursor.Status() << " " << cursor.StatusMessage();
    return buffer;
  }
  // The record the cursor finds first (in its order), in a new buffer.
  std::vector<uint8_t> FirstRecord(TABSLocalCursor& cursor) {
    std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
    cursor.First();
    EXPECT_EQ(cursor.GetRecord(buffer.data(), TABSGetRecordMode::kNext), TABSGetRecordResult::kFound);
    return buffer;
  }

  TABSOpenDatabases list_;
  int32_t sleeps_ = 0;
  std::vector<std::unique_ptr<TABSLocalSession>> sessions_;
};

}  // namespace kelvorin::testing
