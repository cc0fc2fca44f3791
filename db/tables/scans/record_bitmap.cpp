#include "db/tables/scans/record_bitmap.h"

#include <algorithm>
#include <bit>
#include <iterator>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/records/record_errors.h"

namespace kelvorin {

void TABSRecordBitmap::Reset(int32_t slots_per_page) {
  Invalidate();
  slots_per_page_ = slots_per_page;
}

void TABSRecordBitmap::CheckSlot(TABSRecordId id) const {
  if (id.page_no < 0 || id.slot >= slots_per_page_) {
    throw EABSException(native::kInvalidRecordId, {id.page_no, int32_t{id.slot}, slots_per_page_});
  }
}

bool TABSRecordBitmap::IsSet(TABSRecordId id) const {
  if (id.page_no < 0 || id.slot >= slots_per_page_) return false;
  const auto chunk = chunks_.find(id.page_no);
  if (chunk == chunks_.end()) return false;
  return (chunk->second.words[id.slot / 64] >> (id.slot % 64)) & 1u;
}

void TABSRecordBitmap::Set(TABSRecordId id) {
  CheckSlot(id);
  Chunk& chunk = chunks_[id.page_no];
  if (chunk.words.empty()) chunk.words.assign(static_cast<size_t>((slots_per_page_ + 63) / 64), 0);
  chunk.words[id.slot / 64] |= uint64_t{1} << (id.slot % 64);
  ranks_valid_ = false;
}

void TABSRecordBitmap::Clear(TABSRecordId id) {
  if (id.page_no < 0 || id.slot >= slots_per_page_) return;
  const auto chunk = chunks_.find(id.page_no);
  if (chunk == chunks_.end()) return;
  chunk->second.words[id.slot / 64] &= ~(uint64_t{1} << (id.slot % 64));
  ranks_valid_ = false;
}

void TABSRecordBitmap::ComputeRanks() {
  if (ranks_valid_) return;
  int64_t total = 0;
  for (auto& [page, chunk] : chunks_) {
    chunk.before = total;
    for (uint64_t word : chunk.words) total += std::popcount(word);
  }
  count_ = total;
  ranks_valid_ = true;
}

int64_t TABSRecordBitmap::Count() {
  ComputeRanks();
  return count_;
}

int64_t TABSRecordBitmap::Rank(TABSRecordId id) {
  if (!IsSet(id)) return -1;
  ComputeRanks();
  const Chunk& chunk = chunks_.find(id.page_no)->second;
  int64_t rank = chunk.before;
  const int32_t word = id.slot / 64;
  for (int32_t w = 0; w < word; ++w) rank += std::popcount(chunk.words[static_cast<size_t>(w)]);
  const uint64_t below = (uint64_t{1} << (id.slot % 64)) - 1;
  return rank + std::popcount(chunk.words[static_cast<size_t>(word)] & below) + 1;
}

bool TABSRecordBitmap::Nth(int64_t number, TABSRecordId& id) {
  ComputeRanks();
  if (number < 1 || number > count_) return false;
  // The last page whose earlier pages hold fewer than `number` set bits.
  auto page = chunks_.end();
  for (auto it = chunks_.begin(); it != chunks_.end() && it->second.before < number; ++it) page = it;
  int64_t left = number - page->second.before;
  const std::vector<uint64_t>& words = page->second.words;
  for (size_t w = 0; w < words.size(); ++w) {
    uint64_t word = words[w];
    const int bits = std::popcount(word);
    if (left > bits) {
      left -= bits;
      continue;
    }
    for (; left > 1; --left) word &= word - 1;
    id = {page->first, static_cast<uint16_t>(w * 64 + static_cast<size_t>(std::countr_zero(word)))};
    return true;
  }
  return false;
}

namespace {

// The set bit nearest past `slot` in one chunk (slot -1: from the start;
// slot = the chunk's size: from the end); -1 when none.
int32_t StepInChunk(const std::vector<uint64_t>& words, int32_t slot, bool forward) {
  const int32_t bits = static_cast<int32_t>(words.size()) * 64;
  if (forward) {
    for (int32_t s = slot + 1; s < bits;) {
      const uint64_t word = words[static_cast<size_t>(s / 64)] >> (s % 64);
      if (word != 0) return s + std::countr_zero(word);
      s = (s / 64 + 1) * 64;
    }
    return -1;
  }
  for (int32_t s = std::min(slot, bits) - 1; s >= 0;) {
    const uint64_t word = words[static_cast<size_t>(s / 64)] << (63 - s % 64);
    if (word != 0) return s - std::countl_zero(word);
    s = (s / 64) * 64 - 1;
  }
  return -1;
}

}  // namespace

bool TABSRecordBitmap::Step(TABSRecordId from, bool forward, TABSRecordId& id) const {
  auto chunk = chunks_.end();
  int32_t slot;
  if (!from.IsValid()) {
    if (chunks_.empty()) return false;
    chunk = forward ? chunks_.begin() : std::prev(chunks_.end());
    slot = forward ? -1 : 0x10000;
  } else {
    chunk = forward ? chunks_.lower_bound(from.page_no) : chunks_.upper_bound(from.page_no);
    if (!forward) {
      if (chunk == chunks_.begin()) return false;
      --chunk;
    }
    if (chunk->first != from.page_no) {
      slot = forward ? -1 : 0x10000;
    } else {
      slot = from.slot;
    }
  }
  for (;;) {
    if (chunk == chunks_.end()) return false;
    const int32_t found = StepInChunk(chunk->second.words, slot, forward);
    if (found >= 0) {
      id = {chunk->first, static_cast<uint16_t>(found)};
      return true;
    }
    if (forward) {
      ++chunk;
      slot = -1;
    } else {
      if (chunk == chunks_.begin()) return false;
      --chunk;
      slot = 0x10000;
    }
  }
}

}  // namespace kelvorin
