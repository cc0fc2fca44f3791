#include "db/storage/blobs/small_blob_page.h"

#include <cstring>
#include <string>

#include "db/storage/blobs/blob_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {

TABSSmallBlobPage::TABSSmallBlobPage(uint8_t* data, int32_t data_size, int32_t page_no)
    : data_(data), data_size_(data_size), page_no_(page_no) {
  const auto damaged = [&](const std::string& reason) {
    return EABSException(native::kBlobPageDamaged, {page_no_, reason});
  };
  count_ = LoadLE<uint16_t>(data_);
  if (count_ > kMaxEntries) throw damaged("it counts " + std::to_string(count_) + " entries");
  // The last byte of the data area is never used (the index's room rule).
  const int64_t limit = data_size_ - 1;
  int64_t offset = kCountSize;
  for (int32_t i = 0; i < count_; ++i) {
    if (offset + TABSBlobEntryHeader::kStoredSize > limit) throw damaged("entry " + std::to_string(i) + " runs past it");
    const TABSBlobEntryHeader header = Entry(static_cast<int32_t>(offset));
    if (header.id < 0 || header.id >= kMaxEntries || IdUsed(header.id)) {
      throw damaged("entry " + std::to_string(i) + " has the id " + std::to_string(header.id));
    }
    if (!header.HasValidSizes() || header.stored_size > limit - offset - TABSBlobEntryHeader::kStoredSize) {
      throw damaged("entry " + std::to_string(i) + " runs past it");
    }
    ids_[header.id / 64] |= uint64_t{1} << (header.id % 64);
    offset += TABSBlobEntryHeader::kStoredSize + header.stored_size;
  }
  used_ = static_cast<int32_t>(offset - kCountSize);
}

int32_t TABSSmallBlobPage::Find(int32_t id) const {
  if (id < 0 || id >= kMaxEntries || !IdUsed(id)) return -1;
  for (int32_t offset = FirstEntry(); offset >= 0; offset = NextEntry(offset)) {
    if (Entry(offset).id == id) return offset;
  }
  return -1;
}

int32_t TABSSmallBlobPage::NextEntry(int32_t offset) const {
  const int64_t next = offset + TABSBlobEntryHeader::kStoredSize + Entry(offset).stored_size;
  return next < kCountSize + used_ ? static_cast<int32_t>(next) : -1;
}

int16_t TABSSmallBlobPage::NextId() const {
  if (count_ >= kMaxEntries) throw EABSException(native::kBlobIdsExhausted);
  for (int32_t k = 0; k < kMaxEntries; ++k) {
    const int32_t id = (count_ + k) % kMaxEntries;
    if (!IdUsed(id)) return static_cast<int16_t>(id);
  }
  throw EABSException(native::kBlobIdsExhausted);
}

bool TABSSmallBlobPage::HasRoom(int64_t stored_size) const {
  return stored_size >= 0 &&
         used_ + TABSBlobEntryHeader::kStoredSize + stored_size <= FullAmount(data_size_);
}

void TABSSmallBlobPage::Append(const TABSBlobEntryHeader& header, const uint8_t* bytes) {
  if (!HasRoom(header.stored_size) || count_ >= kMaxEntries) throw EABSException(native::kBlobPageFull);
  uint8_t* at = data_ + kCountSize + used_;
  header.Store(at);
  if (header.stored_size > 0) std::memcpy(at + TABSBlobEntryHeader::kStoredSize, bytes, header.stored_size);
  ids_[header.id / 64] |= uint64_t{1} << (header.id % 64);
  ++count_;
  used_ += TABSBlobEntryHeader::kStoredSize + static_cast<int32_t>(header.stored_size);
  StoreLE(data_, static_cast<uint16_t>(count_));
}

void TABSSmallBlobPage::Remove(int32_t offset) {
  const TABSBlobEntryHeader header = Entry(offset);
  const int32_t size = TABSBlobEntryHeader::kStoredSize + static_cast<int32_t>(header.stored_size);
  const int32_t end = kCountSize + used_;
  std::memmove(data_ + offset, data_ + offset + size, end - offset - size);
  std::memset(data_ + end - size, 0, size);
  ids_[header.id / 64] &= ~(uint64_t{1} << (header.id % 64));
  --count_;
  used_ -= size;
  StoreLE(data_, static_cast<uint16_t>(count_));
}

}  // namespace kelvorin
