// Native error entries of the table data layer that the common catalogue
// (native_errors.h) does not name.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

// A state block whose field count or length does not fit its table.
inline constexpr TABSNativeError kInvalidTableState{10712, kTextInvalidTableHeaderData};

}  // namespace kelvorin::native
