#include "db/storage/page_list.h"

#include <algorithm>

#include "db/storage/abs_exception.h"
#include "db/storage/page_errors.h"

namespace kelvorin {

namespace {
constexpr size_t kMaxStep = 10000;
}

int32_t TABSSortedPageList::IndexOf(int32_t page_no) const {
  const auto it = std::lower_bound(numbers_.begin(), numbers_.end(), page_no);
  if (it == numbers_.end() || *it != page_no) return -1;
  return static_cast<int32_t>(it - numbers_.begin());
}

TABSPage* TABSSortedPageList::Find(int32_t page_no) const {
  const int32_t index = IndexOf(page_no);
  return index < 0 ? nullptr : entries_[index].page.get();
}

void TABSSortedPageList::Reserve() {
  if (numbers_.size() < numbers_.capacity()) return;
  const size_t capacity = numbers_.capacity() + grow_step_;
  numbers_.reserve(capacity);
  entries_.reserve(capacity);
  grow_step_ = std::min(grow_step_ * 2, kMaxStep);
}

void TABSSortedPageList::Add(std::unique_ptr<TABSPage> page) {
  const int32_t page_no = page->PageNo();
  const auto it = std::lower_bound(numbers_.begin(), numbers_.end(), page_no);
  const auto index = it - numbers_.begin();
  Reserve();
  const uint64_t stamp = ++stamp_counter_;
  numbers_.insert(numbers_.begin() + index, page_no);
  entries_.insert(entries_.begin() + index, Entry{std::move(page), stamp});
  by_stamp_.emplace(stamp, page_no);
}

std::unique_ptr<TABSPage> TABSSortedPageList::Take(int32_t page_no) {
  const int32_t index = IndexOf(page_no);
  if (index < 0) return nullptr;
  std::unique_ptr<TABSPage> page = std::move(entries_[index].page);
  by_stamp_.erase(entries_[index].stamp);
  numbers_.erase(numbers_.begin() + index);
  entries_.erase(entries_.begin() + index);
  if (numbers_.capacity() - numbers_.size() > shrink_step_) {
    numbers_.shrink_to_fit();
    entries_.shrink_to_fit();
    shrink_step_ = std::min(shrink_step_ * 2, kMaxStep);
  }
  return page;
}

void TABSSortedPageList::Delete(int32_t page_no) {
  if (numbers_.empty()) {
    throw EABSException(page_errors::kListEmpty, "TSortedPageList.Delete - no elements in array!");
  }
  if (!Take(page_no)) {
    throw EABSException(page_errors::kListNotFound,
                        "TSortedPageList.Delete - element not found, key = %d, itemCount = %d",
                        {page_no, Count()});
  }
}

void TABSSortedPageList::Touch(int32_t page_no) {
  const int32_t index = IndexOf(page_no);
  if (index < 0) throw EABSException(page_errors::kPageNotFound, "Page not found");
  by_stamp_.erase(entries_[index].stamp);
  entries_[index].stamp = ++stamp_counter_;
  by_stamp_.emplace(entries_[index].stamp, page_no);
}

void TABSSortedPageList::Clear() {
  std::vector<int32_t>().swap(numbers_);
  std::vector<Entry>().swap(entries_);
  by_stamp_.clear();
}

TABSPage* TABSSortedPageList::LeastRecentlyUsed() const {
  return by_stamp_.empty() ? nullptr : Find(by_stamp_.begin()->second);
}

void TABSSortedPageList::EvictUnheld(int32_t capacity) {
  auto it = by_stamp_.begin();
  while (Count() > capacity && it != by_stamp_.end()) {
    const int32_t page_no = it->second;
    ++it;  // Take erases the current stamp
    if (Find(page_no)->use_count == 0) Take(page_no);
  }
}

}  // namespace kelvorin
