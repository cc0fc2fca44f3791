// TABSSmallBlobPage: one small BLOB page (page type 11) of a table, seen
// through its data area: a u16 entry count, then the entries packed from
// offset 2, each an entry header (its id 0..254) followed by its stored
// bytes. The page header's owner field holds the table's object number.
//
// The BLOB-page index keeps, per page, the bytes its entries use (stored
// size + 22 each), and offers a page for an entry of b bytes while
// used + b < D - 2. A page holds at most 255 entries (ids 0..254), which
// small entries reach on pages of 8 KB and more: a page that has them is
// listed as full (D - 3), so that the index never offers it again.
//
// Opening the view checks the whole page (count, sizes and ids walking
// inside the data area) before anything is read from it.
#pragma once

#include <cstdint>

#include "db/storage/blobs/blob_value.h"

namespace kelvorin {

class TABSSmallBlobPage {
 public:
  static constexpr int32_t kCountSize = 2;
  static constexpr int32_t kMaxEntries = 255;

  // An empty page.
  static void Initialize(uint8_t* data) { StoreLE<uint16_t>(data, 0); }
  // The amount the BLOB-page index lists for a page of these entries.
  static int32_t IndexAmount(int32_t count, int32_t used_bytes, int32_t data_size) {
    return count >= kMaxEntries ? FullAmount(data_size) : used_bytes;
  }
  static int32_t FullAmount(int32_t data_size) { return data_size - kCountSize - 1; }
  // Whether a value of this stored size is kept in a small BLOB page.
  static bool IsSmall(int64_t stored_size, int32_t data_size) {
    return stored_size + TABSBlobEntryHeader::kStoredSize + kCountSize < data_size;
  }

  // Raises "Blob page … is damaged" for a page whose entries do not fit it.
  TABSSmallBlobPage(uint8_t* data, int32_t data_size, int32_t page_no);

  int32_t Count() const { return count_; }
  // Bytes used by the entries, headers included.
  int32_t UsedBytes() const { return used_; }
  int32_t IndexAmount() const { return IndexAmount(count_, used_, data_size_); }

  // The data offset of the entry with that id, or -1.
  int32_t Find(int32_t id) const;
  // The first entry, and the one after an entry (-1 after the last).
  int32_t FirstEntry() const { return count_ > 0 ? kCountSize : -1; }
  int32_t NextEntry(int32_t offset) const;
  TABSBlobEntryHeader Entry(int32_t offset) const { return TABSBlobEntryHeader::Load(data_ + offset); }
  const uint8_t* Bytes(int32_t offset) const { return data_ + offset + TABSBlobEntryHeader::kStoredSize; }

  // The id a new entry gets: the first free one counting up from the entry
  // count, wrapping from 254 to 0. Raises "Invalid blob field ID" when the
  // page has every id.
  int16_t NextId() const;
  bool HasRoom(int64_t stored_size) const;
  // Appends an entry (the header's id and sizes, then the bytes). Raises
  // "Cannot add blob. Page is full" when it does not fit.
  void Append(const TABSBlobEntryHeader& header, const uint8_t* bytes);
  // Removes the entry at the offset, moving the following ones down.
  void Remove(int32_t offset);

 private:
  bool IdUsed(int32_t id) const { return (ids_[id / 64] >> (id % 64)) & 1; }

  uint8_t* data_;
  int32_t data_size_;
  int32_t page_no_;
  int32_t count_ = 0;
  int32_t used_ = 0;
  uint64_t ids_[4] = {0, 0, 0, 0};
};

}  // namespace kelvorin
