// TABSRowTable: the rows an operator writes: memory records of a layout
// made from its columns, appended to a table of the process's "TEMP"
// database and read back from it in storage order or through a temporary
// index. The table is created when the first row is appended or it is
// first read, so rows an operator keeps in memory cost no table. Temporary
// tables keep what does not fit the temporary-storage budget in a file, so
// an operator never holds a whole input in memory. The table goes when the
// object goes (its last cursor closes it).
//
// TABSRowReader: reads the records of a cursor one by one (or records
// handed to it) and hands out field values of the current one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/access/local/local_cursor.h"
#include "db/tables/metadata/table_metadata.h"
#include "db/tables/records/record_fields.h"
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

// Field values of memory records of one layout, pointing into the record
// where they can (valid while the record is); the null bitmap decides
// NULL. BLOB-like fields are read through their table.
class TABSRecordDecoder {
 public:
  TABSRecordDecoder() = default;
  // BLOB-like fields are read, in the session, from the table's storage.
  TABSRecordDecoder(const TABSRecordFields& fields, TABSTableData* table, int32_t session = 0);
  // A BLOB-like field gives its whole contents, of the field's storage type.
  void Value(const uint8_t* record, int32_t field_no, TABSVariant* value) const;

 private:
  enum class Kind : uint8_t { kFixed, kAnsi, kWide, kBlob, kOther };
  struct Slot {
    int32_t offset;
    int32_t size;
    TABSStorageType type;
    Kind kind;
  };
  const TABSRecordFields* fields_ = nullptr;
  TABSTableData* table_ = nullptr;
  int32_t session_ = 0;
  std::vector<Slot> slots_;
};

class TABSRowTable;

class TABSRowReader {
 public:
  TABSRowReader() = default;
  // A reader of the cursor's open table.
  explicit TABSRowReader(TABSLocalCursor& cursor);

  void First();
  void Next();
  bool Eof() const { return eof_; }
  // The field's value in the current record (pointing into the record
  // until the reader moves).
  void Value(int32_t field_no, TABSVariant* value) const {
    if (eof_) {
      value->Clear();
      value->SetNull();
      return;
    }
    decoder_.Value(visited_ != nullptr ? visited_ : cursor_->Record().data(), field_no, value);
  }
  // Reads from this record instead of the cursor's until it is cleared
  // (nullptr): a visit of every record, or rows kept in memory, hand
  // them over so.
  // The current record (nullptr at the end), valid until the reader moves.
  const uint8_t* Record() const {
    if (eof_) return nullptr;
    return visited_ != nullptr ? visited_ : cursor_->Record().data();
  }
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
  friend class TABSRowTable;

  TABSLocalCursor* cursor_ = nullptr;
  TABSRowTable* owner_ = nullptr;  // opens its table on the first read
  TABSRecordDecoder decoder_;
  const uint8_t* visited_ = nullptr;
  bool eof_ = true;
};

class TABSRowTable {
 public:
  TABSRowTable(TABSLocalSession& temp_session, const std::vector<TABSRowColumn>& columns);
  ~TABSRowTable();
  TABSRowTable(const TABSRowTable&) = delete;
  TABSRowTable& operator=(const TABSRowTable&) = delete;

  // The table (created now when it was not yet).
  const std::string& Name();
  TABSLocalCursor& Cursor();
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
  int32_t RecordSize() const { return fields_.MemorySize(); }
  // `source` is the table whose reader or rows the record came from (none:
  // this table's own row): BLOB-like values are copied from its storage.
  void AppendRecord(const uint8_t* record, const TABSRowTable* source = nullptr);
  // Gives up the BLOB values a record of RowRecord's form holds in memory
  // (the record is dropped without being appended).
  void ReleaseRecord(uint8_t* record);
  void RecordValue(const uint8_t* record, int32_t column, TABSVariant* value) const {
    decoder_.Value(record, column, value);
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
  friend class TABSRowReader;
  void Open();

  TABSLocalSession* temp_session_;
  std::vector<TABSRowColumn> columns_;
  TABSTableMetadata metadata_;
  TABSRecordFields fields_;
  TABSRecordDecoder decoder_;
  bool has_blobs_ = false;
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
