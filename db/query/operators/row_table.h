// TABSRowTable: a table of the process's "TEMP" database that an operator
// writes its rows into and reads them back from, in storage order or
// through a temporary index. Temporary tables keep what does not fit the
// temporary-storage budget in a file, so an operator never holds a whole
// input in memory. The table goes when the object goes (its last cursor
// closes it).
//
// TABSRowReader: reads the records of any open cursor one by one and hands
// out field values of the current one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/access/local/local_cursor.h"
#include "db/tables/values/abs_variant.h"

namespace kelvorin {

// One column of a table an operator creates.
struct TABSRowColumn {
  std::string name;
  TABSColumnType type = TABSColumnType::None;
  int32_t size = 0;
};

// The type a result column gets for a source type: auto-increment types
// become their plain integer types.
TABSColumnType PlainColumnType(TABSColumnType type);

// A field's value in a memory record, pointing into the record where it
// can (valid while the record is); the null bitmap decides NULL.
void RecordFieldValue(TABSTableData& table, int32_t field_no, const uint8_t* record, TABSVariant* value);

class TABSRowReader {
 public:
  TABSRowReader() = default;
  explicit TABSRowReader(TABSLocalCursor& cursor) : cursor_(&cursor) {}

  TABSLocalCursor& Cursor() const { return *cursor_; }
  void First();
  void Next();
  bool Eof() const { return eof_; }
  // The field's value in the current record (pointing into the cursor's
  // record until it moves).
  void Value(int32_t field_no, TABSVariant* value) const;
  // Reads from this record instead of the cursor's until it is cleared
  // (nullptr): a visit of every record hands them over so.
  void SetVisited(const uint8_t* record) {
    visited_ = record;
    eof_ = record == nullptr;
  }

  // Where the reader stands, to come back to it later.
  struct Mark {
    TABSRecordId id;
    std::vector<uint8_t> record;
    bool eof = true;
  };
  Mark Position() const;
  void Restore(const Mark& mark);

 private:
  TABSLocalCursor* cursor_ = nullptr;
  const uint8_t* visited_ = nullptr;
  bool eof_ = true;
};

class TABSRowTable {
 public:
  // Creates and opens a new table of these columns under a fresh name.
  TABSRowTable(TABSLocalSession& temp_session, const std::vector<TABSRowColumn>& columns);
  ~TABSRowTable();
  TABSRowTable(const TABSRowTable&) = delete;
  TABSRowTable& operator=(const TABSRowTable&) = delete;

  const std::string& Name() const { return name_; }
  TABSLocalCursor& Cursor() { return *cursor_; }
  int32_t ColumnCount() const { return static_cast<int32_t>(columns_.size()); }
  const std::vector<TABSRowColumn>& Columns() const { return columns_; }

  // Writing: begin a row, set its values (converted to the column types;
  // a value that does not convert raises), append it.
  void BeginRow();
  void SetValue(int32_t column, const TABSVariant& value);
  void AppendRow();
  int64_t RowCount();
  // The row being written as a memory record of RecordSize() bytes, and
  // appending a record in that form.
  const uint8_t* RowRecord() const { return buffer_.data(); }
  int32_t RecordSize() const { return cursor_->FieldsEnd(); }
  void AppendRecord(const uint8_t* record);
  void RecordValue(const uint8_t* record, int32_t column, TABSVariant* value) const {
    RecordFieldValue(cursor_->OpenTable(), column, record, value);
  }

  // Reads through an index over the columns (by number), made for the
  // purpose; an empty list reads in storage order.
  void SortBy(const std::vector<int32_t>& columns, const std::vector<bool>& descending,
              const std::vector<bool>& no_case);
  TABSRowReader& Reader() { return reader_; }
  // The index the rows are read through ("" in storage order), for other
  // cursors that are to read them in the same order.
  const std::string& IndexName() const { return index_name_; }

 private:
  std::vector<TABSRowColumn> columns_;
  std::string name_;
  std::unique_ptr<TABSLocalCursor> cursor_;
  std::vector<uint8_t> buffer_;
  TABSRowReader reader_;
  std::string index_name_;
};

// A fresh name for a temporary table: a process-wide counter, skipping
// names the "TEMP" database already holds.
std::string NextTemporaryTableName(TABSLocalSession& temp_session);

}  // namespace kelvorin
