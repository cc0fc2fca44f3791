// TABSTableState: the small state block a table keeps beside its metadata
// and rewrites after every change: the last auto-increment value of each
// field, the change counter (a version stamp: every insert, update, delete
// and emptying raises it) and the record count.
//
//   i32            N, the number of fields
//   N x i64        last auto-increment value of each field (0 when not one)
//   i32            change counter
//   i32            record count (64-bit in memory)
//
// A block is never longer than 32 x (field count + 1) bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvorin {

class TABSFieldDefs;

struct TABSTableState {
  std::vector<int64_t> autoinc_values;
  int32_t change_counter = 0;
  int64_t record_count = 0;

  // The state of a new (or emptied) table: each auto-increment field at its
  // initial value; the change counter is left to the caller.
  void ResetAutoInc(const TABSFieldDefs& fields);

  static int64_t MaxBlockSize(int32_t field_count) { return 32 * (int64_t{field_count} + 1); }
  std::string Encode() const;
  // Raises for a block that does not fit the table's fields.
  static TABSTableState Decode(std::string_view block, int32_t field_count);
};

}  // namespace kelvorin
