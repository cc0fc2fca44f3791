#include "db/storage/temporary/record_array.h"

#include <algorithm>

namespace kelvorin {
namespace {

constexpr int64_t kFirstRecords = 16;

}  // namespace

TABSRecordArray::TABSRecordArray(int32_t record_size)
    : record_size_(record_size), per_chunk_(std::max<int64_t>(1, kChunkBytes / std::max(record_size, 1))) {}

// The last chunk may be partial: it grows (doubling) to a full one before
// the next chunk is added.
int64_t TABSRecordArray::InLastChunk() const {
  return chunks_.empty() ? per_chunk_ : capacity_ - static_cast<int64_t>(chunks_.size() - 1) * per_chunk_;
}

int64_t TABSRecordArray::NextCapacity(int64_t max_capacity) const {
  const int64_t in_last = InLastChunk();
  int64_t added;
  if (in_last < per_chunk_) {
    added = std::min(per_chunk_, std::max(kFirstRecords, in_last * 2)) - in_last;
  } else {
    added = chunks_.empty() ? std::min(per_chunk_, kFirstRecords) : per_chunk_;
  }
  return std::min(capacity_ + added, max_capacity);
}

int64_t TABSRecordArray::GrowthBytes(int64_t max_capacity) const {
  return (NextCapacity(max_capacity) - capacity_) * record_size_;
}

void TABSRecordArray::Grow(int64_t max_capacity) {
  const int64_t target = NextCapacity(max_capacity);
  if (target <= capacity_) return;
  const int64_t in_last = InLastChunk();
  if (in_last < per_chunk_) {
    chunks_.back().Resize((in_last + target - capacity_) * record_size_);
  } else {
    TABSMemoryBlock chunk((target - capacity_) * record_size_);
    chunks_.push_back(std::move(chunk));
  }
  capacity_ = target;
}

void TABSRecordArray::ShrinkTo(int64_t count) {
  const size_t needed = static_cast<size_t>((std::max<int64_t>(count, 0) + per_chunk_ - 1) / per_chunk_);
  if (needed >= chunks_.size()) return;
  capacity_ -= InLastChunk() + static_cast<int64_t>(chunks_.size() - needed - 1) * per_chunk_;
  chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(needed), chunks_.end());
}

void TABSRecordArray::Clear() {
  chunks_.clear();
  capacity_ = 0;
}

}  // namespace kelvorin
