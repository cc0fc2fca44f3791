// TABSRecordId: where a stored record lives, a page number and a slot. Index
// leaf entries carry it in 6 bytes (the signed page number, then the
// unsigned slot, little-endian), and records of equal keys are ordered by it:
// page first (signed), then slot.
#pragma once

#include <compare>
#include <cstdint>

#include "db/storage/file/little_endian.h"

namespace kelvorin {

struct TABSRecordId {
  static constexpr int32_t kStoredSize = 6;

  int32_t page_no = -1;
  uint16_t slot = 0;

  auto operator<=>(const TABSRecordId&) const = default;
  bool IsValid() const { return page_no >= 0; }

  static TABSRecordId Load(const uint8_t* p) { return {LoadLE<int32_t>(p), LoadLE<uint16_t>(p + 4)}; }
  void Store(uint8_t* p) const {
    StoreLE(p, page_no);
    StoreLE(p + 4, slot);
  }
};

// -1, 0 or +1.
inline int CompareRecordIds(const TABSRecordId& a, const TABSRecordId& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace kelvorin
