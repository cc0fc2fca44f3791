// TABSTemporaryBudget: the memory that all temporary storage of the process
// may hold at once: the in-memory parts of temporary tables and of
// temporary page managers. It is a tenth of the memory available when it is
// first asked for, shared by every temporary structure, so that a query
// that creates several temporary tables at once cannot take all memory
// between them. A structure that is refused more memory moves what does not
// fit into a temporary file instead of failing.
//
// Each structure holds its part through a TABSBudgetShare, which gives the
// part back on every way out.
#pragma once

#include <cstdint>
#include <mutex>

namespace kelvorin {

class TABSTemporaryBudget {
 public:
  TABSTemporaryBudget() = default;
  TABSTemporaryBudget(const TABSTemporaryBudget&) = delete;
  TABSTemporaryBudget& operator=(const TABSTemporaryBudget&) = delete;

  // The bytes all temporary storage may hold; a tenth of the available
  // memory, read on first use.
  int64_t Limit();
  // Sets the limit (tests, or a host with other plans for its memory);
  // 0 goes back to a tenth of the memory available now. Bytes already
  // held are kept; new ones are refused until the total is below it.
  void SetLimit(int64_t bytes);
  int64_t Used();

  // Takes `bytes` when they fit below the limit; false otherwise.
  bool TryReserve(int64_t bytes);
  void Release(int64_t bytes) noexcept;

 private:
  int64_t LimitLocked();

  std::mutex mutex_;
  int64_t limit_ = -1;  // -1: not read yet
  int64_t used_ = 0;
};

// The process's budget.
TABSTemporaryBudget& TemporaryBudget();

// One structure's part of the budget, given back when the share goes.
class TABSBudgetShare {
 public:
  TABSBudgetShare() = default;
  ~TABSBudgetShare() { ReleaseAll(); }
  TABSBudgetShare(const TABSBudgetShare&) = delete;
  TABSBudgetShare& operator=(const TABSBudgetShare&) = delete;

  int64_t Bytes() const { return bytes_; }
  bool TryGrow(int64_t bytes);
  void Shrink(int64_t bytes) noexcept;
  void ReleaseAll() noexcept { Shrink(bytes_); }

 private:
  int64_t bytes_ = 0;
};

}  // namespace kelvorin
