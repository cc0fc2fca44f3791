// Large BLOBs: a value whose stored size S makes S + 24 >= D is kept in
// pages of its own (page type 11, the table's object number as owner).
//
//   first page   data offset 0: the entry header (its id unused)
//                data offset 22: the locator {i32 page holding the start of
//                the page list, u16 offset of the list in that page, i32
//                number of data pages}
//                data offset 32: the first stored bytes
//   data pages   the stored bytes go on at offset 0 of further pages, added
//                one by one and not chained
//   page list    the i32 numbers of all data pages in order (the first page
//                included), right after the last stored byte, or at offset
//                0 of a new page when the last data page is exactly full;
//                it goes on at offset 0 of new pages chained through the
//                page header's next-page field
//
// Everything about the layout follows from S and D, so a reader checks the
// locator and the list against it, bounds every walk by the file's page
// count and sees each page at most once.
#pragma once

#include <cstdint>
#include <vector>

#include "db/storage/blobs/blob_value.h"
#include "db/storage/pages/page_manager.h"
#include "db/storage/streams/stream.h"

namespace kelvorin {

struct TABSLargeBlobLayout {
  static constexpr int32_t kLocatorOffset = 22;
  static constexpr int32_t kFirstDataOffset = 32;

  // The layout of a value of S stored bytes on pages of D data bytes.
  TABSLargeBlobLayout(int64_t stored_size, int32_t data_size);

  int64_t data_pages;         // pages holding stored bytes, the first included
  int32_t list_offset;        // where the page list starts in its first page
  bool list_in_last_data_page;
  int64_t extra_list_pages;   // pages holding only the list
};

// Where a large BLOB lives, as read and checked.
struct TABSLargeBlobPages {
  TABSBlobEntryHeader header;
  std::vector<int32_t> data_pages;  // in order, the first page first
  std::vector<int32_t> list_pages;  // the pages holding only the list
};

class TABSLargeBlobStore {
 public:
  // Pages come from `pages` in the session, owned by `owner`; page numbers
  // read from the file must lie below `page_count`.
  TABSLargeBlobStore(TABSPageManager& pages, int32_t session, int32_t owner, int32_t page_count)
      : pages_(pages), session_(session), owner_(owner), page_count_(page_count) {}

  // Stores the value; returns its first page. A failure removes every page
  // it added.
  int32_t Store(const TABSBlobValue& value);
  // Reads and checks the first page, the locator and the page list; with
  // `check_data_pages` also that every data page is a BLOB page of the
  // owner. Raises "Large blob … is damaged" for anything that does not fit.
  TABSLargeBlobPages Pages(int32_t first_page, bool check_data_pages);
  // Reads the value (its pages checked as above).
  void Read(int32_t first_page, TABSBlobValue& value);
  // Writes the value's stored bytes into the stream at its position;
  // returns its header.
  TABSBlobEntryHeader CopyTo(int32_t first_page, TABSStream& stream);
  // Removes every page of the value (checked first).
  void Delete(int32_t first_page);

 private:
  [[noreturn]] void Damaged(int32_t first_page, const std::string& reason) const;
  void CheckPageNo(int32_t first_page, int32_t page_no) const;
  std::vector<int32_t> ReadList(int32_t first_page, const TABSLargeBlobLayout& layout, int32_t list_start,
                                std::vector<int32_t>& list_pages);
  // Hands the stored bytes over page by page, in order.
  template <typename F>
  void ForEachChunk(const TABSLargeBlobPages& where, F&& take);

  TABSPageManager& pages_;
  int32_t session_;
  int32_t owner_;
  int32_t page_count_;
};

}  // namespace kelvorin
