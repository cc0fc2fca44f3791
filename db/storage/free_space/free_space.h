// TABSDatabaseFreeSpaceManager: which pages of the database file are in use.
// PFS pages hold one bit per page, EAM pages two bits per extent (a run of
// "pages per extent" pages; only the "full" bit is read). The map hands out
// free pages, grows the file when none is free and shrinks it when a long
// enough run at its end became free. Bitmap pages are read and written
// straight through the file, never through the page cache.
//
// The map works on the header copy it shares with the disk page manager,
// reloaded under the header lock before each operation.
#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "db/storage/file/database_file_layout.h"

namespace kelvorin {

// What the map needs from the file it lives in (the disk page manager).
class TABSFreeSpaceHost {
 public:
  virtual ~TABSFreeSpaceHost() = default;
  virtual TABSDatabaseHeader& SharedHeader() = 0;
  // Takes the header lock (with retry; raising "Database is locked" with the
  // given code) and reloads the header; Release writes nothing.
  virtual void AcquireHeader(int32_t locked_code) = 0;
  virtual void ReleaseHeader() noexcept = 0;
  virtual void WriteSharedHeader() = 0;
  virtual void ReadRawPage(int32_t page_no, uint8_t* buffer) = 0;
  virtual void WriteRawPage(int32_t page_no, const uint8_t* buffer) = 0;
  // Writes count bytes at offset of a page, the rest of it unchanged.
  virtual void WriteRawBytes(int32_t page_no, int32_t offset, const uint8_t* bytes, int32_t count) = 0;
  // Extends the file by count pages and adds them to the header's total.
  virtual void GrowFile(int32_t count) = 0;
  // Lowers the header's total by count pages and shortens the file.
  virtual void ShrinkFile(int32_t count) = 0;
  virtual int64_t RandomBetween(int64_t low, int64_t high) = 0;
};

class TABSDatabaseFreeSpaceManager {
 public:
  explicit TABSDatabaseFreeSpaceManager(TABSFreeSpaceHost& host);

  int32_t AllocatePage();
  // A run of allocations under one take of the header lock (the caller
  // holds it from before BeginRun until after EndRun): no other process can
  // change the bitmaps meanwhile, so the bitmap pages read are kept for the
  // next allocations of the run instead of being read again for each page.
  // Writes still go straight to the file. Runs may nest.
  //
  // `pages` is how many pages the run expects to allocate. Once the map
  // would hand out the pages after the last used one, it takes that many
  // there at once (one write per bitmap page and one of the header) and
  // hands them out one by one; the end of the outermost run gives back any
  // it did not hand out.
  void BeginRun(int32_t pages = 0);
  void EndRun() noexcept;
  void FreePage(int32_t page_no);
  // Gives back the pages that failed allocations could not unmark (the
  // writes that would have undone them failed too); every allocation and
  // free tries first. Never raises: what still fails waits for the next try.
  void ReleaseAbandoned() noexcept;
  bool HasAbandoned() const { return !abandoned_.empty(); }
  // Raises "Cannot delete PFS or EAM page. PageNo=%d" for a system page.
  void CheckRemovable(int32_t page_no) const;
  bool IsSystemPage(int64_t page_no) const;
  // Drops count pages from the end of the file (the caller holds the header
  // lock), clearing the bits of dropped system pages in PFS pages that stay.
  void DropTail(int32_t count);
  // Lowers the total to the pages the file holds, with the last used page
  // among them (the caller holds the header lock; for a growth whose header
  // reached the disk but whose size change did not).
  void DropLostTail(int32_t pages_in_file);
  // Clears the PFS bits of pages first .. end - 1 at and beyond the total
  // (left by a growth that stopped before its header was written).
  void ClearBitsFrom(int64_t first, int64_t end);
  // Reads the PFS bit (no lock; the caller holds the header lock or is alone).
  bool IsPageUsed(int32_t page_no);

  int64_t PagesPerPfs() const { return pages_per_pfs_; }
  int64_t PagesPerGroup() const { return pages_per_group_; }
  int64_t PfsPageOfIndex(int64_t index) const { return index * pages_per_pfs_; }
  int64_t EamPageOfIndex(int64_t index) const;
  int32_t PfsPageFor(int32_t page_no) const;
  int32_t EamPageFor(int32_t page_no) const;
  int32_t GrowthStep() const;

 private:
  struct Bitmap;  // one bitmap page read for a change

  int32_t SearchGroup(int64_t group);
  // Takes count pages after the last used one (the first is returned, the
  // others reserved for the run), growing the file and creating the bitmap
  // pages they need.
  int32_t Extend(int32_t count = 1);
  // Marks used pages above the last used one (ascending; bits already set
  // there are accepted): one write per PFS page, then per EAM page.
  void MarkFreshPages(const std::vector<int32_t>& pages, bool* changed);
  // Gives back the pages a run reserved and did not hand out. Never raises:
  // what cannot be given back now is abandoned.
  void ReleaseReserved() noexcept;
  void CreatePfsPage(int64_t index);
  void CreateEamPage(int64_t index);
  // strict: raise when the bit already has the value; else accept it.
  // *changed (when given) is set once the bit was written.
  void MarkPage(int32_t page_no, bool used, bool strict, bool* changed = nullptr);
  // Takes back what a failed allocation did: the page's bit (when set by
  // it) and the growth of the file. Never raises.
  void UndoAllocation(std::span<const int32_t> pages, bool marked, int32_t old_total) noexcept;
  // The caller holds the header lock.
  void RetryAbandoned() noexcept;
  // freed_page counts as free whatever its PFS bit says (it is about to be
  // cleared).
  void UpdateEamEntry(int32_t page_no, int32_t freed_page = -1);
  // The same for the extents first .. last of one group, written at once;
  // top_page is the highest page whose bit just changed (its PFS page exists).
  void UpdateEamEntries(int64_t first, int64_t last, int64_t top_page, int32_t freed_page = -1);
  int32_t RecomputeLastUsed(int32_t from);
  bool IsBlankPage(int64_t page_no);
  void ShrinkTail();
  void ReadBitmap(int32_t page_no, uint16_t type, int32_t wrong_type_code, std::vector<uint8_t>& buffer);
  // count bytes from offset (the whole page by default) of a bitmap page
  // changed in buffer, the page's image.
  void WriteBitmap(int32_t page_no, const uint8_t* buffer, int32_t offset = 0, int32_t count = -1);
  // Forgets the bitmap pages kept by a run (the file may differ from them).
  void ForgetRunPages() noexcept { run_pages_.clear(); }

  TABSFreeSpaceHost& host_;
  TABSDatabaseHeader& header_;
  int64_t data_size_;
  int64_t pages_per_extent_;
  int64_t pages_per_pfs_;
  int64_t extents_per_eam_;
  int64_t pages_per_group_;
  bool groups_fill_pfs_ranges_;  // even pages per extent
  // Pages still marked used by an allocation that failed. One above the
  // last used page when it was abandoned is nobody's only while it stays
  // above it: an extension (of any process) may take it over.
  struct Abandoned {
    int32_t page_no;
    bool above_last_used;
  };
  std::vector<Abandoned> abandoned_;
  int32_t run_depth_ = 0;
  // Bitmap pages as the file holds them, while a run lasts.
  std::unordered_map<int32_t, std::vector<uint8_t>> run_pages_;
  // Pages the run still expects to allocate, and those it took at once and
  // has not handed out yet (from reserved_next_ on; marked used).
  int32_t run_wanted_ = 0;
  std::vector<int32_t> reserved_;
  size_t reserved_next_ = 0;
};

}  // namespace kelvorin
