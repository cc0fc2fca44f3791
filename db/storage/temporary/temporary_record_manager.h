// TABSTemporaryRecordManager: the records of a temporary table, appended
// once and read in sequence. Record k has sequence number k (its id holds
// the number, record_array.h). Records are kept in their stored form in a
// memory array while the process's temporary budget grants it room; the
// first refused growth fixes the memory limit at the records held, and
// every later record goes through a write buffer into an unnamed temporary
// file, record k at offset (k - limit) x R. Reads from the file go through
// a read buffer, so scans in either direction read whole blocks.
//
// Temporary tables are filled once: update and delete always report false.
// Appends are not transactional; the journal (operation_journal.h) takes
// back the appends of an operation that failed.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>

#include "db/storage/records/base_record_manager.h"
#include "db/storage/records/record_layout.h"
#include "db/storage/streams/file_stream.h"
#include "db/storage/temporary/operation_journal.h"
#include "db/storage/temporary/record_array.h"
#include "db/storage/temporary/temporary_budget.h"

namespace kelvorin {

class TABSTemporaryRecordManager : public TABSBaseRecordManager, public TABSOperationJournal {
 public:
  // Records of the spill file written or read at once: at least 10, and
  // about 64 KiB.
  static constexpr int32_t kMinBufferRecords = 10;
  static constexpr int64_t kBufferBytes = 64 * 1024;

  // Raises "Invalid record size = 0" for a layout without stored bytes.
  explicit TABSTemporaryRecordManager(const TABSRecordLayout& layout);

  const TABSRecordLayout& Layout() const { return layout_; }
  // At most this many records are kept in memory (tests force spilling
  // with it; the budget still applies below it). Takes effect for records
  // appended from now on.
  void SetMemoryRecordLimit(int64_t records) { forced_limit_ = records; }
  bool Spilled() const { return file_ != nullptr; }
  // Records held in memory.
  int64_t MemoryRecordCount() const;
  int32_t BufferRecords() const { return buffer_records_; }

  void Empty(int32_t session) override;
  // Appends; raises only when the spill file fails.
  bool Insert(int32_t session, const uint8_t* record, TABSRecordId& id) override;
  bool Update(int32_t, const uint8_t*, TABSRecordId) override { return false; }
  bool Delete(int32_t, TABSRecordId) override { return false; }
  void Navigate(int32_t session, TABSNavigateRequest& request) override;
  int CompareRecordIds(TABSRecordId a, TABSRecordId b) const override { return kelvorin::CompareRecordIds(a, b); }
  // The sequence number + 1, or -1 for an id past the last record.
  int64_t EstimatedPosition(int32_t session, TABSRecordId id) override;

  // The stored form of record k (k below the record count), valid until the
  // next call.
  const uint8_t* StoredRecord(int64_t number);

  void KeepChanges() noexcept override;
  void UndoChanges() noexcept override;

 private:
  bool InMemory(int64_t number) const { return number < memory_.Capacity(); }
  // Room in memory for record k, or false when it must go to the file.
  bool MakeRoomInMemory(int64_t number);
  void StartSpilling();
  void FlushWriteBuffer();
  int64_t FileRecordCount() const { return RecordCount() - memory_limit_ - buffered_; }
  const uint8_t* ReadFromFile(int64_t number);

  TABSRecordLayout layout_;
  int32_t record_size_;
  int32_t buffer_records_;
  TABSRecordArray memory_;
  TABSBudgetShare budget_;
  int64_t forced_limit_ = std::numeric_limits<int64_t>::max();
  // Once spilling: the records kept in memory (record k >= it is in the
  // write buffer or the file).
  int64_t memory_limit_ = 0;
  std::unique_ptr<TABSFileStream> file_;
  TABSMemoryBlock write_buffer_;
  int32_t buffered_ = 0;  // the last records, not yet written
  TABSMemoryBlock read_buffer_;
  int64_t read_first_ = 0;
  int64_t read_count_ = 0;
  int64_t kept_count_ = 0;
  int32_t kept_counter_ = 0;
};

}  // namespace kelvorin
