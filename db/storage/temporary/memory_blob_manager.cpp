#include "db/storage/temporary/memory_blob_manager.h"

#include <cstring>

#include "db/storage/blobs/blob_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {
namespace {

TABSBlobValue Copy(const TABSBlobValue& value) {
  TABSBlobValue copy;
  copy.block_count = value.block_count;
  copy.uncompressed_size = value.uncompressed_size;
  if (value.StoredSize() > 0) {
    copy.bytes.Allocate(value.StoredSize());
    std::memcpy(copy.bytes.data(), value.bytes.data(), static_cast<size_t>(value.StoredSize()));
  }
  return copy;
}

}  // namespace

TABSBlobValue& TABSMemoryBlobManager::ValueAt(TABSBlobReference reference) {
  const int64_t index = int64_t{reference.page_no} - 1;
  if (index < 0 || index >= static_cast<int64_t>(slots_.size()) ||
      slots_[static_cast<size_t>(index)].generation != reference.slot ||
      !slots_[static_cast<size_t>(index)].value) {
    throw EABSException(native::kInvalidBlobReference, {reference.page_no, reference.slot});
  }
  return *slots_[static_cast<size_t>(index)].value;
}

TABSBlobReference TABSMemoryBlobManager::StoreValue(int32_t, const TABSBlobValue& value) {
  TABSBlobValue copy = Copy(value);
  if (free_.empty() && static_cast<int64_t>(slots_.size()) >= kMaxValues) {
    throw EABSException(native::kTooManyBlobValues, {kMaxValues});
  }
  // Room first, so that nothing below can fail.
  stored_.reserve(stored_.size() + 1);
  if (free_.empty()) {
    slots_.emplace_back();
    free_.push_back(static_cast<int32_t>(slots_.size() - 1));
  }
  const int32_t index = free_.back();
  free_.pop_back();
  Slot& slot = slots_[static_cast<size_t>(index)];
  slot.value = std::move(copy);
  ++live_;
  const TABSBlobReference reference{index + 1, slot.generation};
  stored_.push_back(reference);
  return reference;
}

void TABSMemoryBlobManager::ReadStoredValue(int32_t, TABSBlobReference reference, TABSBlobValue& value) {
  value = Copy(ValueAt(reference));
}

void TABSMemoryBlobManager::DeleteValue(int32_t, TABSBlobReference reference) {
  ValueAt(reference);
  deleted_.push_back(reference);
}

void TABSMemoryBlobManager::Free(TABSBlobReference reference) noexcept {
  const int64_t index = int64_t{reference.page_no} - 1;
  if (index < 0 || index >= static_cast<int64_t>(slots_.size())) return;
  Slot& slot = slots_[static_cast<size_t>(index)];
  if (slot.generation != reference.slot || !slot.value) return;
  slot.value.reset();
  // Generations stay positive, so that a handle is never read as "no value".
  slot.generation = static_cast<int16_t>(slot.generation == 0x7FFF ? 1 : slot.generation + 1);
  --live_;
  try {
    free_.push_back(static_cast<int32_t>(index));
  } catch (...) {
    // The slot stays unused; its memory went with the value.
  }
}

void TABSMemoryBlobManager::DeleteAll(int32_t) {
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].value) Free({static_cast<int32_t>(i + 1), slots_[i].generation});
  }
  stored_.clear();
  deleted_.clear();
  InvalidateCaches();
}

void TABSMemoryBlobManager::KeepChanges() noexcept {
  for (const TABSBlobReference reference : deleted_) Free(reference);
  stored_.clear();
  deleted_.clear();
}

void TABSMemoryBlobManager::UndoChanges() noexcept {
  for (const TABSBlobReference reference : stored_) Free(reference);
  stored_.clear();
  deleted_.clear();
}

}  // namespace kelvorin
