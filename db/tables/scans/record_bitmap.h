// TABSRecordBitmap: a cursor's filter, one bit per record of the table that
// passes the cursor's range and filters, so that a restricted cursor counts
// and numbers its records without scanning.
//
// Bits are kept per record page, in a chunk of N bits (N = the table's
// records per page, each chunk 64-bit words) for each page that holds a set
// bit; a slot is checked against N before it is used, so nothing is sized
// from a page number read from the file. The ranks in storage order (page,
// then slot) come from counts summed once after the bits are settled.
//
// The bitmap carries the stamp of the table it was built for (its change
// counter): a stamp that differs means the table changed and the bits are
// stale.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "db/tables/btree/index_cursor.h"
#include "db/tables/btree/record_id.h"

namespace kelvorin {

class TABSRecordBitmap : public TABSFilterBitmap {
 public:
  // Empties the bitmap for a table whose pages hold `slots_per_page` records.
  void Reset(int32_t slots_per_page);
  // Forgets the bits; the bitmap must be built again.
  void Invalidate() {
    built_ = false;
    chunks_.clear();
    ranks_valid_ = false;
  }

  bool IsSet(TABSRecordId id) const override;
  void Clear(TABSRecordId id) override;
  // Raises for a slot the table's pages cannot have.
  void Set(TABSRecordId id);

  // Built, and for the table as it is now.
  bool IsCurrent(int64_t stamp) const { return built_ && stamp_ == stamp; }
  void MarkBuilt(int64_t stamp) {
    built_ = true;
    stamp_ = stamp;
  }
  bool Built() const { return built_; }

  int64_t Count();
  // 1-based rank of a set record among the set ones in storage order; -1
  // when its bit is clear.
  int64_t Rank(TABSRecordId id);
  // The number-th set record in storage order (1-based); false beyond them.
  bool Nth(int64_t number, TABSRecordId& id);
  // The set record nearest past `from` in storage order (forward or back;
  // from an invalid identifier: the first or the last); false when none.
  bool Step(TABSRecordId from, bool forward, TABSRecordId& id) const;

 private:
  struct Chunk {
    std::vector<uint64_t> words;
    int64_t before = 0;  // set bits in the pages before this one
  };
  void CheckSlot(TABSRecordId id) const;
  void ComputeRanks();

  int32_t slots_per_page_ = 0;
  std::map<int32_t, Chunk> chunks_;
  bool built_ = false;
  int64_t stamp_ = 0;
  bool ranks_valid_ = false;
  int64_t count_ = 0;
};

}  // namespace kelvorin
