// TABSMemoryPageManager: pages kept in memory only, without page headers
// (so no page type, owner or write counter is stored or checked): the pages
// of temporary indexes and of in-memory tables. Page numbers are handed out
// lowest first; a freed number is used again.
#pragma once

#include <cstdint>
#include <vector>

#include "db/storage/memory/memory_manager.h"
#include "db/storage/pages/page_manager.h"

namespace kelvorin {

class TABSMemoryPageManager : public TABSPageManager {
 public:
  static constexpr int32_t kPageSize = 4096;

  TABSMemoryPageManager();
  ~TABSMemoryPageManager() override;

  int32_t PageCount() override { return static_cast<int32_t>(pages_.size()); }
  void AllocatePageNumber(TABSPage& page) override;
  void FreePageNumber(int32_t page_no) override;
  void ReadPage(TABSPage& page) override;
  void WritePage(TABSPage& page) override;

 private:
  // The committed image of each page number (empty: free or never written).
  std::vector<TABSMemoryBlock> pages_;
  std::vector<bool> used_;
};

}  // namespace kelvorin
