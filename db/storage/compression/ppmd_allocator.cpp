#include "db/storage/compression/ppmd_allocator.h"

#include <cstring>

namespace kelvorin::ppmd {

UnitAllocator::UnitAllocator(uint8_t* arena, uint32_t size) : arena_(arena), size_(size) {
  // Block sizes: 1..4 units by one, then by two, by three, and by four up to 128.
  int index = 0;
  uint32_t units = 0;
  for (int step = 1; step <= 3; ++step) {
    for (int k = 0; k < 4; ++k) index_to_units_[index++] = static_cast<uint8_t>(units += step);
  }
  while (index < kIndexCount) index_to_units_[index++] = static_cast<uint8_t>(units += 4);
  index = 0;
  for (uint32_t k = 0; k < kMaxUnits; ++k) {
    if (index_to_units_[index] < k + 1) ++index;
    units_to_index_[k] = static_cast<uint8_t>(index);
  }
  Reset();
}

void UnitAllocator::Reset() {
  std::memset(free_list_, 0, sizeof(free_list_));
  // Offset 0 means "none", so the first unit is never used.
  heap_start_ = kUnitSize;
  uint32_t usable = (size_ - heap_start_) / kUnitSize * kUnitSize;
  hi_unit_ = heap_start_ + usable;
  units_start_ = hi_unit_ - usable / 8 / kUnitSize * 7 * kUnitSize;
  lo_unit_ = units_start_;
  text_ = heap_start_;
}

bool UnitAllocator::AppendText(uint8_t symbol) {
  if (text_ >= units_start_) return false;
  arena_[text_++] = symbol;
  return text_ < units_start_;
}

void UnitAllocator::InsertNode(uint32_t block, int index) {
  std::memcpy(arena_ + block, &free_list_[index], sizeof(uint32_t));
  free_list_[index] = block;
}

uint32_t UnitAllocator::RemoveNode(int index) {
  uint32_t block = free_list_[index];
  std::memcpy(&free_list_[index], arena_ + block, sizeof(uint32_t));
  return block;
}

void UnitAllocator::SplitBlock(uint32_t block, int old_index, int new_index) {
  uint32_t diff = index_to_units_[old_index] - index_to_units_[new_index];
  uint32_t rest = block + Bytes(index_to_units_[new_index]);
  int index = units_to_index_[diff - 1];
  if (index_to_units_[index] != diff) {
    --index;
    InsertNode(rest, index);
    rest += Bytes(index_to_units_[index]);
    diff -= index_to_units_[index];
    index = units_to_index_[diff - 1];
  }
  InsertNode(rest, index);
}

uint32_t UnitAllocator::AllocUnitsRare(int index) {
  for (int i = index + 1; i < kIndexCount; ++i) {
    if (free_list_[i] != 0) {
      uint32_t block = RemoveNode(i);
      SplitBlock(block, i, index);
      return block;
    }
  }
  uint32_t bytes = Bytes(index_to_units_[index]);
  if (units_start_ - text_ > bytes) {
    units_start_ -= bytes;
    return units_start_;
  }
  return 0;
}

uint32_t UnitAllocator::AllocContext() {
  if (hi_unit_ != lo_unit_) return hi_unit_ -= kUnitSize;
  if (free_list_[0] != 0) return RemoveNode(0);
  return AllocUnitsRare(0);
}

uint32_t UnitAllocator::AllocUnits(uint32_t units) {
  int index = units_to_index_[units - 1];
  if (free_list_[index] != 0) return RemoveNode(index);
  uint32_t bytes = Bytes(index_to_units_[index]);
  if (hi_unit_ - lo_unit_ >= bytes) {
    uint32_t block = lo_unit_;
    lo_unit_ += bytes;
    return block;
  }
  return AllocUnitsRare(index);
}

uint32_t UnitAllocator::ExpandUnits(uint32_t block, uint32_t old_units) {
  int old_index = units_to_index_[old_units - 1];
  if (old_index == units_to_index_[old_units]) return block;
  uint32_t moved = AllocUnits(old_units + 1);
  if (moved != 0) {
    std::memmove(arena_ + moved, arena_ + block, Bytes(old_units));
    InsertNode(block, old_index);
  }
  return moved;
}

uint32_t UnitAllocator::ShrinkUnits(uint32_t block, uint32_t old_units, uint32_t new_units) {
  int old_index = units_to_index_[old_units - 1];
  int new_index = units_to_index_[new_units - 1];
  if (old_index == new_index) return block;
  if (free_list_[new_index] != 0) {
    uint32_t moved = RemoveNode(new_index);
    std::memmove(arena_ + moved, arena_ + block, Bytes(new_units));
    InsertNode(block, old_index);
    return moved;
  }
  SplitBlock(block, old_index, new_index);
  return block;
}

void UnitAllocator::FreeUnits(uint32_t block, uint32_t units) {
  InsertNode(block, units_to_index_[units - 1]);
}

}  // namespace kelvorin::ppmd
