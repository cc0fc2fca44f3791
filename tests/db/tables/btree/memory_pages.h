// A page manager over page images kept in memory, for the B-tree tests: the
// store outlives its managers, so "reopening" is a new manager over the same
// store (with an empty cache), and the store counts what is written.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/database_file_layout.h"
#include "db/storage/pages/page_manager.h"

namespace kelvorin::testing {

struct MemoryPageStore {
  std::map<int32_t, std::vector<uint8_t>> images;  // written pages
  std::set<int32_t> used;                          // allocated numbers
  int64_t writes = 0;

  int32_t UsedCount() const { return static_cast<int32_t>(used.size()); }
};

class MemoryPageManager : public TABSPageManager {
 public:
  MemoryPageManager(MemoryPageStore& store, int32_t page_size)
      : TABSPageManager(page_size, kPageHeaderSize), store_(store) {}
  ~MemoryPageManager() override { DiscardAll(); }

  void AllocatePageNumber(TABSPage& page) override {
    int32_t page_no = 0;
    while (store_.used.count(page_no)) ++page_no;
    store_.used.insert(page_no);
    page.SetPageNo(page_no);
    page.AllocateBuffer();
  }
  void FreePageNumber(int32_t page_no) override {
    if (store_.used.erase(page_no) == 0) throw EABSException(99998, "freeing a free page");
    store_.images.erase(page_no);
  }
  void ReadPage(TABSPage& page) override {
    auto it = store_.images.find(page.PageNo());
    if (!page.HasBuffer()) page.AllocateBuffer();
    if (it == store_.images.end()) throw EABSException(99997, "reading a page never written");
    std::memcpy(page.Buffer(), it->second.data(), static_cast<size_t>(PageSize()));
  }
  void WritePage(TABSPage& page) override {
    ++store_.writes;
    store_.images[page.PageNo()].assign(page.Buffer(), page.Buffer() + PageSize());
  }

 private:
  MemoryPageStore& store_;
};

}  // namespace kelvorin::testing
