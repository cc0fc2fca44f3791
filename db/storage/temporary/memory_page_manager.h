// TABSMemoryPageManager: pages kept in memory only, without page headers
// (so no page type, owner or write counter is stored or checked): the index
// pages of in-memory tables. Page numbers are handed out lowest free first;
// the page slots grow by a step of 50 numbers.
//
// Pages are copied between the page objects and the stored buffers, so a
// session's changes stay its own until it commits, and a rollback discards
// them whole: a B-tree never points at a page number that a rollback gave
// back. The tables above decide when to commit (in-memory tables commit
// every operation; their records are not transactional).
//
// The stored pages can be saved to a stream and loaded back. Stream form
// (little-endian): page count i32 (the page slots), highest page number used
// i32 (-1: none), growth step i32, page size u16 (4096), page header size
// u16 (0), allocated page count i32, the bit array of allocated numbers
// (ceil(page count / 8) bytes, bit i of byte i / 8, least significant
// first), then page count buffers of 4096 bytes (zeros for free numbers).
// Loading checks every count and size against the bytes left and the
// stream's own invariants before it allocates anything, and replaces the
// pages only when the whole stream was read.
#pragma once

#include <cstdint>
#include <vector>

#include "db/storage/errors/native_errors.h"
#include "db/storage/memory/memory_manager.h"
#include "db/storage/pages/page_manager.h"
#include "db/storage/streams/stream.h"
#include "db/storage/temporary/page_numbers.h"

namespace kelvorin {

class TABSMemoryPageManager : public TABSPageManager {
 public:
  static constexpr int32_t kPageSize = 4096;
  static constexpr int32_t kGrowthStep = 50;
  // Bytes of the stream form before the bit array.
  static constexpr int32_t kStreamHeaderSize = 20;

  TABSMemoryPageManager();
  // Frees every page, whatever is left; never raises (see Close).
  ~TABSMemoryPageManager() override;

  // The page slots (a multiple of the growth step).
  int32_t PageCount() override { return static_cast<int32_t>(pages_.size()); }
  int32_t AllocatedPageCount() const { return allocated_.Count(); }
  int32_t HighestPageNo() const { return highest_; }

  void AllocatePageNumber(TABSPage& page) override;
  void FreePageNumber(int32_t page_no) override;
  void ReadPage(TABSPage& page) override;
  void WritePage(TABSPage& page) override;

  // Checks that nothing is left (every session committed, every page
  // freed) and frees the storage: raises "Cannot free not commited pages"
  // or "Index pages are not released" otherwise.
  void Close();

  void SaveToStream(TABSStream& stream);
  // Raises "Cannot load pages…" while a page is held or a session has
  // changes; a damaged stream raises and leaves the pages as they were.
  void LoadFromStream(TABSStream& stream);

 private:
  TABSMemoryBlock& StoredPage(int32_t page_no, const TABSNativeError& unallocated);

  // The committed image of each page number (empty: free).
  std::vector<TABSMemoryBlock> pages_;
  TABSPageNumbers allocated_;
  int32_t highest_ = -1;
};

}  // namespace kelvorin
