#include "db/storage/temporary/memory_record_manager.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <new>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/temporary/sequence_navigation.h"
#include "db/storage/temporary/temporary_errors.h"

namespace kelvorin {

TABSMemoryRecordManager::TABSMemoryRecordManager(const TABSRecordLayout& layout)
    : layout_(layout), records_(layout.StoredSize()) {
  if (layout.StoredSize() <= 0) throw EABSException(native::kInvalidRecordSize10011);
}

void TABSMemoryRecordManager::SetUsed(int64_t number, bool used) {
  uint64_t& word = used_[static_cast<size_t>(number / 64)];
  const uint64_t bit = uint64_t{1} << (number % 64);
  word = used ? (word | bit) : (word & ~bit);
}

int64_t TABSMemoryRecordManager::NextUsed(int64_t number) const {
  int64_t from = std::max<int64_t>(number + 1, 0);
  for (size_t w = static_cast<size_t>(from / 64); w < used_.size(); ++w) {
    uint64_t word = used_[w];
    if (w == static_cast<size_t>(from / 64)) word &= ~uint64_t{0} << (from % 64);
    if (word != 0) return static_cast<int64_t>(w) * 64 + std::countr_zero(word);
  }
  return -1;
}

int64_t TABSMemoryRecordManager::PriorUsed(int64_t number) const {
  const int64_t to = std::min<int64_t>(number - 1, static_cast<int64_t>(used_.size()) * 64 - 1);
  if (to < 0) return -1;
  for (size_t w = static_cast<size_t>(to / 64) + 1; w-- > 0;) {
    uint64_t word = used_[w];
    if (w == static_cast<size_t>(to / 64) && to % 64 != 63) word &= (uint64_t{1} << (to % 64 + 1)) - 1;
    if (word != 0) return static_cast<int64_t>(w) * 64 + 63 - std::countl_zero(word);
  }
  return -1;
}

bool TABSMemoryRecordManager::Insert(int32_t, const uint8_t* record, TABSRecordId& id) {
  const int64_t number = RecordCount() == 0 ? 0 : highest_ + 1;
  if (number > kMaxSequenceNumber) return false;
  try {
    if (number >= records_.Capacity()) records_.Grow(number + 1);
    if (number >= records_.Capacity()) return false;
    if (static_cast<size_t>(number / 64) >= used_.size()) {
      used_.resize(std::max(used_.size() * 2, static_cast<size_t>(number / 64) + 1));
    }
    journal_.push_back({ChangeKind::kInsert, number, {}});
  } catch (const EABSException&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  layout_.ToStored(record, records_.At(number));
  SetUsed(number, true);
  if (RecordCount() == 0) lowest_ = number;
  highest_ = number;
  CountInsert();
  id = SequenceRecordId(number);
  return true;
}

bool TABSMemoryRecordManager::Update(int32_t, const uint8_t* record, TABSRecordId id) {
  const int64_t number = SequenceNumber(id);
  if (!Holds(number)) return false;
  try {
    TABSMemoryBlock image(layout_.StoredSize());
    std::memcpy(image.data(), records_.At(number), static_cast<size_t>(layout_.StoredSize()));
    journal_.push_back({ChangeKind::kUpdate, number, std::move(image)});
  } catch (const EABSException&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  layout_.ToStored(record, records_.At(number));
  CountUpdate();
  return true;
}

bool TABSMemoryRecordManager::Delete(int32_t, TABSRecordId id) {
  const int64_t number = SequenceNumber(id);
  if (!Holds(number)) return false;
  try {
    journal_.push_back({ChangeKind::kDelete, number, {}});
  } catch (const std::bad_alloc&) {
    return false;
  }
  SetUsed(number, false);
  CountDelete();
  if (RecordCount() == 0) {
    lowest_ = highest_ = 0;
  } else {
    if (number == lowest_) lowest_ = NextUsed(number);
    if (number == highest_) highest_ = PriorUsed(number);
  }
  return true;
}

void TABSMemoryRecordManager::Clear() {
  records_.Clear();
  used_.clear();
  lowest_ = highest_ = 0;
}

void TABSMemoryRecordManager::Empty(int32_t) {
  Clear();
  CountEmptied();
  KeepChanges();
}

void TABSMemoryRecordManager::Navigate(int32_t, TABSNavigateRequest& request) {
  const int64_t from = SequenceNumber(request.record_id);
  int64_t number = -1;
  if (!sequence_navigation::SettleEdges(request, RecordCount(), lowest_, highest_, number)) {
    if (request.direction == TABSNavigateDirection::kNext) {
      number = from < lowest_ ? lowest_ : NextUsed(from);
      if (number < 0 || number > highest_) request.status = TABSNavigateStatus::kAfterLast;
    } else if (request.direction == TABSNavigateDirection::kPrior) {
      number = from > highest_ ? highest_ : PriorUsed(from);
      if (number < lowest_) request.status = TABSNavigateStatus::kBeforeFirst;
    } else {
      number = from;
      if (!Holds(number)) request.status = TABSNavigateStatus::kNotFound;
    }
  }
  if (request.status != TABSNavigateStatus::kFound) return;
  sequence_navigation::Reach(request, number, layout_, native::kErrorRetrievingRecord10019,
                             [this](int64_t n) { return records_.At(n); });
}

int64_t TABSMemoryRecordManager::EstimatedPosition(int32_t, TABSRecordId id) {
  const int64_t number = SequenceNumber(id);
  if (RecordCount() == 0 || number < lowest_ || number > highest_) return -1;
  if (RecordCount() == 1) return 1;
  const double share = static_cast<double>(number - lowest_) / static_cast<double>(RecordCount());
  // Halves to even, the rounding mode in force by default.
  return static_cast<int64_t>(std::nearbyint(share * static_cast<double>(highest_ - lowest_))) + 1;
}

// --- The journal ---

void TABSMemoryRecordManager::KeepChanges() noexcept {
  journal_.clear();
  kept_ = {RecordCount(), ChangeCounter(), lowest_, highest_};
  // An empty table gives its memory back (the next record is number 0).
  if (RecordCount() == 0) Clear();
}

void TABSMemoryRecordManager::UndoChanges() noexcept {
  for (auto change = journal_.rbegin(); change != journal_.rend(); ++change) {
    switch (change->kind) {
      case ChangeKind::kInsert:
        SetUsed(change->number, false);
        break;
      case ChangeKind::kDelete:
        SetUsed(change->number, true);
        break;
      case ChangeKind::kUpdate:
        std::memcpy(records_.At(change->number), change->image.data(), static_cast<size_t>(layout_.StoredSize()));
        break;
    }
  }
  journal_.clear();
  lowest_ = kept_.lowest;
  highest_ = kept_.highest;
  SetCounters(kept_.record_count, kept_.change_counter);
}

}  // namespace kelvorin
