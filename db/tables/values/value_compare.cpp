// Comparison of value buffers in their common type.
#include "db/tables/values/value_compare.h"

#include <cmath>
#include <string_view>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/memory/memory_manager.h"
#include "db/tables/values/value_convert.h"
#include "db/tables/values/value_encoding.h"
#include "db/tables/values/value_errors.h"
#include "platform/locale_profile.h"

namespace kelvorin {
namespace {

using S = TABSStorageType;

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

TABSCompareResult FromSign(int sign) {
  return sign < 0 ? kCompareLess : sign > 0 ? kCompareGreater : kCompareEqual;
}

TABSCompareResult FromCollation(platform::CollationResult r, const TABSNativeError& failure) {
  switch (r) {
    case platform::kLess:
      return kCompareLess;
    case platform::kEqual:
      return kCompareEqual;
    case platform::kGreater:
      return kCompareGreater;
    default:
      throw EABSException(failure, {static_cast<int>(r)});
  }
}

TABSCompareResult CompareSameType(const uint8_t* l, const uint8_t* r, S type, bool ci,
                                  int32_t limit, int32_t lsize, int32_t rsize) {
  switch (type) {
    case S::Char:
    case S::String: {
      std::string_view a(reinterpret_cast<const char*>(l), AnsiLength(l, lsize));
      std::string_view b(reinterpret_cast<const char*>(r), AnsiLength(r, rsize));
      return FromCollation(platform::CurrentLocale().CompareAnsi(a, b, ci, limit),
                           native::kCompareAnsiFailed);
    }
    case S::WideChar:
    case S::WideString:
      return FromCollation(platform::CurrentLocale().CompareWide(
                               WideTextOf(l, lsize, type), WideTextOf(r, rsize, type), ci, limit),
                           native::kCompareWideFailed);
    case S::ShortInt:
      return FromSign(Order(LoadLE<int8_t>(l), LoadLE<int8_t>(r)));
    case S::SmallInt:
      return FromSign(Order(LoadLE<int16_t>(l), LoadLE<int16_t>(r)));
    case S::Integer:
    case S::Date:
    case S::Time:
      return FromSign(Order(LoadLE<int32_t>(l), LoadLE<int32_t>(r)));
    case S::LargeInt:
      return FromSign(Order(LoadLE<int64_t>(l), LoadLE<int64_t>(r)));
    case S::Byte:
      return FromSign(Order(LoadLE<uint8_t>(l), LoadLE<uint8_t>(r)));
    case S::Word:
      return FromSign(Order(LoadLE<uint16_t>(l), LoadLE<uint16_t>(r)));
    case S::Cardinal:
      return FromSign(Order(LoadLE<uint32_t>(l), LoadLE<uint32_t>(r)));
    case S::Single:
      return FromSign(CompareFloats(LoadLE<float>(l), LoadLE<float>(r)));
    case S::Float:
    case S::Currency:
      return FromSign(CompareFloats(LoadLE<double>(l), LoadLE<double>(r)));
    case S::Extended:
      return FromSign(CompareFloats(DecodeExtended(l), DecodeExtended(r)));
    case S::DateTime: {
      int sign = Order(LoadLE<int32_t>(l), LoadLE<int32_t>(r));
      if (sign == 0) sign = Order(LoadLE<int32_t>(l + 4), LoadLE<int32_t>(r + 4));
      return FromSign(sign);
    }
    case S::Logical:
      return FromSign(Order(LoadLE<uint16_t>(l) != 0, LoadLE<uint16_t>(r) != 0));
    default:
      throw EABSException(native::kCompareUnknownType, {StorageTypeName(type)});
  }
}

}  // namespace

int CompareFloats(long double left, long double right) {
  const bool left_nan = std::isnan(left);
  const bool right_nan = std::isnan(right);
  if (left_nan || right_nan) return left_nan == right_nan ? 0 : (left_nan ? 1 : -1);
  return left < right ? -1 : (right < left ? 1 : 0);
}

TABSCompareResult CompareValues(const void* left, const void* right, TABSStorageType left_type,
                                TABSStorageType right_type, bool left_null, bool right_null,
                                bool case_insensitive, int32_t length_limit, int32_t left_size,
                                int32_t right_size) {
  if (left_null || right_null) {
    return left_null && right_null ? kCompareBothNull
           : left_null             ? kCompareLeftNull
                                   : kCompareRightNull;
  }
  const S common = left_type == right_type ? left_type : ResultType(left_type, right_type, true);
  if (common == S::None) {
    throw EABSException(native::kCompareIncompatibleTypes,
                        {StorageTypeName(left_type), StorageTypeName(right_type)});
  }
  if (left == nullptr || right == nullptr) throw EABSException(native::kCompareValueIsNull);
  if (left_type == right_type) {
    // Nothing to convert: the common case of index searches, kept free of
    // the conversion blocks.
    CheckFixedValueSize(left_size, common);
    CheckFixedValueSize(right_size, common);
    return CompareSameType(static_cast<const uint8_t*>(left), static_cast<const uint8_t*>(right), common,
                           case_insensitive, length_limit, left_size, right_size);
  }
  // Converted sides live in blocks that free themselves on every path.
  TABSMemoryBlock left_converted;
  TABSMemoryBlock right_converted;
  const void* l = left;
  const void* r = right;
  if (left_type != common) {
    left_converted = ConvertValue(left, left_size, left_type, common);
    l = left_converted.data();
    left_size = static_cast<int32_t>(left_converted.size());
  } else {
    CheckFixedValueSize(left_size, common);
  }
  if (right_type != common) {
    right_converted = ConvertValue(right, right_size, right_type, common);
    r = right_converted.data();
    right_size = static_cast<int32_t>(right_converted.size());
  } else {
    CheckFixedValueSize(right_size, common);
  }
  return CompareSameType(static_cast<const uint8_t*>(l), static_cast<const uint8_t*>(r), common,
                         case_insensitive, length_limit, left_size, right_size);
}

int SignedCompareResult(TABSCompareResult result) {
  switch (result) {
    case kCompareLess:
    case kCompareLeftNull:
      return -1;
    case kCompareGreater:
    case kCompareRightNull:
      return 1;
    default:
      return 0;
  }
}

int CompareValuesSigned(const void* left, const void* right, TABSStorageType left_type,
                        TABSStorageType right_type, bool left_null, bool right_null,
                        bool case_insensitive, int32_t length_limit, int32_t left_size,
                        int32_t right_size) {
  return SignedCompareResult(CompareValues(left, right, left_type, right_type, left_null,
                                           right_null, case_insensitive, length_limit, left_size,
                                           right_size));
}

}  // namespace kelvorin
