// Native error entries of table scans: the condition list, the derivation
// of index conditions from filters, ranges and forced access paths. Codes of
// this layer's own: 10800..10809.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

inline constexpr TABSNativeError kInvalidScanCondition{10388, "Invalid scan condition - indexID = %d, count = %d"};
inline constexpr TABSNativeError kScanConditionItemNumber{10800,
                                                          "Invalid item number - ItemNo = %d, ItemCount = %d"};
inline constexpr TABSNativeError kDerivedFieldUnbound{20054, kTextPointerIsNil};
inline constexpr TABSNativeError kDerivedOperandMissing{20055, kTextPointerIsNil};
inline constexpr TABSNativeError kIndexWithoutColumns{20057, "Invalid index for search"};
// A range bound with a negative column count, or on a cursor without an index.
inline constexpr TABSNativeError kRangeColumnCount{10801, "Invalid range column count - count = %d"};
inline constexpr TABSNativeError kRangeWithoutIndex{10802, "A range needs an index"};
// A forced access path naming an index the table does not have.
inline constexpr TABSNativeError kForcedIndexMissing{10803, "Index '%s' not found"};
inline constexpr TABSNativeError kCursorIndexMissing{10804, "Index #%d of the cursor not found"};

}  // namespace kelvorin::native
