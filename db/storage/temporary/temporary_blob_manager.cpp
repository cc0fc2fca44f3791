#include "db/storage/temporary/temporary_blob_manager.h"

#include <limits>

#include "db/storage/blobs/blob_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/temporary/temporary_errors.h"

namespace kelvorin {

TABSTemporaryBlobManager::Entry& TABSTemporaryBlobManager::EntryOf(TABSBlobReference reference) {
  const int64_t index = int64_t{reference.page_no} - 1;
  if (index < 0 || index >= static_cast<int64_t>(values_.size()) || reference.slot != 0 ||
      !values_[static_cast<size_t>(index)].live) {
    throw EABSException(native::kInvalidBlobReference, {reference.page_no, reference.slot});
  }
  return values_[static_cast<size_t>(index)];
}

TABSBlobReference TABSTemporaryBlobManager::StoreValue(int32_t, const TABSBlobValue& value) {
  if (values_.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max() - 1)) {
    throw EABSException(native::kTooManyBlobValues, {std::numeric_limits<int32_t>::max() - 1});
  }
  values_.reserve(values_.size() + 1);
  const int64_t offset = stream_.Size();
  stream_.Seek(offset, TABSSeekOrigin::kBeginning);
  if (stream_.Write(value.bytes.data(), value.StoredSize()) != value.StoredSize()) {
    try {
      stream_.SetSize(offset);
    } catch (...) {
      // The bytes past the last value are never read.
    }
    throw EABSException(native::kTemporaryFileFailed, {"a BLOB value could not be written"});
  }
  values_.push_back({offset, value.StoredSize(), value.block_count, value.uncompressed_size, true});
  return {static_cast<int32_t>(values_.size()), 0};
}

void TABSTemporaryBlobManager::ReadStoredValue(int32_t, TABSBlobReference reference, TABSBlobValue& value) {
  const Entry& entry = EntryOf(reference);
  TABSBlobValue read;
  read.block_count = entry.block_count;
  read.uncompressed_size = entry.uncompressed_size;
  if (entry.size > 0) {
    read.bytes.Allocate(entry.size);
    stream_.Seek(entry.offset, TABSSeekOrigin::kBeginning);
    const int64_t count = stream_.Read(read.bytes.data(), entry.size);
    if (count != entry.size) {
      throw EABSException(native::kCannotReadFromStream10130, {entry.offset, stream_.Size(), entry.size, count});
    }
  }
  value = std::move(read);
}

void TABSTemporaryBlobManager::DeleteValue(int32_t, TABSBlobReference reference) { EntryOf(reference).live = false; }

void TABSTemporaryBlobManager::Truncate(size_t count) noexcept {
  values_.resize(count);
  try {
    stream_.SetSize(values_.empty() ? 0 : values_.back().offset + values_.back().size);
  } catch (...) {
    // The bytes past the last value are never read.
  }
}

void TABSTemporaryBlobManager::DeleteAll(int32_t) {
  Truncate(0);
  kept_ = 0;
  InvalidateCaches();
}

void TABSTemporaryBlobManager::KeepChanges() noexcept { kept_ = values_.size(); }

void TABSTemporaryBlobManager::UndoChanges() noexcept {
  if (values_.size() > kept_) Truncate(kept_);
}

}  // namespace kelvorin
