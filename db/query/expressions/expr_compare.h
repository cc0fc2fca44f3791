// Comparison of two node values as every comparing node makes it: NULLs as
// the raw codes, integers of different types exactly in 64 bits (a signed
// and an unsigned type have no common type that holds both), everything
// else in the values' common type.
#pragma once

#include <cstdint>

#include "db/tables/values/abs_variant.h"

namespace kelvorin {

TABSCompareResult CompareForExpression(const TABSVariant& left, const TABSVariant& right,
                                       bool case_insensitive, int32_t length_limit = -1);

// The signed form with NULLs first and equal to each other.
int CompareSignedForExpression(const TABSVariant& left, const TABSVariant& right,
                               bool case_insensitive);

// The value of an integer-typed variant; false for other types or NULL.
bool IntegerValueOf(const TABSVariant& value, int64_t* out);

}  // namespace kelvorin
