// Shared helpers of the dataset and table tests: a database file in a
// scratch directory under the alias "turnaj", tables made the way the
// application declares them, and an error hook that keeps what it gets.
#pragma once

#include <gtest/gtest.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "db/access/session/access_events.h"
#include "db/access/session/database.h"
#include "db/access/table/table.h"
#include "platform/locale_profile.h"
#include "tests/scratch_dir_test.h"

namespace kelvorin::testing {

class RecordingErrorHook : public TABSErrorHook {
 public:
  void Report(std::exception_ptr error) noexcept override {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      messages.push_back(e.what());
    } catch (...) {
      messages.push_back("?");
    }
  }
  std::vector<std::string> messages;
};

// What a statement raised: the message, or "" when nothing was raised.
template <typename F>
std::string Raised(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

class DatasetTest : public testing_support::ScratchDirTest {
 protected:
  static constexpr const char* kAlias = "turnaj";

  void SetUp() override {
    ScratchDirTest::SetUp();
    platform::SetCurrentLocale(platform::LocaleProfile::Czech());
    SetAccessErrorHook(&hook_);
    database_ = std::make_unique<TABSDatabase>();
    database_->SetDatabaseFileName((dir_ / "velinari.kdb").string());
    database_->SetDatabaseName(kAlias);
    database_->CreateDatabase();
    database_->Open();
  }
  void TearDown() override {
    tables_.clear();
    database_.reset();
    SetAccessErrorHook(nullptr);
    ScratchDirTest::TearDown();
  }

  // A closed table of the database.
  TABSTable& NewTable(const std::string& name) {
    tables_.push_back(std::make_unique<TABSTable>());
    TABSTable& table = *tables_.back();
    table.SetDatabaseName(kAlias);
    table.SetTableName(name);
    return table;
  }
  // "hraci": Jmeno string 20, Rating integer, id autoincrement (primary).
  TABSTable& Players(bool create = true) {
    TABSTable& table = NewTable("hraci");
    table.DeclaredFieldDefs().Add("Jmeno", ftString, 20);
    table.DeclaredFieldDefs().Add("Rating", ftInteger);
    table.DeclaredFieldDefs().Add("id", ftAutoInc);
    table.IndexDefs().Add("I_id", "id", ixPrimary);
    if (create) table.CreateTable();
    return table;
  }
  // "seskupeni": id_hrace, Stul, Kolo, Body, Skore, all integer.
  TABSTable& Seatings(bool create = true) {
    TABSTable& table = NewTable("seskupeni");
    for (const char* name : {"id_hrace", "Stul", "Kolo", "Body", "Skore"}) {
      table.DeclaredFieldDefs().Add(name, ftInteger);
    }
    if (create) table.CreateTable();
    return table;
  }
  static void AddPlayer(TABSTable& table, const std::string& name, int32_t rating) {
    table.Insert();
    table.FieldByName("Jmeno").SetAsString(name);
    table.FieldByName("Rating").SetAsInteger(rating);
    table.Post();
  }
  // The values of a field from the first record to the last.
  static std::vector<std::string> Column(TDataSet& dataset, const std::string& field) {
    std::vector<std::string> values;
    for (dataset.First(); !dataset.Eof(); dataset.Next()) values.push_back(dataset.FieldByName(field).AsString());
    return values;
  }
  // The same from the last record to the first.
  static std::vector<std::string> ColumnBackwards(TDataSet& dataset, const std::string& field) {
    std::vector<std::string> values;
    for (dataset.Last(); !dataset.Bof(); dataset.Prior()) values.push_back(dataset.FieldByName(field).AsString());
    return values;
  }

  RecordingErrorHook hook_;
  std::unique_ptr<TABSDatabase> database_;
  std::vector<std::unique_ptr<TABSTable>> tables_;
};

}  // namespace kelvorin::testing
