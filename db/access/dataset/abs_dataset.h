// TABSDataSet: the dataset over a local cursor, the common base of the
// table and the query. It holds its database through the session while it
// needs it (the use flags), reads the cursor's field definitions, keeps the
// record buffer layout of the cursor (the record, its 6-byte position, a
// flag byte) followed by the calculated area, and runs navigation,
// counting, bookmarks, editing, filters, the Find methods, Locate and
// Lookup through the cursor.
//
// The cursor may stand anywhere between two steps (a lookup, a count, a
// bookmark comparison move it): each step first puts it back on the
// dataset's current record.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/access/dataset/dataset.h"
#include "db/access/local/local_cursor.h"
#include "db/access/session/database.h"

namespace kelvorin {

class TABSBLOBStream;

enum TFilterOption : uint32_t { foCaseInsensitive = 1, foNoPartialCompare = 2 };
using TFilterOptions = uint32_t;
enum TLocateOption : uint32_t { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = uint32_t;

// Why a dataset holds its database.
enum class TABSDatabaseUse : uint8_t {
  kCursor = 0,
  kPreparedQuery = 2,
  kMaintenance = 3,
  kFieldList = 4,
  kIndexList = 5,
  kProvider = 10,
};

class TABSDataSet : public TDataSet, public TABSDatabaseUser {
 public:
  using FilterEvent = std::function<void(TDataSet&, bool& accept)>;

  explicit TABSDataSet(const void* owner = nullptr);
  ~TABSDataSet() override;

  // "3.21" and a blank.
  static std::string CurrentVersion();
  // The plain form of a table's engine field definitions.
  static void FieldDefsOf(const TABSFieldDefs& fields, TFieldDefs& defs);

  const std::string& DatabaseName() const { return database_name_; }
  void SetDatabaseName(std::string_view name);
  const std::string& SessionName() const { return session_name_; }
  void SetSessionName(std::string_view name);
  bool InMemory() const;
  void SetInMemory(bool in_memory);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only);

  // --- Filtering ---
  const std::string& Filter() const { return filter_; }
  // A filter that does not compile is refused and the old one stays.
  void SetFilter(std::string_view filter);
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool filtered);
  TFilterOptions FilterOptions() const { return filter_options_; }
  void SetFilterOptions(TFilterOptions options);
  const FilterEvent& OnFilterRecord() const { return on_filter_record_; }
  void SetOnFilterRecord(FilterEvent handler);

  // --- Searching ---
  bool FindFirst() { return FindRecord(true, true); }
  bool FindLast() { return FindRecord(true, false); }
  bool FindNext() { return FindRecord(false, true); }
  bool FindPrior() { return FindRecord(false, false); }
  bool Found() const { return found_; }
  bool Locate(std::string_view key_fields, const std::vector<TDataVariant>& key_values, TLocateOptions options = 0);
  TDataVariant Lookup(std::string_view key_fields, const std::vector<TDataVariant>& key_values,
                      std::string_view result_fields) override;

  // --- Counting and bookmarks ---
  int32_t RecordCount() override;
  int32_t RecNo() override;
  void SetRecNo(int32_t number) override;
  TBookmark GetBookmark() override;
  bool BookmarkValid(const TBookmark& bookmark) override;
  void GotoBookmark(const TBookmark& bookmark) override;
  int32_t CompareBookmarks(const TBookmark& a, const TBookmark& b) override;

  // A BLOB field's value as a stream.
  std::unique_ptr<TABSBLOBStream> CreateBlobStream(TField& field, TABSBlobStreamMode mode);

  // --- The cursor and the database ---
  bool HasCursor() const { return cursor_ != nullptr; }
  // Raises "Nil pointer occured" without one.
  TABSLocalCursor& Cursor() const;
  // The number of the table's field that a field of the dataset shows.
  int32_t TableFieldNo(const TField& field) const;
  // The database while the dataset holds it, else none.
  TABSDatabase* Database() const { return database_; }
  bool HoldsDatabase(TABSDatabaseUse use) const { return uses_.test(static_cast<size_t>(use)); }
  // Tells the dataset that the records may have changed under it (a
  // rollback): it rereads its record, or goes to the nearest one left.
  void RecordsChanged();

  // TABSDatabaseUser.
  void CloseForDisconnect() noexcept override;
  bool IsQuery() const override { return false; }
  const void* Owner() const override { return owner_; }
  void RecordsRolledBack() noexcept override;

 protected:
  friend class TABSBLOBStream;

  // The subclass makes the cursor (opened) under use flag 0.
  virtual std::unique_ptr<TABSLocalCursor> CreateCursor() = 0;
  // After the cursor is open and the definitions read (index, keys).
  virtual void CursorOpened() {}
  // Before the cursor closes.
  virtual void CursorClosing() {}

  void AcquireDatabase(TABSDatabaseUse use);
  void ReleaseDatabase(TABSDatabaseUse use) noexcept;
  // The session the dataset's SessionName names.
  TABSSession& OwnSession() const;
  TABSLocalSession& Connection() const;
  // Runs `work` holding the database for `use`; the flag goes afterwards.
  template <typename Work>
  auto WithDatabase(TABSDatabaseUse use, Work&& work) {
    AcquireDatabase(use);
    struct Release {
      TABSDataSet* self;
      TABSDatabaseUse use;
      ~Release() { self->ReleaseDatabase(use); }
    } release{this, use};
    return work();
  }
  // Whether the cursor is to be made read-only.
  bool CursorReadOnly() const;
  // The record's position in a buffer.
  TABSRecordId PositionOf(const std::vector<uint8_t>& buffer) const;
  // Puts the cursor back on the buffer's record.
  void SyncCursor(const std::vector<uint8_t>& buffer);
  int32_t FieldsEnd() const { return fields_end_; }
  void RunFilterEvent(const uint8_t* record, bool& accept);
  // A BLOB stream changed the field.
  void FieldWrittenThroughStream(TField& field);

  // TDataSet.
  void InternalOpen() override;
  void InternalClose() override;
  int32_t RecordDataSize() const override { return record_size_; }
  bool FetchRecord(Fetch fetch, std::vector<uint8_t>& buffer) override;
  void InternalInitRecord(std::vector<uint8_t>& buffer) override;
  void InternalEdit(std::vector<uint8_t>& buffer) override;
  void InternalPost(std::vector<uint8_t>& buffer, bool inserting) override;
  void InternalCancel(std::vector<uint8_t>& buffer, bool inserting) override;
  void InternalDelete(std::vector<uint8_t>& buffer) override;
  bool ReadDataField(const TField& field, const uint8_t* record, TABSVariant& value) const override;
  void WriteDataField(TField& field, uint8_t* record, const TABSVariant& value) override;
  bool ReadOnlyData() const override { return read_only_; }
  void CheckPersistentField(const TField& field, int32_t field_no) const override;
  void ReleaseBufferValues(std::vector<uint8_t>& buffer) noexcept override;

 private:
  void CheckClosed() const;
  void InstallFilter();
  // Installs or removes the filter; on failure the dataset's filter
  // settings come back and are installed again.
  void ReinstallFilter(const std::function<void()>& change, const std::function<void()>& undo);
  bool FindRecord(bool restart, bool forward);
  void RaiseStatus();
  std::vector<TABSVariant> KeyValues(const std::vector<TDataVariant>& values) const;
  // Reads the record at a position into a new buffer; false when none.
  bool ReadAt(const TABSRecordId& id, std::vector<uint8_t>& buffer);
  void ReadFieldDefs();
  // Field names of the dataset (";"-separated) as the table names them.
  std::string TableFieldNames(std::string_view names) const;

  const void* owner_;
  std::string database_name_;
  std::string session_name_;
  bool read_only_ = false;
  std::string filter_;
  bool filtered_ = false;
  TFilterOptions filter_options_ = 0;
  FilterEvent on_filter_record_;
  bool found_ = false;

  std::bitset<16> uses_;
  TABSDatabase* database_ = nullptr;
  std::unique_ptr<TABSLocalCursor> cursor_;
  int32_t fields_end_ = 0;
  int32_t record_size_ = 0;
  std::vector<uint8_t> scratch_;
  std::vector<uint8_t> filter_buffer_;
  uint32_t seen_generation_ = 0;
  // The table's field behind each field definition, when the cursor shows
  // only some fields (empty: the same numbers).
  std::vector<int32_t> table_field_nos_;
};

}  // namespace kelvorin
