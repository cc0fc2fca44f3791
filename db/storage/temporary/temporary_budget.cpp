#include "db/storage/temporary/temporary_budget.h"

#include <algorithm>

#include "db/storage/memory/memory_manager.h"

namespace kelvorin {

int64_t TABSTemporaryBudget::LimitLocked() {
  if (limit_ < 0) limit_ = MemoryManager().AvailableMemory() / 10;
  return limit_;
}

int64_t TABSTemporaryBudget::Limit() {
  std::lock_guard lock(mutex_);
  return LimitLocked();
}

void TABSTemporaryBudget::SetLimit(int64_t bytes) {
  std::lock_guard lock(mutex_);
  limit_ = bytes > 0 ? bytes : -1;
}

int64_t TABSTemporaryBudget::Used() {
  std::lock_guard lock(mutex_);
  return used_;
}

bool TABSTemporaryBudget::TryReserve(int64_t bytes) {
  if (bytes <= 0) return true;
  std::lock_guard lock(mutex_);
  if (bytes > LimitLocked() - used_) return false;
  used_ += bytes;
  return true;
}

void TABSTemporaryBudget::Release(int64_t bytes) noexcept {
  if (bytes <= 0) return;
  std::lock_guard lock(mutex_);
  used_ = std::max<int64_t>(0, used_ - bytes);
}

TABSTemporaryBudget& TemporaryBudget() {
  // The memory manager is made first, so that it outlives the budget's users.
  MemoryManager();
  static TABSTemporaryBudget budget;
  return budget;
}

bool TABSBudgetShare::TryGrow(int64_t bytes) {
  if (!TemporaryBudget().TryReserve(bytes)) return false;
  bytes_ += std::max<int64_t>(bytes, 0);
  return true;
}

void TABSBudgetShare::Shrink(int64_t bytes) noexcept {
  bytes = std::min(bytes, bytes_);
  if (bytes <= 0) return;
  TemporaryBudget().Release(bytes);
  bytes_ -= bytes;
}

}  // namespace kelvorin
