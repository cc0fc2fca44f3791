// TABSInternalDBTransactedAccessFile: an internal file that is read and
// written whole through the page manager, inside a session's transaction,
// and may be stored compressed (plain or "ZLIB"). The system directory, the
// table list and each table's metadata and most-updated files are such files.
//
// Nothing read from the chain is trusted: the header must say 10 bytes, the
// sizes must be possible for the algorithm, the chain must be exactly as
// long as the stored size needs and must not loop, and every page must carry
// the file's page type.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "db/storage/catalog/internal_file_header.h"
#include "db/storage/memory/memory_manager.h"
#include "db/storage/pages/page_manager.h"

namespace kelvorin {

class TABSInternalDBTransactedAccessFile {
 public:
  TABSInternalDBTransactedAccessFile(TABSPageManager& manager, uint16_t page_type)
      : manager_(&manager), page_type_(page_type) {}

  uint16_t PageType() const { return page_type_; }
  int32_t StartPage() const { return start_page_; }
  bool IsOpen() const { return start_page_ != -1; }

  // Adds the first page with an empty header; the file starts there.
  void Create(int32_t session);
  // Binds to an existing file (-1 leaves the object as it is).
  void Open(int32_t start_page) {
    if (start_page != -1) start_page_ = start_page;
  }
  void Close() { start_page_ = -1; }

  // Gives the chain the pages the stored size needs (appending or removing
  // pages at its end) and records the three values in the header.
  void SetSize(int32_t session, int32_t stored_size, uint8_t algorithm, int32_t uncompressed_size);
  // The header, checked.
  TABSInternalFileHeader GetSize(int32_t session);
  // The first `count` bytes of the content, decompressed.
  void ReadFile(int32_t session, void* buffer, int32_t count);
  // The whole content, decompressed (an empty block for an empty file).
  TABSMemoryBlock ReadAll(int32_t session, int32_t* size);
  // Replaces the content; an empty content is always stored plain.
  void WriteFile(int32_t session, const void* data, int32_t size, uint8_t algorithm, int level);
  // Removes every page of the chain (at the session's commit) and closes.
  void Delete(int32_t session);

  // The pages of the chain, checked as SetSize and Delete check them.
  std::vector<int32_t> ChainPages(int32_t session);

 private:
  void CheckOpen(std::string_view operation) const;
  TABSInternalFileHeader CheckedHeader(const uint8_t* data) const;
  // Copies `count` stored bytes from the chain into `out`; the number copied.
  int64_t ReadStored(int32_t session, uint8_t* out, int64_t count);
  // The whole chain, each page checked for the file's type and the walk for
  // loops; raises unless it is exactly as long as `stored_size` needs.
  std::vector<int32_t> WalkChain(int32_t session, int32_t stored_size);

  TABSPageManager* manager_;
  uint16_t page_type_;
  int32_t start_page_ = -1;
};

}  // namespace kelvorin
