// Native error entries of the date format strings: compiling is never an
// error; parsing a text and formatting a value raise these.
#pragma once

#include "db/storage/errors/native_errors.h"
#include "db/tables/values/value_errors.h"

namespace kelvorin::native {

inline constexpr TABSNativeError kAmPmWordExpected{30129, "AM/PM word expected, but '%s' found"};
inline constexpr TABSNativeError kDateFieldNotInteger{30710, "'%s' is not a valid integer value"};
inline constexpr TABSNativeError kDateFieldTooShort{
    30711, "Date format field '%s' needs %d characters, but '%s' found"};
inline constexpr TABSNativeError kDateEncodeInvalid{30712, "Invalid argument to date encode"};
inline constexpr TABSNativeError kTimeEncodeInvalid{30713, "Invalid argument to time encode"};
// A date-time value that is NaN, infinite or outside 0001-01-01..9999-12-31.
inline constexpr TABSNativeError kDateFormatValueInvalid{30714, kTextCannotCast};

}  // namespace kelvorin::native
