// TABSPageNumbers: which page numbers of an in-memory or temporary page
// manager are allocated, as a bit array. New numbers are the lowest free
// one, found from a hint below which every number is taken, so that
// filling a manager page by page costs no scan of the taken ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvorin {

class TABSPageNumbers {
 public:
  bool IsAllocated(int32_t page_no) const {
    return page_no >= 0 && page_no < Capacity() &&
           ((words_[static_cast<size_t>(page_no) / 64] >> (page_no % 64)) & 1) != 0;
  }
  int32_t Count() const { return count_; }
  // One above the highest number the bit array has room for.
  int32_t Capacity() const { return static_cast<int32_t>(words_.size() * 64); }
  // The lowest number that is not allocated (may lie at the capacity).
  int32_t LowestFree();
  // The highest allocated number, or -1.
  int32_t Highest() const;

  void Allocate(int32_t page_no);
  void Free(int32_t page_no);
  void Clear();

  // The stored form: bit i of byte i / 8, least significant first, for
  // `page_count` numbers.
  std::vector<uint8_t> ToBytes(int32_t page_count) const;
  void FromBytes(const uint8_t* bytes, int32_t page_count);

 private:
  std::vector<uint64_t> words_;
  int32_t count_ = 0;
  int32_t free_hint_ = 0;  // every number below it is allocated
};

}  // namespace kelvorin
