// TABSLocalCursor: the connection of one dataset (or one maintenance
// operation) to one table of a session's database. It runs the table's
// maintenance (create, delete, empty, rename, indexes, table locks), opens
// and closes the table, and passes records between the caller's record
// buffers and the table: navigation, counts and numbers under the
// cursor's order, range and filter; locate; edit, cancel, post and delete
// with the locks between processes; BLOB streams.
//
// A record buffer holds the memory record, then the record's position
// (6 bytes) and a flag byte (0 on a record, 1 before the first, 2 after
// the last, 3 inserted); a key buffer holds the memory record, the
// position, then whether the key is assigned, whether the bound is
// exclusive, and the number of index columns it uses (4 bytes, 0: all).
//
// Record operations never raise for write conflicts: they leave a status
// (0, or one of the codes of TABSPostCode) that the dataset raises.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/access/local/cursor_lock_ledger.h"
#include "db/access/local/local_blob_stream.h"
#include "db/access/local/local_session.h"
#include "db/query/parser/expression.h"
#include "db/tables/records/table_post.h"
#include "db/tables/scans/scan_cursor.h"

namespace kelvorin {

struct TABSCursorOptions {
  bool read_only = false;
  bool exclusive = false;
  // A memory or temporary table that does not exist is created on open
  // from the definitions given to the cursor (SetTableDefinitions).
  bool create_missing = false;
};

enum class TABSRecordFlag : uint8_t { kCurrent = 0, kBeforeFirst = 1, kAfterLast = 2, kInserted = 3 };

class TABSLocalCursor : public TABSScanCursor {
 public:
  TABSLocalCursor(TABSLocalSession& session, std::string table_name, TABSCursorOptions options = {});
  // Closes the table (an open edit is cancelled).
  ~TABSLocalCursor() override;

  TABSLocalSession& LocalSession() const { return *session_; }
  const TABSCursorOptions& Options() const { return options_; }

  // --- Table maintenance (the table is closed first) ---
  // An existing table of the name is replaced; the definitions are
  // checked before it goes.
  void CreateTable(const TABSFieldDefs& fields, const TABSIndexDefs& indexes, const TABSConstraintDefs& constraints);
  // Creates the table only while no table has its name (30395 otherwise),
  // deciding under the table-list lock: a table another process has just
  // created is never replaced.
  void CreateNewTable(const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                      const TABSConstraintDefs& constraints);
  void DeleteTable();
  void EmptyTable();
  void RenameTable(std::string_view new_name);
  // On the open table; the cursor reads the definitions again after each.
  void AddIndex(std::unique_ptr<TABSIndexDef> index);
  void DeleteIndex(std::string_view name);
  void DeleteAllIndexes();
  // On the open table, which no other cursor may have open: renames a
  // field (and the index columns naming it) and writes the definitions.
  void RenameField(std::string_view old_name, std::string_view new_name);
  // Table locks between processes (always granted where there are none).
  bool LockTable(TABSLockType type, int32_t sleep_ms, int32_t tries);
  void UnlockTable(TABSLockType type);

  // --- Opening ---
  // The definitions a missing memory or temporary table is created from.
  void SetTableDefinitions(const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                           const TABSConstraintDefs& constraints);
  void Open();
  void Close();
  bool IsOpen() const { return Table() != nullptr; }
  TABSTableData& OpenTable() const;
  // A table of the "TEMP" database: it holds a statement's result, and its
  // records are neither edited nor deleted.
  bool TemporaryTable() const;

  // A view of some of the table's fields under names of its own (a live
  // query result); none set: every field under its own name.
  struct ShownField {
    int32_t field_no;
    std::string name;
  };
  void SetShownFields(std::vector<ShownField> fields) { shown_fields_ = std::move(fields); }
  const std::vector<ShownField>& ShownFields() const { return shown_fields_; }

  // Record layout figures: where the fields start, where they end (the
  // position and the flag follow), and the sizes of both kinds of buffer.
  int32_t FirstFieldOffset() const;
  int32_t FieldsEnd() const;
  int32_t KeyBufferSize() const { return FieldsEnd() + 12; }
  int32_t RecordBufferSize() const { return FieldsEnd() + 7; }
  std::vector<uint8_t> NewRecordBuffer() const { return std::vector<uint8_t>(static_cast<size_t>(RecordBufferSize())); }
  // Every field NULL; the defaults filled in when asked (never for a
  // temporary table).
  void InitRecordBuffer(uint8_t* buffer, bool apply_defaults);

  // The position and flag of a buffer.
  TABSRecordId PositionOf(const uint8_t* buffer) const;
  TABSRecordFlag FlagOf(const uint8_t* buffer) const;

  // --- Navigation (the filter and the range decide which records exist) ---
  TABSGetRecordResult GetRecord(uint8_t* buffer, TABSGetRecordMode mode);
  void First();
  void Last();
  // Stands on the record of the identifier, whatever the restrictions
  // (false: it is gone), and copies it into the buffer.
  bool GoToRecord(const TABSRecordId& id, uint8_t* buffer);
  int64_t RecordCount();
  int64_t RecordNumber();
  void SetRecordNumber(int64_t number);

  // --- Edits ---
  int32_t Status() const { return status_; }
  const std::string& StatusMessage() const { return status_message_; }
  // The engine's native code of a constraint refusal (0 otherwise).
  int32_t StatusNativeError() const { return status_native_error_; }
  bool Editing() const { return editing_; }
  const TABSCursorLockLedger& Ledger() const { return ledger_; }
  bool BeginEdit(uint8_t* buffer);
  void Cancel(uint8_t* buffer, bool inserting);
  bool Post(uint8_t* buffer, bool inserting);
  bool Delete(uint8_t* buffer);

  // A batch of posts of one statement, whole or nothing: outside a
  // transaction it is a transaction of its own, inside one a statement
  // savepoint of the page manager (cancelling it keeps the transaction's
  // earlier changes), on a memory or temporary table the table's held
  // operations. A batch begun inside another (the session's operations
  // already held, or a statement savepoint already open) belongs to the
  // outer one: its commit and cancel do nothing. A cursor that goes with a
  // batch open cancels it.
  void BeginBatch();
  void CommitBatch();
  void CancelBatch();
  bool InBatch() const { return batch_ != Batch::kNone; }

  // --- Restrictions ---
  // A filter that does not compile leaves the old one in place.
  void SetFilterText(std::string_view text, bool case_insensitive, bool partial_key);
  void ClearFilter();
  const std::string& FilterText() const { return filter_text_; }
  bool Locate(uint8_t* buffer, std::string_view field_names, std::span<const TABSVariant> values,
              bool case_insensitive, bool partial_key);
  // An empty name: storage order.
  void SwitchIndex(std::string_view name);
  void SetKeyRange(const uint8_t* start_key, const uint8_t* end_key);
  void CancelRange();
  // Writes a key buffer's trailer.
  void SetKeyTrailer(uint8_t* key, bool assigned, bool exclusive, int32_t columns) const;

  // --- BLOB streams ---
  // None when the current record cannot be read any more.
  std::unique_ptr<TABSLocalBLOBStream> OpenBlob(uint8_t* buffer, int32_t field_no, TABSBlobStreamMode mode);
  void CloseBlob(int32_t field_no);
  int32_t OpenBlobCount() const { return streams_ ? streams_->Count() : 0; }

 private:
  bool MultiUserDisk() const;
  bool InTransaction() const;
  void ResetStatus();
  void SetStatus(const TABSPostResult& result);
  void ReleaseEditLocks();
  void ReleaseEditLocksQuietly() noexcept;
  // The stored record against the buffer an edit begins from: 0, or the
  // status of a record deleted or changed since it was read.
  int32_t RereadForEdit(TABSTableData& table, const TABSRecordId& id, const uint8_t* buffer);
  void EndEdit();
  void DetachStreams();
  void CloseForMaintenance();
  TABSTableData* OpenIn(TABSDatabaseData& database);
  void CloseIn(TABSDatabaseData& database);
  void CloseQuietly(TABSDatabaseData& database) noexcept;
  // Reads what the cursor keeps of the table it was just registered with.
  void AfterOpen();
  // The memory table replaced by a create: the new one is made first under
  // another name, so that a failure leaves the old one.
  void ReplaceMemoryTable(const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                          const TABSConstraintDefs& constraints);
  void EmptyVolatileTable(TABSVolatileDatabaseData& database);
  void DropIndexes(TABSDatabaseData& database, const std::vector<int32_t>& index_ids);
  void ReadDefinitions();
  void MoveOffDroppedIndexes(TABSTableData& table, int32_t index_id);
  TABSDiskDatabaseData& Disk() const;
  void WritePosition(uint8_t* buffer, const TABSRecordId& id, TABSRecordFlag flag) const;
  void CopyCurrent(uint8_t* buffer);

  TABSLocalSession* session_;
  TABSCursorOptions options_;
  std::unique_ptr<TABSTableMetadata> create_definitions_;
  int32_t first_field_offset_ = 0;
  int32_t fields_end_ = 0;
  std::unique_ptr<TABSExpression> filter_;
  std::string filter_text_;
  std::shared_ptr<TABSBlobStreamList> streams_;
  TABSCursorLockLedger ledger_;
  int32_t status_ = 0;
  std::string status_message_;
  int32_t status_native_error_ = 0;
  bool editing_ = false;
  std::vector<uint8_t> edit_copy_;
  enum class Batch : uint8_t { kNone, kOwnTransaction, kStatement, kHeld };
  Batch batch_ = Batch::kNone;
  std::vector<ShownField> shown_fields_;
};

}  // namespace kelvorin
