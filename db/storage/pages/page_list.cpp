#include "db/storage/pages/page_list.h"

#include <algorithm>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_errors.h"

namespace kelvorin {

namespace {
constexpr size_t kMaxStep = 10000;
}

int32_t TABSSortedPageList::IndexOf(int32_t page_no) const {
  // Branch-free lower bound: every page access looks a number up here, and
  // mispredicted branches of an ordinary binary search dominate its cost.
  size_t length = numbers_.size();
  if (length == 0) return -1;
  const int32_t* base = numbers_.data();
  while (length > 1) {
    const size_t half = length / 2;
    base += base[half] <= page_no ? half : 0;
    length -= half;
  }
  if (*base != page_no) return -1;
  return static_cast<int32_t>(base - numbers_.data());
}

TABSPage* TABSSortedPageList::Find(int32_t page_no) const {
  Recent& recent = RecentSlot(page_no);
  if (recent.page != nullptr && recent.page_no == page_no) return recent.page;
  const int32_t index = IndexOf(page_no);
  if (index < 0) return nullptr;
  recent = {page_no, pages_[index].get()};
  return recent.page;
}

void TABSSortedPageList::Reserve() {
  if (numbers_.size() < numbers_.capacity()) return;
  const size_t capacity = numbers_.capacity() + grow_step_;
  numbers_.reserve(capacity);
  pages_.reserve(capacity);
  grow_step_ = std::min(grow_step_ * 2, kMaxStep);
}

void TABSSortedPageList::Link(TABSPage* page) {
  page->last_use_ = ++stamp_counter_;
  page->lru_prev_ = lru_tail_;
  page->lru_next_ = nullptr;
  if (lru_tail_) {
    lru_tail_->lru_next_ = page;
  } else {
    lru_head_ = page;
  }
  lru_tail_ = page;
}

void TABSSortedPageList::Unlink(TABSPage* page) {
  (page->lru_prev_ ? page->lru_prev_->lru_next_ : lru_head_) = page->lru_next_;
  (page->lru_next_ ? page->lru_next_->lru_prev_ : lru_tail_) = page->lru_prev_;
  page->lru_prev_ = page->lru_next_ = nullptr;
}

void TABSSortedPageList::Add(std::unique_ptr<TABSPage> page) {
  const int32_t page_no = page->PageNo();
  const auto index = std::lower_bound(numbers_.begin(), numbers_.end(), page_no) - numbers_.begin();
  Reserve();
  Link(page.get());
  numbers_.insert(numbers_.begin() + index, page_no);
  pages_.insert(pages_.begin() + index, std::move(page));
}

std::unique_ptr<TABSPage> TABSSortedPageList::Take(int32_t page_no) {
  const int32_t index = IndexOf(page_no);
  if (index < 0) return nullptr;
  std::unique_ptr<TABSPage> page = std::move(pages_[index]);
  if (RecentSlot(page_no).page_no == page_no) RecentSlot(page_no) = Recent{};
  Unlink(page.get());
  numbers_.erase(numbers_.begin() + index);
  pages_.erase(pages_.begin() + index);
  if (numbers_.capacity() - numbers_.size() > shrink_step_) {
    numbers_.shrink_to_fit();
    pages_.shrink_to_fit();
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
  TABSPage* page = Find(page_no);
  if (page == nullptr) throw EABSException(page_errors::kPageNotFound, "Page not found");
  Touch(page);
}

void TABSSortedPageList::Touch(TABSPage* page) {
  if (page == lru_tail_) {
    page->last_use_ = ++stamp_counter_;
    return;
  }
  Unlink(page);
  Link(page);
}

void TABSSortedPageList::Clear() {
  ForgetRecent();
  std::vector<int32_t>().swap(numbers_);
  std::vector<std::unique_ptr<TABSPage>>().swap(pages_);
  lru_head_ = lru_tail_ = nullptr;
}

std::vector<std::unique_ptr<TABSPage>> TABSSortedPageList::TakeAll() {
  std::vector<std::unique_ptr<TABSPage>> pages;
  pages.swap(pages_);
  for (const auto& page : pages) page->lru_prev_ = page->lru_next_ = nullptr;
  Clear();
  return pages;
}

std::unique_ptr<TABSPage> TABSSortedPageList::TakeLeastRecentlyUsedUnheld() {
  for (TABSPage* page = lru_head_; page != nullptr; page = page->lru_next_) {
    if (page->use_count == 0) return Take(page->PageNo());
  }
  return nullptr;
}

void TABSSortedPageList::EvictUnheld(int32_t capacity) {
  TABSPage* page = lru_head_;
  while (Count() > capacity && page != nullptr) {
    TABSPage* next = page->lru_next_;
    if (page->use_count == 0) Take(page->PageNo());
    page = next;
  }
}

}  // namespace kelvorin
