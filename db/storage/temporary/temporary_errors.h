// Native error entries of temporary and in-memory storage that the common
// catalogue (native_errors.h) does not name: the short reads and writes of
// a memory page manager's stream form, the checks of a loaded stream, and
// the refusals of the process's temporary and memory databases.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

// Saving a memory page manager, one code per field in the order written:
// page count, highest page number, growth step, page size, page header
// size, allocated page count, then the bit array and the page buffers.
inline constexpr TABSNativeError kSavePageCount10362{10362, kTextCannotWriteToStream};
inline constexpr TABSNativeError kSaveHighestPage10363{10363, kTextCannotWriteToStream};
inline constexpr TABSNativeError kSaveGrowthStep10364{10364, kTextCannotWriteToStream};
inline constexpr TABSNativeError kSavePageSize10365{10365, kTextCannotWriteToStream};
inline constexpr TABSNativeError kSaveHeaderSize10366{10366, kTextCannotWriteToStream};
inline constexpr TABSNativeError kSaveAllocatedCount10367{10367, kTextCannotWriteToStream};
inline constexpr TABSNativeError kSavePages10368{10368, kTextCannotWriteToStream};
// Loading, in the same order.
inline constexpr TABSNativeError kLoadPageCount10369{10369, kTextCannotReadFromStream};
inline constexpr TABSNativeError kLoadHighestPage10370{10370, kTextCannotReadFromStream};
inline constexpr TABSNativeError kLoadGrowthStep10371{10371, kTextCannotReadFromStream};
inline constexpr TABSNativeError kLoadPageSize10372{10372, kTextCannotReadFromStream};
inline constexpr TABSNativeError kLoadHeaderSize10373{10373, kTextCannotReadFromStream};
inline constexpr TABSNativeError kLoadAllocatedCount10374{10374, kTextCannotReadFromStream};
inline constexpr TABSNativeError kLoadPages10375{10375, kTextCannotReadFromStream};

// Codes of this catalogue: 10790..10799.
inline constexpr TABSNativeError kInvalidPageStream{10790, "Invalid page stream: %s"};
inline constexpr TABSNativeError kInvalidVolatileTableName{
    10791, "Invalid table name '%s'. A table name has 1 to 255 characters"};
inline constexpr TABSNativeError kPagesInUse{10792, "Cannot %s pages while some are in use or not committed"};
inline constexpr TABSNativeError kInvalidSequenceRecordId{10793, "Invalid record id. PageNo=%d, Slot=%d"};
inline constexpr TABSNativeError kTemporaryFileFailed{10794, "Temporary file error: %s"};

}  // namespace kelvorin::native
