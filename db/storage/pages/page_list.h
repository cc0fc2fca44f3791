// TABSSortedPageList: the pages of one list (the shared cache or a session's
// dirty pages), ordered by page number for logarithmic lookup and in-order
// writing, and linked in order of last use (each add or touch stamps the
// page) so that eviction finds the least recently used page at once.
// The list owns its page objects.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "db/storage/pages/page.h"

namespace kelvorin {

class TABSSortedPageList {
 public:
  TABSSortedPageList() = default;
  TABSSortedPageList(const TABSSortedPageList&) = delete;
  TABSSortedPageList& operator=(const TABSSortedPageList&) = delete;

  int32_t Count() const { return static_cast<int32_t>(numbers_.size()); }
  // The i-th page in ascending page-number order.
  TABSPage* At(int32_t index) const { return pages_[index].get(); }

  // Adds a page whose number is not yet in the list, stamped as just used.
  void Add(std::unique_ptr<TABSPage> page);
  // Takes the page out of the list; nullptr when absent.
  std::unique_ptr<TABSPage> Take(int32_t page_no);
  // Frees the page; raises when the list is empty or the number is absent.
  void Delete(int32_t page_no);
  TABSPage* Find(int32_t page_no) const;
  int32_t IndexOf(int32_t page_no) const;
  // Stamps the page as just used; raises "Page not found" when absent.
  void Touch(int32_t page_no);
  void Touch(TABSPage* page);
  void Clear();
  // Takes every page out at once, in ascending page-number order.
  std::vector<std::unique_ptr<TABSPage>> TakeAll();
  // The least recently used page; nullptr for an empty list.
  TABSPage* LeastRecentlyUsed() const { return lru_head_; }
  // Takes out the least recently used page nobody holds; nullptr if none.
  std::unique_ptr<TABSPage> TakeLeastRecentlyUsedUnheld();
  // Frees pages nobody holds, least recently used first, until at most
  // `capacity` remain or none is left to free.
  void EvictUnheld(int32_t capacity);

 private:
  void Reserve();
  void Link(TABSPage* page);
  void Unlink(TABSPage* page);

  // Pages found lately, by page number modulo the size: a descent of a tree
  // asks for the same upper pages again and again. An entry lives as long
  // as its page stays in the list.
  struct Recent {
    int32_t page_no = -1;
    TABSPage* page = nullptr;
  };
  static constexpr size_t kRecentSlots = 64;
  Recent& RecentSlot(int32_t page_no) const { return recent_[static_cast<uint32_t>(page_no) % kRecentSlots]; }
  void ForgetRecent() { recent_.fill(Recent{}); }

  mutable std::array<Recent, kRecentSlots> recent_{};
  std::vector<int32_t> numbers_;
  std::vector<std::unique_ptr<TABSPage>> pages_;
  TABSPage* lru_head_ = nullptr;
  TABSPage* lru_tail_ = nullptr;
  uint64_t stamp_counter_ = 0;
  size_t grow_step_ = 1000;
  size_t shrink_step_ = 1000;
};

}  // namespace kelvorin
