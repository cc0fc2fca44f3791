// Shared helpers of the session and database tests: the player database of
// the local access tests, database components on it, a table copier that
// copies through local cursors (standing in for the table layer's), and
// questions and progress displays that answer from a script.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/access/session/access_error.h"
#include "db/access/session/access_events.h"
#include "db/access/session/database.h"
#include "db/access/session/session.h"
#include "tests/db/access/local/local_test_util.h"

namespace kelvorin::testing {

// Copies a table's definitions and records through two local cursors,
// reporting the range's start and end.
inline void CopyThroughCursors(TABSDatabase& source, TABSDatabase& destination, const std::string& table,
                               const TABSProgressRange& range, bool& continue_flag, std::string&) {
  TABSLocalCursor from(source.Connection(), table);
  from.Open();
  const TABSTableMetadata& metadata = from.OpenTable().Metadata();
  TABSLocalCursor to(destination.Connection(), table);
  to.CreateTable(metadata.Fields(), metadata.Indexes(), metadata.Constraints());
  to.Open();
  // One commit for the table, as a copy of many records would do.
  destination.Connection().StartTransaction();
  if (range.report) range.report(range.start, continue_flag);
  std::vector<uint8_t> record = from.NewRecordBuffer();
  std::vector<uint8_t> copy = to.NewRecordBuffer();
  from.First();
  while (continue_flag && from.GetRecord(record.data(), TABSGetRecordMode::kNext) == TABSGetRecordResult::kFound) {
    to.InitRecordBuffer(copy.data(), false);
    std::copy_n(record.begin(), from.FieldsEnd(), copy.begin());
    if (!to.Post(copy.data(), true)) throw EABSException(99998, to.StatusMessage());
  }
  destination.Connection().Commit();
  if (continue_flag && range.report) range.report(range.end, continue_flag);
}

class ScriptedQuestions : public TABSQuestions {
 public:
  ScriptedQuestions() { SetAccessQuestions(this); }
  ~ScriptedQuestions() override { SetAccessQuestions(nullptr); }
  bool AskPassword(std::string_view caption, std::string_view label, std::string& password) override {
    ++password_questions;
    EXPECT_EQ(caption, "Database authentication");
    EXPECT_EQ(label, "Password:");
    if (passwords.empty()) return false;
    password = passwords.front();
    passwords.erase(passwords.begin());
    return true;
  }
  bool AskYesNo(std::string_view text) override {
    asked.emplace_back(text);
    return answer_yes;
  }
  void Inform(std::string_view text) override { informed.emplace_back(text); }

  std::vector<std::string> passwords;
  int password_questions = 0;
  bool answer_yes = false;
  std::vector<std::string> asked;
  std::vector<std::string> informed;
};

class RecordingProgress : public TABSProgress {
 public:
  RecordingProgress() { SetAccessProgress(this); }
  ~RecordingProgress() override { SetAccessProgress(nullptr); }
  void Open(std::string_view caption) override { events.push_back("open " + std::string(caption)); }
  bool Step(int percent) override {
    events.push_back(std::to_string(percent));
    return stop_at < 0 || percent < stop_at;
  }
  void Close() override { events.push_back("close"); }

  std::vector<std::string> events;
  int stop_at = -1;  // the first percentage answered with "stop"
};

class SessionTest : public LocalAccessTest {
 protected:
  void SetUp() override {
    LocalAccessTest::SetUp();
    TABSDatabase::SetTableCopier(CopyThroughCursors);
  }
  void TearDown() override {
    TABSDatabase::SetTableCopier(nullptr);
    LocalAccessTest::TearDown();
  }

  std::unique_ptr<TABSDatabase> NewDatabase(const std::string& alias, const std::string& file = "",
                                            const void* owner = nullptr) {
    auto database = std::make_unique<TABSDatabase>(owner, "Db" + alias);
    database->SetDatabaseName(alias);
    database->SetDatabaseFileName(file.empty() ? Path() : file);
    return database;
  }
  // Adds players through a cursor of the database's connection.
  static void AddPlayers(TABSDatabase& database, int count, const std::string& stem = "P") {
    TABSLocalCursor cursor(database.Connection(), kTable);
    cursor.Open();
    for (int i = 0; i < count; ++i) {
      std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
      cursor.InitRecordBuffer(buffer.data(), true);
      SetText(cursor, buffer, "Jmeno", stem + std::to_string(i));
      SetInt(cursor, buffer, "Body", i);
      EXPECT_TRUE(cursor.Post(buffer.data(), true)) << cursor.StatusMessage();
    }
  }
  // The players' names in storage order, through a connection of its own.
  std::vector<std::string> Players(const std::string& file = "") {
    TABSSessionSettings settings;
    settings.file_name = file.empty() ? Path() : file;
    TABSLocalSession session(settings);
    session.Connect();
    TABSLocalCursor cursor(session, kTable);
    cursor.Open();
    std::vector<std::string> names;
    std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
    cursor.First();
    while (cursor.GetRecord(buffer.data(), TABSGetRecordMode::kNext) == TABSGetRecordResult::kFound) {
      names.push_back(Get(cursor, buffer, "id") + ":" + Get(cursor, buffer, "Jmeno"));
    }
    return names;
  }
};

}  // namespace kelvorin::testing
