// TABSTemporaryPageManager: the pages of temporary tables and of temporary
// indexes, without page headers. A page is kept in memory while the
// process's temporary budget (temporary_budget.h) grants its 4096 bytes,
// and otherwise in an unnamed temporary file (page n at offset n x 4096),
// which is created on first need and vanishes when it is closed or the
// process dies. Where a page lives is decided when its number is allocated.
//
// Like the in-memory page manager, pages are copied between the page
// objects and storage, so a rollback discards a session's changes whole.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "db/storage/errors/native_errors.h"
#include "db/storage/memory/memory_manager.h"
#include "db/storage/pages/page_manager.h"
#include "db/storage/streams/file_stream.h"
#include "db/storage/temporary/page_numbers.h"
#include "db/storage/temporary/temporary_budget.h"

namespace kelvorin {

class TABSTemporaryPageManager : public TABSPageManager {
 public:
  static constexpr int32_t kPageSize = 4096;

  TABSTemporaryPageManager();
  // Frees every page and the file, whatever is left; never raises (see
  // Close).
  ~TABSTemporaryPageManager() override;

  // One above the highest page number allocated so far.
  int32_t PageCount() override { return next_page_no_; }
  int32_t AllocatedPageCount() const { return allocated_.Count(); }
  int32_t PagesInMemory() const { return in_memory_; }
  bool HasFile() const { return file_ != nullptr; }
  // At most this many pages are kept in memory (tests; the budget still
  // applies below it).
  void SetMemoryPageLimit(int32_t pages) { memory_page_limit_ = pages; }

  void AllocatePageNumber(TABSPage& page) override;
  void FreePageNumber(int32_t page_no) override;
  void ReadPage(TABSPage& page) override;
  void WritePage(TABSPage& page) override;

  // Checks that nothing is left (every session committed, every page
  // freed) and frees the storage: raises "Cannot free not commited pages"
  // or "Index pages are not released" otherwise.
  void Close();

 private:
  bool TryKeepInMemory(TABSMemoryBlock& buffer);
  TABSFileStream& File();
  void CheckAllocated(int32_t page_no, const TABSNativeError& error) const;

  TABSPageNumbers allocated_;
  int32_t next_page_no_ = 0;
  // The image of each page kept in memory (empty: in the file, or free).
  std::vector<TABSMemoryBlock> memory_;
  int32_t in_memory_ = 0;
  int32_t memory_page_limit_ = std::numeric_limits<int32_t>::max();
  TABSBudgetShare budget_;
  std::unique_ptr<TABSFileStream> file_;
};

}  // namespace kelvorin
