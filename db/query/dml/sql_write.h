// What INSERT, UPDATE and DELETE share: the table a statement changes (its
// name as written, the cursor opened on it), the statement write unit that
// makes every statement whole or nothing, and the assignment of values to
// the fields of a record through the values layer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/access/local/local_cursor.h"
#include "db/query/sql/sql_command.h"

namespace kelvorin {

struct TABSSQLTargetName {
  std::string database_name;
  std::string table_name;
  bool in_memory = false;
  std::string password;
};

// The errors a target's parse raises.
struct TABSSQLTargetErrors {
  const TABSNativeError& table_expected;
  const TABSNativeError& memory_table_expected;
  const TABSNativeError& password_expected;
};

// Reads [MEMORY] name [. name] [PASSWORD 'text'] from the current token.
TABSSQLTargetName ParseTargetName(TABSSQLTokens& tokens, const TABSSQLTargetErrors& errors);

// The cursor on the target table, open.
std::unique_ptr<TABSLocalCursor> OpenTarget(const TABSSQLQueryContext& context, const TABSSQLTargetName& name);

// One statement's writes, whole or nothing: outside a transaction the
// table is locked for writing and the writes form one batch committed at
// the end; inside one they form a statement savepoint; on a memory table
// the table's operations are held until the end. Unless Commit succeeds,
// everything is taken back when the unit goes, and the lock is released
// on every path.
class TABSSQLWriteUnit {
 public:
  TABSSQLWriteUnit(TABSLocalCursor& cursor, const TABSSQLQueryContext& context, const TABSNativeError& locked);
  ~TABSSQLWriteUnit();
  TABSSQLWriteUnit(const TABSSQLWriteUnit&) = delete;
  TABSSQLWriteUnit& operator=(const TABSSQLWriteUnit&) = delete;

  void Commit();

 private:
  void Unlock() noexcept;

  TABSLocalCursor& cursor_;
  bool locked_ = false;
  bool committed_ = false;
};

// The field numbers of the named columns; an unknown or a repeated name
// raises.
std::vector<int32_t> ResolveColumns(const TABSLocalCursor& cursor, const std::vector<std::string>& names);
// Raises when a column is named twice.
void CheckDistinctColumns(const std::vector<std::string>& names);

// Assigns a value to a field of the buffer: NULL clears it, a BLOB field
// gets the value's bytes through a stream, every other field the value
// converted by the values layer (a value that does not convert or fit
// raises).
void AssignField(TABSLocalCursor& cursor, uint8_t* buffer, int32_t field_no, const TABSVariant& value);

// A field's value in the buffer (a BLOB field's bytes read through a
// stream).
void ReadField(TABSLocalCursor& cursor, uint8_t* buffer, int32_t field_no, TABSVariant& value);

// A record buffer of a cursor; what an unfinished record holds (BLOB
// values written into it, an edit) is given back when it goes.
class TABSSQLRecordBuffer {
 public:
  explicit TABSSQLRecordBuffer(TABSLocalCursor& cursor) : cursor_(cursor), bytes_(cursor.NewRecordBuffer()) {}
  ~TABSSQLRecordBuffer();
  TABSSQLRecordBuffer(const TABSSQLRecordBuffer&) = delete;
  TABSSQLRecordBuffer& operator=(const TABSSQLRecordBuffer&) = delete;
  uint8_t* data() { return bytes_.data(); }

 private:
  TABSLocalCursor& cursor_;
  std::vector<uint8_t> bytes_;
};

// Raises the refusal the cursor's last edit, post or delete left.
[[noreturn]] void RaiseRefusal(const TABSLocalCursor& cursor);

// Posts (or deletes) the buffer's record; a refusal raises.
void PostRecord(TABSLocalCursor& cursor, uint8_t* buffer, bool inserting);
void DeleteRecord(TABSLocalCursor& cursor, uint8_t* buffer);

}  // namespace kelvorin
