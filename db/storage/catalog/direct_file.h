// TABSInternalDBDirectAccessFile: an internal file of a fixed size chosen at
// creation whose bytes are read and written straight on disk, outside any
// transaction, and serve as targets of byte-range locks (the sessions file
// and each table's locks file). Its pages are created through the system
// session, unencrypted, and reach the disk at that session's commit.
//
// Opening walks the chain reading page headers directly from disk (never the
// first header byte, which may be locked by another process); the chain must
// not loop or leave the file, every page must carry the file's type and the
// chain must be exactly as long as the stored size needs.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "db/storage/catalog/internal_file_header.h"
#include "db/storage/pages/disk_page_manager.h"

namespace kelvorin {

class TABSInternalDBDirectAccessFile {
 public:
  TABSInternalDBDirectAccessFile(TABSDiskPageManager& manager, uint16_t page_type)
      : manager_(&manager), page_type_(page_type) {}

  uint16_t PageType() const { return page_type_; }
  int32_t StartPage() const { return pages_.empty() ? -1 : pages_.front(); }
  bool IsOpen() const { return !pages_.empty(); }
  const std::vector<int32_t>& Pages() const { return pages_; }

  void Create(int32_t size);
  void Open(int32_t start_page);
  void Close() {
    pages_.clear();
    size_ = 0;
  }

  // The size, read from the header on disk.
  int32_t GetSize();
  // Reads up to `count` bytes from `position`, never past the end of the
  // content; the number read.
  int32_t DirectReadBuffer(void* buffer, int32_t count, int32_t position);
  int32_t DirectWriteBuffer(const void* buffer, int32_t count, int32_t position);

  // The lock of the whole file: the first byte of its first page.
  bool LockFile();
  bool UnlockFile();
  // LockFile with the lock retry of shared structures.
  bool LockFileWithRetry();
  // Locks of single content bytes; false for a position outside the content.
  bool LockByte(int32_t position);
  bool UnlockByte(int32_t position);
  bool IsByteLocked(int32_t position);
  // Locks of a run of content bytes, page by page.
  bool LockRegion(int32_t position, int32_t count);
  bool UnlockRegion(int32_t position, int32_t count);
  bool IsRegionLocked(int32_t position, int32_t count);

  // Removes every page through the system session (freed at its commit).
  void Delete();

 private:
  struct Span {
    int32_t page_no;
    int32_t offset;  // within the page, page header included
    int32_t count;
  };

  void CheckOpen(std::string_view operation) const;
  // The parts of pages that hold content bytes [position, position + count).
  std::vector<Span> Spans(int64_t position, int64_t count) const;
  // Reads the header of the first page and checks it against the chain.
  int32_t ReadCheckedSize(int32_t start_page, int64_t pages);

  TABSDiskPageManager* manager_;
  uint16_t page_type_;
  std::vector<int32_t> pages_;
  int32_t size_ = 0;
};

}  // namespace kelvorin
