// The PPM model's memory: one arena handed in by the caller, addressed by
// 32-bit offsets (0 is "none"). The bottom part keeps the text of the symbols
// seen so far; above it lie 12-byte units, handed out in blocks of a few fixed
// unit counts and recycled through one free list per count. Contexts are
// taken from the top of the unit area, symbol tables from its bottom, so both
// meet in the middle; when neither side has room the text area lends units.
#pragma once

#include <cstdint>

namespace kelvorin::ppmd {

inline constexpr uint32_t kUnitSize = 12;
inline constexpr int kIndexCount = 38;
inline constexpr uint32_t kMaxUnits = 128;

class UnitAllocator {
 public:
  // `arena` must be 4-byte aligned and stay valid while the allocator is used.
  UnitAllocator(uint8_t* arena, uint32_t size);

  // Forgets every allocation: the text is empty and all units are free.
  void Reset();

  uint8_t* base() const { return arena_; }

  // One unit for a context; 0 when memory is exhausted.
  uint32_t AllocContext();
  // A block of at least `units` units (1..128); 0 when exhausted.
  uint32_t AllocUnits(uint32_t units);
  // Moves a block of `old_units` to one that holds one unit more (it may stay
  // in place); 0 when exhausted, the old block then still being valid.
  uint32_t ExpandUnits(uint32_t block, uint32_t old_units);
  // Reduces a block to `new_units` units, perhaps moving it.
  uint32_t ShrinkUnits(uint32_t block, uint32_t old_units, uint32_t new_units);
  void FreeUnits(uint32_t block, uint32_t units);

  // The text area: symbols are appended at text(); it is full when it meets
  // the unit area.
  uint32_t text() const { return text_; }
  uint32_t units_start() const { return units_start_; }
  // Appends one symbol; false when the text area is full.
  bool AppendText(uint8_t symbol);
  // Takes back the last appended symbol.
  void UnAppendText() { --text_; }

 private:
  static uint32_t Bytes(uint32_t units) { return units * kUnitSize; }
  uint32_t AllocUnitsRare(int index);
  void InsertNode(uint32_t block, int index);
  uint32_t RemoveNode(int index);
  void SplitBlock(uint32_t block, int old_index, int new_index);

  uint8_t* arena_;
  uint32_t size_;
  uint32_t heap_start_ = 0;
  uint32_t text_ = 0;
  uint32_t units_start_ = 0;
  uint32_t lo_unit_ = 0;
  uint32_t hi_unit_ = 0;
  uint32_t free_list_[kIndexCount] = {};
  uint8_t index_to_units_[kIndexCount];
  uint8_t units_to_index_[kMaxUnits];
};

}  // namespace kelvorin::ppmd
