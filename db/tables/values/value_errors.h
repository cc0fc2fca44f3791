// Native error codes raised by the value layer (types, conversion,
// comparison, arithmetic and the stream form of values).
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

inline constexpr std::string_view kTextValueIsNull = "Value is Null";
inline constexpr TABSNativeError kGetterValueIsNull{30016, kTextValueIsNull};
inline constexpr TABSNativeError kCompareValueIsNull{30140, kTextValueIsNull};

inline constexpr TABSNativeError kCompareIncompatibleTypes{
    30044, "Cannot compare Incompatible DataTypes: '%s' and '%s'"};
inline constexpr std::string_view kTextUnknownReturnCode = "Unknown return code: %d";
inline constexpr TABSNativeError kCompareAnsiFailed{30045, kTextUnknownReturnCode};
inline constexpr TABSNativeError kCompareWideFailed{30046, kTextUnknownReturnCode};
inline constexpr TABSNativeError kCompareUnknownType{30047, kTextUnknownDataType};
inline constexpr TABSNativeError kStorageSizeUnknownType = kUnknownDataType30050;
inline constexpr TABSNativeError kDatasetTypeUnknown = kUnknownDataType30289;

inline constexpr std::string_view kTextCannotCast = "Cannot cast from '%s' to '%s'";
inline constexpr TABSNativeError kConversionFailed{30051, kTextCannotCast};
inline constexpr TABSNativeError kConversionUnsupported{30052, kTextCannotCast};

inline constexpr std::string_view kTextUnsupportedVariantType = "Unsupported Variant Type %s";
inline constexpr TABSNativeError kFromVariantUnsupported{30113, kTextUnsupportedVariantType};
inline constexpr TABSNativeError kToVariantUnsupported{30114, kTextUnsupportedVariantType};

inline constexpr TABSNativeError kNegateNotNumeric{
    30123, "Cannot invert value with not numeric type '%s'"};
inline constexpr std::string_view kTextNotNumericArgument =
    "Not numeric argument in numeric operator '%s'";
inline constexpr TABSNativeError kAddNotNumeric{30124, kTextNotNumericArgument};
inline constexpr TABSNativeError kMultiplyNotNumeric{30126, kTextNotNumericArgument};
inline constexpr TABSNativeError kDivideNotNumeric{30127, kTextNotNumericArgument};
inline constexpr TABSNativeError kDivisionError{30128, "Division error: %s"};

inline constexpr TABSNativeError kGetRawBufferSizeExceeded{20056, "Buffer size exceeded"};

// The stream form of a value.
inline constexpr TABSNativeError kValueStreamWriteFailed{10500, kTextCannotWriteToStream};
inline constexpr TABSNativeError kValueStreamReadFailed{10501, kTextCannotReadFromStream};
inline constexpr TABSNativeError kValueStreamInvalidData{
    10502, "Invalid value in stream. Type = %d, Null = %d, Size = %d"};

}  // namespace kelvorin::native
