// Ordering of values: NULL before every value, values of different types
// compared in their common type, strings by the locale's collation.
#pragma once

#include <cstdint>

#include "db/tables/values/field_types.h"

namespace kelvorin {

enum TABSCompareResult : int {
  kCompareEqual = 0,
  kCompareLess = 1,
  kCompareGreater = 2,
  kCompareLeftNull = 3,
  kCompareRightNull = 4,
  kCompareBothNull = 5,
};

// Compares two value buffers. A length limit n >= 0 compares only the first
// n characters of strings. Sizes (-1 when unknown) bound the bytes read from
// string buffers whose terminator might be missing.
TABSCompareResult CompareValues(const void* left, const void* right, TABSStorageType left_type,
                                TABSStorageType right_type, bool left_null, bool right_null,
                                bool case_insensitive, int32_t length_limit,
                                int32_t left_size = -1, int32_t right_size = -1);

// -1, 0 or +1 (NULL first, two NULLs equal).
int CompareValuesSigned(const void* left, const void* right, TABSStorageType left_type,
                        TABSStorageType right_type, bool left_null, bool right_null,
                        bool case_insensitive, int32_t length_limit, int32_t left_size = -1,
                        int32_t right_size = -1);

// Signed form of a result code.
int SignedCompareResult(TABSCompareResult result);

// Total order of doubles used for every float comparison: -0 equals +0 and
// NaN equals NaN and sorts above +infinity. Returns -1, 0 or +1.
int CompareFloats(long double left, long double right);

}  // namespace kelvorin
