// TABSSortedPageList: the pages of one list (the shared cache or a session's
// dirty pages), ordered by page number for logarithmic lookup and in-order
// writing, with a last-use stamp per page for least-recently-used eviction.
// The list owns its page objects.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "db/storage/page.h"

namespace kelvorin {

class TABSSortedPageList {
 public:
  int32_t Count() const { return static_cast<int32_t>(numbers_.size()); }
  // The i-th page in ascending page-number order.
  TABSPage* At(int32_t index) const { return entries_[index].page.get(); }

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
  void Clear();
  // The least recently used page; nullptr for an empty list.
  TABSPage* LeastRecentlyUsed() const;
  // Frees pages nobody holds, least recently used first, until at most
  // `capacity` remain or none is left to free.
  void EvictUnheld(int32_t capacity);

 private:
  struct Entry {
    std::unique_ptr<TABSPage> page;
    uint64_t stamp;
  };
  void Reserve();

  std::vector<int32_t> numbers_;
  std::vector<Entry> entries_;
  std::map<uint64_t, int32_t> by_stamp_;
  uint64_t stamp_counter_ = 0;
  size_t grow_step_ = 1000;
  size_t shrink_step_ = 1000;
};

}  // namespace kelvorin
