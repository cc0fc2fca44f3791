#include "db/storage/locks/table_locks_file.h"

#include <vector>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/locks/lock_errors.h"

namespace kelvorin {

TABSTableLocksFile::TABSTableLocksFile(TABSDiskPageManager& manager, int32_t start_page, int32_t max_connections)
    : file_(manager, ptTableLocks), connections_(max_connections) {
  file_.Open(start_page);
  if (file_.GetSize() != int64_t{kBytesPerConnection} * max_connections) {
    throw EABSException(native::kInvalidLocksFileSize);
  }
}

bool TABSTableLocksFile::OtherSlotHolds(TABSLockType type, int32_t slot) {
  const int32_t first = LockTypeIndex(type) * connections_;
  if (slot < 0 || slot >= connections_) return file_.IsRegionLocked(first, connections_);
  return file_.IsRegionLocked(first, slot) || file_.IsRegionLocked(first + slot + 1, connections_ - slot - 1);
}

TABSRecordId TABSTableLocksFile::ReadRecordId(int32_t slot) {
  uint8_t bytes[TABSRecordId::kStoredSize] = {};
  file_.DirectReadBuffer(bytes, TABSRecordId::kStoredSize, RecordIdPosition(slot));
  return TABSRecordId::Load(bytes);
}

void TABSTableLocksFile::WriteRecordId(int32_t slot, const TABSRecordId& id) {
  uint8_t bytes[TABSRecordId::kStoredSize];
  id.Store(bytes);
  file_.DirectWriteBuffer(bytes, TABSRecordId::kStoredSize, RecordIdPosition(slot));
}

std::optional<int32_t> TABSTableLocksFile::RecordHolder(int32_t slot, const TABSRecordId& id) {
  // Mostly no other slot locks a record of the table: two region tests.
  if (!OtherSlotHolds(TABSLockType::kRecord, slot)) return std::nullopt;
  std::vector<uint8_t> ids(static_cast<size_t>(TABSRecordId::kStoredSize) * connections_);
  file_.DirectReadBuffer(ids.data(), static_cast<int32_t>(ids.size()), RecordIdPosition(0));
  for (int32_t other = 0; other < connections_; ++other) {
    if (other == slot || TABSRecordId::Load(ids.data() + int64_t{TABSRecordId::kStoredSize} * other) != id) {
      continue;
    }
    if (file_.IsByteLocked(LockByte(TABSLockType::kRecord, other))) return other;
  }
  return std::nullopt;
}

}  // namespace kelvorin
