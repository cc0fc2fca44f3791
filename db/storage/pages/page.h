// TABSPage: one page object of a page manager, with its buffer (page header
// and data area), its dirty flag, its hold count and the list it sits in.
// Page objects belong to their page manager; callers hold them between
// GetPage/AddPage and PutPage.
#pragma once

#include <cstdint>

#include "db/storage/file/database_file_layout.h"
#include "db/storage/memory/memory_manager.h"

namespace kelvorin {

class TABSPageManager;
class TABSSortedPageList;

enum class TABSPageListKind { kNone, kCache, kSession };

class TABSPage {
 public:
  TABSPage(TABSPageManager* manager, int32_t page_no) : manager_(manager), page_no_(page_no) {}
  TABSPage(const TABSPage&) = delete;
  TABSPage& operator=(const TABSPage&) = delete;

  TABSPageManager* Manager() const { return manager_; }
  int32_t PageNo() const { return page_no_; }
  void SetPageNo(int32_t page_no) { page_no_ = page_no; }

  int32_t PageSize() const;
  int32_t PageHeaderSize() const;
  int32_t DataSize() const { return PageSize() - PageHeaderSize(); }
  uint8_t* Buffer() const { return buffer_.bytes(); }
  uint8_t* Data() const { return buffer_.bytes() + PageHeaderSize(); }
  bool HasBuffer() const { return !buffer_.empty(); }
  int64_t BufferSize() const { return buffer_.size(); }

  // A zero-filled buffer of page size bytes with an initialised page header.
  void AllocateBuffer();
  // Grows the buffer (index pages), keeping the first page size bytes.
  void GrowBuffer(int64_t new_size);

  bool dirty = false;
  int32_t use_count = 0;
  TABSPageListKind list = TABSPageListKind::kNone;
  int32_t owner_session = -1;
  bool loaded = false;
  bool encrypt = true;
  // The statement savepoint the page last joined (see TABSPageManager):
  // its image is kept, or it is new to the session's changes since then.
  uint64_t statement_mark = 0;
  // Changed before the statement, held without a copy yet (see
  // TABSPageManager::PrepareChange).
  bool image_pending = false;

  // Page header fields (40-byte headers only).
  uint16_t PageType() const { return LoadU16(Buffer() + page_field::kPageType); }
  void SetPageType(uint16_t type) { StoreU16(Buffer() + page_field::kPageType, type); }
  int32_t WriteCounter() const { return LoadI32(Buffer() + page_field::kWriteCounter); }
  void SetWriteCounter(int32_t value) { StoreI32(Buffer() + page_field::kWriteCounter, value); }
  int32_t NextPage() const { return LoadI32(Buffer() + page_field::kNextPage); }
  void SetNextPage(int32_t page_no) { StoreI32(Buffer() + page_field::kNextPage, page_no); }
  int32_t Owner() const { return LoadI32(Buffer() + page_field::kOwner); }
  void SetOwner(int32_t owner) { StoreI32(Buffer() + page_field::kOwner, owner); }

 private:
  friend class TABSSortedPageList;

  TABSPageManager* manager_;
  // Links of the owning list's use order, least recently used first.
  TABSPage* lru_prev_ = nullptr;
  TABSPage* lru_next_ = nullptr;
  uint64_t last_use_ = 0;
  int32_t page_no_;
  TABSMemoryBlock buffer_;
};

}  // namespace kelvorin
