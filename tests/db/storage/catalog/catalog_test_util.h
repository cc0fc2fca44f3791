// Shared helpers of the catalogue tests: a database file in a scratch
// directory, one open database object with one single-user session, table
// definitions and byte patches of committed pages.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/storage/catalog/catalog_check.h"
#include "db/storage/catalog/disk_database_data.h"
#include "db/tables/metadata/table_metadata.h"
#include "platform/locale_profile.h"
#include "tests/db/storage/storage_test_util.h"

namespace kelvorin::testing {

inline TABSDatasetFieldDef Field(std::string name, TABSColumnType type, int32_t size = 0) {
  TABSDatasetFieldDef f;
  f.name = std::move(name);
  f.type = type;
  f.size = size;
  return f;
}

inline std::vector<uint8_t> I32(int32_t value) {
  std::vector<uint8_t> bytes(4);
  StoreI32(bytes.data(), value);
  return bytes;
}

class CatalogTest : public StorageTest {
 protected:
  void SetUp() override {
    StorageTest::SetUp();
    platform::SetCurrentLocale(platform::LocaleProfile::Czech());
  }
  void TearDown() override {
    Close();
    StorageTest::TearDown();
  }

  void CreateAndOpen(const TABSDatabaseFileSettings& settings = {}) {
    TABSDiskDatabaseData::CreateDatabase(Path(), {}, settings);
    Open();
  }
  void Open() {
    Close();
    db_ = std::make_unique<TABSDiskDatabaseData>(Path(), TABSPassword{});
    session_ = std::make_unique<TABSBaseSession>();
    db_->ConnectSession(*session_);
  }
  void Close() {
    if (db_ && session_ && session_->SessionNumber() >= 0) db_->DisconnectSession(*session_);
  }

  // Definitions of a table: its fields and the indexes given by their
  // columns (the first one primary), with the derived constraints.
  static std::unique_ptr<TABSTableMetadata> Definitions(const std::vector<TABSDatasetFieldDef>& fields,
                                                        const std::vector<std::string>& index_columns = {}) {
    auto metadata = std::make_unique<TABSTableMetadata>();
    metadata->DefineFields(fields);
    for (size_t i = 0; i < index_columns.size(); ++i) {
      auto index = std::make_unique<TABSIndexDef>();
      index->SetName("I_" + index_columns[i]);
      index->SetColumns({index_columns[i]}, {""}, {""});
      index->SetPrimary(i == 0);
      index->SetUnique(i == 0);
      metadata->Indexes().Add(std::move(index));
    }
    metadata->DeriveIndexConstraints();
    return metadata;
  }
  static std::unique_ptr<TABSFieldDefs> Fields(const std::vector<TABSDatasetFieldDef>& fields) {
    auto defs = std::make_unique<TABSFieldDefs>();
    defs->Assign(Definitions(fields)->Fields());
    return defs;
  }
  void CreateTable(const std::string& name, const std::vector<TABSDatasetFieldDef>& fields,
                   const std::vector<std::string>& index_columns = {}) {
    const auto defs = Definitions(fields, index_columns);
    db_->CreateTable(name, defs->Fields(), defs->Indexes(), defs->Constraints());
  }
  void CreateTournamentTables() {
    using C = TABSColumnType;
    CreateTable("hraci", {Field("Jmeno", C::String, 20), Field("Rating", C::Integer), Field("id", C::AutoInc)},
                {"id"});
    CreateTable("seskupeni", {Field("id_hrace", C::Integer), Field("Stul", C::Integer), Field("Kolo", C::Integer),
                              Field("Body", C::Integer), Field("Skore", C::Integer)},
                {"id_hrace", "Kolo"});
    CreateTable("param", {Field("Kolo", C::Integer)});
  }

  // Changes bytes of a page of the closed file.
  void PatchPage(int32_t page, int32_t offset, const std::vector<uint8_t>& patch) {
    Close();
    std::vector<uint8_t> bytes = ReadAll(Path());
    std::copy(patch.begin(), patch.end(), bytes.begin() + 380 + int64_t{page} * 4096 + offset);
    WriteAll(Path(), bytes);
  }

  static void ExpectCatalogueClean(const std::string& path) {
    const TABSIntegrityReport report = CheckDatabaseCatalogue(path);
    EXPECT_TRUE(report.Clean()) << report.Describe();
  }
  void ExpectCatalogueCleanAfterClose() {
    Close();
    ExpectCatalogueClean(Path());
  }

  std::unique_ptr<TABSDiskDatabaseData> db_;
  std::unique_ptr<TABSBaseSession> session_;
};

}  // namespace kelvorin::testing
