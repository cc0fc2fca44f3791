#include "db/query/expressions/expr_compare.h"

#include "db/tables/values/value_compare.h"
#include "db/tables/values/value_encoding.h"

namespace kelvorin {

bool IntegerValueOf(const TABSVariant& value, int64_t* out) {
  if (value.IsNull() || !IsIntegerStorage(value.Type())) return false;
  const auto* p = static_cast<const uint8_t*>(value.Data());
  const int32_t size = value.DataSize();
  switch (value.Type()) {
    case TABSStorageType::ShortInt:
      if (size < 1) return false;
      *out = LoadLE<int8_t>(p);
      return true;
    case TABSStorageType::SmallInt:
      if (size < 2) return false;
      *out = LoadLE<int16_t>(p);
      return true;
    case TABSStorageType::Integer:
      if (size < 4) return false;
      *out = LoadLE<int32_t>(p);
      return true;
    case TABSStorageType::LargeInt:
      if (size < 8) return false;
      *out = LoadLE<int64_t>(p);
      return true;
    case TABSStorageType::Byte:
      if (size < 1) return false;
      *out = LoadLE<uint8_t>(p);
      return true;
    case TABSStorageType::Word:
      if (size < 2) return false;
      *out = LoadLE<uint16_t>(p);
      return true;
    case TABSStorageType::Cardinal:
      if (size < 4) return false;
      *out = LoadLE<uint32_t>(p);
      return true;
    default:
      return false;
  }
}

TABSCompareResult CompareForExpression(const TABSVariant& left, const TABSVariant& right,
                                       bool case_insensitive, int32_t length_limit) {
  const bool left_null = left.IsNull();
  const bool right_null = right.IsNull();
  if (left_null || right_null) {
    return left_null && right_null ? kCompareBothNull
           : left_null             ? kCompareLeftNull
                                   : kCompareRightNull;
  }
  if (left.Type() != right.Type()) {
    int64_t a = 0;
    int64_t b = 0;
    if (IntegerValueOf(left, &a) && IntegerValueOf(right, &b)) {
      return a < b ? kCompareLess : a > b ? kCompareGreater : kCompareEqual;
    }
  }
  return CompareValues(left.Data(), right.Data(), left.Type(), right.Type(), false, false,
                       case_insensitive, length_limit, left.DataSize(), right.DataSize());
}

int CompareSignedForExpression(const TABSVariant& left, const TABSVariant& right,
                               bool case_insensitive) {
  return SignedCompareResult(CompareForExpression(left, right, case_insensitive));
}

}  // namespace kelvorin
