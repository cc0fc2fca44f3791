#include "db/storage/records/small_record_page.h"

#include <bit>

namespace kelvorin {

int32_t RecordsPerPage(int32_t page_data_size, int64_t stored_record_size) {
  // trunc((D - 1) / (R + 1/8)) in integers.
  if (stored_record_size <= 0 || page_data_size <= 1) return 0;
  return static_cast<int32_t>(8 * (int64_t{page_data_size} - 1) / (8 * stored_record_size + 1));
}

int32_t TABSSmallRecordPage::UsedCount() const {
  const int32_t full_bytes = records_per_page_ / 8;
  int32_t count = 0;
  for (int32_t i = 0; i < full_bytes; ++i) count += std::popcount(data_[i]);
  if (const int32_t rest = records_per_page_ % 8) {
    count += std::popcount(static_cast<uint8_t>(data_[full_bytes] & ((1u << rest) - 1)));
  }
  return count;
}

bool TABSSmallRecordPage::HasStrayBits() const {
  const int32_t rest = records_per_page_ % 8;
  return rest != 0 && (data_[records_per_page_ / 8] >> rest) != 0;
}

int32_t TABSSmallRecordPage::Find(int32_t from, bool used) const {
  if (from < 0) from = 0;
  const int32_t bitmap_size = BitmapSize(records_per_page_);
  for (int32_t byte = from / 8; byte < bitmap_size; ++byte) {
    uint32_t bits = used ? data_[byte] : static_cast<uint8_t>(~data_[byte]);
    if (byte == from / 8) bits &= ~((1u << (from % 8)) - 1);
    if (bits == 0) continue;
    const int32_t slot = byte * 8 + std::countr_zero(bits);
    return slot < records_per_page_ ? slot : -1;
  }
  return -1;
}

int32_t TABSSmallRecordPage::FindBackward(int32_t from) const {
  if (from >= records_per_page_) from = records_per_page_ - 1;
  for (int32_t byte = from / 8; from >= 0 && byte >= 0; --byte) {
    uint32_t bits = data_[byte];
    if (byte == from / 8) bits &= (2u << (from % 8)) - 1;
    if (bits != 0) return byte * 8 + 31 - std::countl_zero(bits);
  }
  return -1;
}

}  // namespace kelvorin
