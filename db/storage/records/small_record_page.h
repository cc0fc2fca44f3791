// TABSSmallRecordPage: one record page (page type 10) of a table, seen
// through its data area. N records of R bytes fit a page of D data bytes,
// N = 8(D - 1) div (8R + 1), each taking its bytes and one bit:
//
//   data offset 0              ceil(N / 8) bytes: the slot bitmap, bit i mod 8
//                              (least significant first) of byte i div 8 set
//                              when slot i holds a record
//   ceil(N / 8) + i x R        slot i
//
// Bits at or beyond N are no slots: they are never set, never read as one,
// and a page that has one set is damaged. The page header's owner field
// holds the table's object number.
#pragma once

#include <cstdint>

namespace kelvorin {

// Records of the stored size that fit one record page; 0 when none does.
int32_t RecordsPerPage(int32_t page_data_size, int64_t stored_record_size);

class TABSSmallRecordPage {
 public:
  static int32_t BitmapSize(int32_t records_per_page) { return (records_per_page + 7) / 8; }

  // `data`: the page's data area, large enough for the bitmap and N slots
  // (the record manager checks this once for its table).
  TABSSmallRecordPage(uint8_t* data, int32_t records_per_page, int32_t record_size)
      : data_(data), records_per_page_(records_per_page), record_size_(record_size) {}

  bool IsUsed(int32_t slot) const { return (data_[slot / 8] >> (slot % 8)) & 1; }
  void SetUsed(int32_t slot, bool used) {
    const auto bit = static_cast<uint8_t>(1u << (slot % 8));
    data_[slot / 8] = used ? (data_[slot / 8] | bit) : (data_[slot / 8] & ~bit);
  }
  uint8_t* Slot(int32_t slot) const {
    return data_ + BitmapSize(records_per_page_) + int64_t{slot} * record_size_;
  }

  // Slots holding a record.
  int32_t UsedCount() const;
  // Whether a bit at or beyond N is set.
  bool HasStrayBits() const;

  // Slot numbers, or -1 when there is none.
  int32_t FirstFree() const { return Find(0, false); }
  int32_t FirstUsed() const { return Find(0, true); }
  int32_t LastUsed() const { return FindBackward(records_per_page_ - 1); }
  int32_t NextUsed(int32_t slot) const { return Find(slot + 1, true); }
  int32_t PriorUsed(int32_t slot) const { return FindBackward(slot - 1); }

 private:
  // The first slot from `from` on whose bit equals `used`.
  int32_t Find(int32_t from, bool used) const;
  // The last used slot at or before `from`.
  int32_t FindBackward(int32_t from) const;

  uint8_t* data_;
  int32_t records_per_page_;
  int32_t record_size_;
};

}  // namespace kelvorin
