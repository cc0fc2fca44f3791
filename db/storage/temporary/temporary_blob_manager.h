// TABSTemporaryBlobManager: the BLOB values of a temporary table, appended
// to a temporary stream of the table's own (in memory while small, then an
// unnamed temporary file). A record names its value by the value's number
// + 1 in the reference's page field; the manager keeps each value's place
// and sizes. Temporary tables never update or delete records, so a value
// is only ever given up whole: when the table is emptied or freed, or when
// the operation that stored it failed (the journal, operation_journal.h).
#pragma once

#include <cstdint>
#include <vector>

#include "db/storage/blobs/blob_manager.h"
#include "db/storage/streams/temporary_stream.h"
#include "db/storage/temporary/operation_journal.h"

namespace kelvorin {

class TABSTemporaryBlobManager : public TABSBlobManager, public TABSOperationJournal {
 public:
  explicit TABSTemporaryBlobManager(const TABSRecordLayout& layout) : TABSBlobManager(layout) {}

  int64_t ValueCount() const { return static_cast<int64_t>(values_.size()); }
  int64_t StreamSize() { return stream_.Size(); }
  void DeleteAll(int32_t session) override;

  void KeepChanges() noexcept override;
  void UndoChanges() noexcept override;

 protected:
  TABSBlobReference StoreValue(int32_t session, const TABSBlobValue& value) override;
  void ReadStoredValue(int32_t session, TABSBlobReference reference, TABSBlobValue& value) override;
  // A value given up keeps its bytes until the table is emptied.
  void DeleteValue(int32_t session, TABSBlobReference reference) override;

 private:
  struct Entry {
    int64_t offset;
    int64_t size;
    uint32_t block_count;
    int64_t uncompressed_size;
    bool live;
  };

  Entry& EntryOf(TABSBlobReference reference);
  void Truncate(size_t count) noexcept;

  TABSTemporaryStream stream_;
  std::vector<Entry> values_;
  size_t kept_ = 0;
};

}  // namespace kelvorin
