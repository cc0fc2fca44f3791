// TDataSet: the behaviour every dataset shares, whatever holds its records:
// its fields, its states with their Before/After events, the current record
// buffer and its navigation, editing (insert, edit, post, cancel, delete),
// calculated and lookup fields, and the notifications to its data sources.
//
// The dataset keeps one record buffer, the current record: the record layer
// below (TABSDataSet) fills it from its cursor and fetches relative to it,
// so that the cursor may wander (a lookup, a count) and the dataset still
// knows where it is. A buffer holds the record layer's data first and then
// the calculated area: for each calculated or lookup field one byte that is
// 1 when a value is present, then the value's slot.
//
// Notifications never raise into the dataset: a link or a field event that
// raises is reported through the error hook (caught_errors.h).
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/access/dataset/data_link.h"
#include "db/access/dataset/field.h"
#include "db/access/dataset/field_defs.h"

namespace kelvorin {

enum class TDataSetState : uint8_t {
  dsInactive,
  dsBrowse,
  dsEdit,
  dsInsert,
  dsSetKey,
  dsCalcFields,
  dsFilter,
  dsNewValue,
  dsOldValue,
  dsCurValue,
  dsApplyDefaults,
};

// What an OnPostError, OnEditError or OnDeleteError handler answers.
enum class TDataAction : uint8_t { daFail, daAbort, daRetry };

// Raised to end an operation silently (an error handler answered abort).
class EAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};

using TBookmark = std::vector<uint8_t>;

class TDataSet {
 public:
  using Event = std::function<void(TDataSet&)>;
  using ErrorEvent = std::function<void(TDataSet&, const std::exception&, TDataAction&)>;

  TDataSet();
  virtual ~TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  // --- Fields ---
  // A persistent field, declared before the dataset opens; it stays when
  // the dataset closes.
  TField& AddField(std::unique_ptr<TField> field);
  TField& AddField(std::string name, TFieldType type, int32_t size = 0, TFieldKind kind = TFieldKind::fkData);
  TField& AddLookupField(std::string name, TFieldType type, int32_t size, TDataSet& lookup_dataset,
                         std::string lookup_key_fields, std::string lookup_result_field, std::string key_fields);
  int32_t FieldCount() const { return static_cast<int32_t>(fields_.size()); }
  TField& Fields(int32_t index) const { return *fields_.at(static_cast<size_t>(index)).field; }
  TField* FindField(std::string_view name) const;
  // Raises "Field '%s' not found".
  TField& FieldByName(std::string_view name) const;
  // The field definitions of the open dataset's records.
  const TFieldDefs& FieldDefs() const { return field_defs_; }

  // --- Opening and closing ---
  bool Active() const { return state_ != TDataSetState::dsInactive; }
  // Setting false while a record is edited or inserted cancels it first.
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  TDataSetState State() const { return state_; }

  // --- Navigation ---
  void First() { MoveToEdge(false); }
  void Last() { MoveToEdge(true); }
  void Next() { Step(true); }
  void Prior() { Step(false); }
  // Moves up to `distance` records; returns how many it moved (signed).
  int32_t MoveBy(int32_t distance);
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool IsEmpty() const { return Active() && bof_ && eof_ && state_ != TDataSetState::dsInsert; }
  virtual int32_t RecordCount() { return 0; }
  virtual int32_t RecNo() { return -1; }
  virtual void SetRecNo(int32_t /*number*/) {}

  // --- Bookmarks ---
  virtual TBookmark GetBookmark() { return {}; }
  virtual bool BookmarkValid(const TBookmark& /*bookmark*/) { return false; }
  virtual void GotoBookmark(const TBookmark& /*bookmark*/) {}
  virtual int32_t CompareBookmarks(const TBookmark& a, const TBookmark& b);

  // --- Editing ---
  void Insert();
  void Append() { Insert(); }
  // On an empty dataset Edit inserts.
  void Edit();
  void Post();
  void Cancel();
  void Delete();
  // Leaves edit state: posts a modified record, cancels an unmodified one.
  // A post that fails leaves the state as it was.
  void CheckBrowseMode();
  bool Modified() const { return modified_; }
  bool CanModify() const { return !ReadOnlyData(); }

  // Rereads the current record (if it is gone: the nearest record that is
  // left, else the first) and tells the views.
  void Resync();
  void Refresh();

  // While disabled, views are not told; enabling again tells them that the
  // data changed if anything happened meanwhile.
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disable_count_ > 0; }

  bool AutoCalcFields() const { return auto_calc_fields_; }
  void SetAutoCalcFields(bool on) { auto_calc_fields_ = on; }

  // The values of the result fields (separated by semicolons) of the first
  // record whose key fields equal the key values, or Null; the dataset does
  // not move.
  virtual TDataVariant Lookup(std::string_view key_fields, const std::vector<TDataVariant>& key_values,
                              std::string_view result_fields);

  // The master dataset this one follows, for the check against circular links.
  virtual TDataSet* MasterDataSet() const { return nullptr; }

  // --- Events ---
  Event BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  Event BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  Event BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete, AfterDelete;
  Event BeforeScroll, AfterScroll, BeforeRefresh, AfterRefresh;
  Event OnCalcFields, OnNewRecord;
  ErrorEvent OnPostError, OnEditError, OnDeleteError;

  // --- For fields and data sources ---
  bool ReadField(const TField& field, TABSVariant& value) const;
  void WriteField(TField& field, const TABSVariant& value);
  void AddDataSource(TDataSource& source);
  void RemoveDataSource(TDataSource& source);

 protected:
  // --- The record layer below ---
  // Opens the records: fills the field definitions; the record data size
  // is then RecordDataSize().
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual int32_t RecordDataSize() const = 0;
  // The first or last record, or the one after or before the buffer's (its
  // position); false when there is none (the buffer is then unchanged).
  enum class Fetch : uint8_t { kFirst, kLast, kNext, kPrior, kCurrent };
  virtual bool FetchRecord(Fetch fetch, std::vector<uint8_t>& buffer) = 0;
  // A new record: every field NULL, defaults applied.
  virtual void InternalInitRecord(std::vector<uint8_t>& buffer) = 0;
  virtual void InternalEdit(std::vector<uint8_t>& buffer) = 0;
  // Raises what refuses the post; the buffer then holds the record as before.
  virtual void InternalPost(std::vector<uint8_t>& buffer, bool inserting) = 0;
  virtual void InternalCancel(std::vector<uint8_t>& buffer, bool inserting) = 0;
  virtual void InternalDelete(std::vector<uint8_t>& buffer) = 0;
  // A data field's value in a record; false for NULL.
  virtual bool ReadDataField(const TField& field, const uint8_t* record, TABSVariant& value) const = 0;
  virtual void WriteDataField(TField& field, uint8_t* record, const TABSVariant& value) = 0;
  virtual bool ReadOnlyData() const { return false; }
  // A new record gets the master's values (before OnNewRecord).
  virtual void InitNewRecord() {}
  // The state is left: set-key state ends here (a post keeps the key).
  virtual void EndSetKey(bool keep) { (void)keep; }
  // Checked before a field is written in set-key state.
  virtual void CheckKeyField(const TField& /*field*/) const {}
  // Where the field's value is written in set-key state.
  virtual uint8_t* KeyRecord() { return nullptr; }
  virtual const uint8_t* KeyRecord() const { return nullptr; }

  // --- For the record layer ---
  void SetState(TDataSetState state);
  void DataEvent(TDataEvent event, TField* field = nullptr);
  std::vector<uint8_t>& ActiveBuffer() { return active_; }
  const std::vector<uint8_t>& ActiveBuffer() const { return active_; }
  int32_t BufferSize() const { return RecordDataSize() + calc_size_; }
  std::vector<uint8_t> NewBuffer() const { return std::vector<uint8_t>(static_cast<size_t>(BufferSize())); }
  // Makes a fetched record the current one (its calculated fields computed)
  // and tells the views; BeforeScroll ran before, AfterScroll runs here.
  void ScrollTo(std::vector<uint8_t>&& buffer, TDataEvent event = TDataEvent::deDataSetScroll);
  void SetEdges(bool bof, bool eof) { bof_ = bof, eof_ = eof; }
  // Computes the calculated and lookup fields of a buffer (no events).
  void CalculateFields(std::vector<uint8_t>& buffer);
  bool HasCalculatedFields() const { return calc_size_ > 0; }
  // Runs `read` with the field reads looking at `buffer` in the given state
  // (filtering, calculating); the state and the current record come back.
  void WithRecordView(uint8_t* buffer, TDataSetState state, const std::function<void()>& read);
  // Creates the default fields from the definitions and binds every field.
  void BindFields();
  void UnbindFields();
  // The first or last record (or none) as the current one, without events.
  void LoadEdge(bool last);
  // Frees what a buffer that is dropped holds beside its bytes.
  virtual void ReleaseBufferValues(std::vector<uint8_t>& /*buffer*/) noexcept {}
  // Makes a buffer the current record, releasing the one it replaces.
  void ReplaceActive(std::vector<uint8_t>&& buffer);
  void RunEvent(const Event& event) { if (event) event(*this); }
  // Leaves the open state without events, whatever fails (for a forced close).
  void CloseQuietly() noexcept;
  // The record layer's check that a persistent field matches its column.
  virtual void CheckPersistentField(const TField& /*field*/, int32_t /*field_no*/) const {}
  // The checks of editing and posting.
  void CheckActive() const;
  TFieldDefs& MutableFieldDefs() { return field_defs_; }
  void SetModified() { modified_ = true; }
  bool InEditState() const { return state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert; }

 private:
  struct FieldEntry {
    std::unique_ptr<TField> field;
    bool persistent;
  };

  void DoOpen();
  void DoClose();
  // What a closed dataset no longer has: its default fields, its buffers;
  // the views are told.
  void ForgetRecords() noexcept;
  void MoveToEdge(bool last);
  void Step(bool forward);
  // Runs a record operation; its error handler may retry, abort or fail.
  void WithErrorHandler(const ErrorEvent& handler, const std::function<void()>& operation);
  bool CalcValue(const TField& field, const uint8_t* buffer, TABSVariant& value) const;
  void WriteCalcValue(const TField& field, uint8_t* buffer, const TABSVariant& value);
  const uint8_t* ViewRecord() const;
  uint8_t* ViewRecordForWrite();
  void RestoreAfterCancel(bool inserting);

  std::vector<FieldEntry> fields_;
  TFieldDefs field_defs_;
  std::vector<TDataSource*> sources_;
  TDataSetState state_ = TDataSetState::dsInactive;
  bool bof_ = true;
  bool eof_ = true;
  bool modified_ = false;
  bool auto_calc_fields_ = true;
  int32_t calc_size_ = 0;
  int32_t disable_count_ = 0;
  bool pending_change_ = false;
  std::vector<uint8_t> active_;
  // The current record before an insert or edit: Cancel comes back to it.
  std::vector<uint8_t> saved_;
  bool saved_edges_[2] = {true, true};
  uint8_t* view_ = nullptr;
};

}  // namespace kelvorin
