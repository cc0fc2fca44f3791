#include "db/storage/temporary/page_numbers.h"

#include <algorithm>
#include <bit>

namespace kelvorin {

int32_t TABSPageNumbers::LowestFree() {
  for (size_t w = static_cast<size_t>(free_hint_) / 64; w < words_.size(); ++w) {
    if (words_[w] != ~uint64_t{0}) {
      free_hint_ = static_cast<int32_t>(w * 64) + std::countr_one(words_[w]);
      return free_hint_;
    }
  }
  free_hint_ = Capacity();
  return free_hint_;
}

int32_t TABSPageNumbers::Highest() const {
  for (size_t w = words_.size(); w-- > 0;) {
    if (words_[w] != 0) return static_cast<int32_t>(w * 64) + 63 - std::countl_zero(words_[w]);
  }
  return -1;
}

void TABSPageNumbers::Allocate(int32_t page_no) {
  if (page_no >= Capacity()) words_.resize(std::max(words_.size() * 2, static_cast<size_t>(page_no) / 64 + 1));
  uint64_t& word = words_[static_cast<size_t>(page_no) / 64];
  const uint64_t bit = uint64_t{1} << (page_no % 64);
  if ((word & bit) == 0) ++count_;
  word |= bit;
}

void TABSPageNumbers::Free(int32_t page_no) {
  if (!IsAllocated(page_no)) return;
  words_[static_cast<size_t>(page_no) / 64] &= ~(uint64_t{1} << (page_no % 64));
  --count_;
  free_hint_ = std::min(free_hint_, page_no);
}

void TABSPageNumbers::Clear() {
  words_.clear();
  count_ = 0;
  free_hint_ = 0;
}

std::vector<uint8_t> TABSPageNumbers::ToBytes(int32_t page_count) const {
  std::vector<uint8_t> bytes((static_cast<size_t>(page_count) + 7) / 8);
  for (int32_t i = 0; i < page_count; ++i) {
    if (IsAllocated(i)) bytes[static_cast<size_t>(i) / 8] |= static_cast<uint8_t>(1u << (i % 8));
  }
  return bytes;
}

void TABSPageNumbers::FromBytes(const uint8_t* bytes, int32_t page_count) {
  Clear();
  for (int32_t i = 0; i < page_count; ++i) {
    if ((bytes[i / 8] >> (i % 8)) & 1) Allocate(i);
  }
}

}  // namespace kelvorin
