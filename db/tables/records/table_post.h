// The outcome of posting one record to a table (TABSTableData::
// InsertRecord, UpdateRecord, DeleteRecord), as the cursor layer reports it
// to the dataset layer.
//
// A post happens whole or not at all. Everything that can refuse it is
// checked before the first change: the locks (-13, -12), the record still
// being there as the caller read it (-4 to -7), the auto-increment values
// and the constraints (-8, with the engine's message). Then the post
// changes the table: new BLOB values, the record, every index, the state
// block; outside an explicit transaction it commits at once. When a change
// fails (the record manager refuses, an error is raised, the commit
// fails), the post is undone: outside a transaction the session is rolled
// back, inside one the statement alone (the page manager's statement
// savepoint); the state, the record manager's caches and the temporary
// indexes are restored, and the caller's record is given back as it was
// (auto-increment values the post filled in are NULL again, BLOB values
// written into it still wait to be stored). A refusal comes back as a
// result; an error raised after the first change is raised again once the
// post is undone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/tables/btree/record_id.h"

namespace kelvorin {

enum class TABSPostCode : int32_t {
  kSuccess = 0,
  kInsertFailed = -1,
  kUpdateFailed = -2,
  kDeleteFailed = -3,
  kUpdateModified = -4,      // record changed by another process since read
  kDeleteModified = -5,
  kUpdateDeleted = -6,       // record deleted by another process since read
  kDeleteDeleted = -7,
  kConstraintViolated = -8,  // a constraint or auto-increment error; see message
  kUpdateTemporary = -9,
  kDeleteTemporary = -10,
  kRecordLocked = -12,
  kTableLocked = -13,
};

// The message of a refusal code (-1 .. -13; -8 carries its own message).
std::string_view PostCodeText(int32_t code);

struct TABSPostResult {
  TABSPostCode code = TABSPostCode::kSuccess;
  // The engine's message of a -8 result.
  std::string message;
  int32_t native_error = 0;
  // The new record's identifier after an insert.
  TABSRecordId id;

  bool Succeeded() const { return code == TABSPostCode::kSuccess; }
};

}  // namespace kelvorin
