// Arithmetic of TABSVariant. Every result is computed into a new buffer first,
// so a failure leaves the value as it was. Signed wrap-around is done in
// unsigned arithmetic; small integer types must hold the exact result.
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/abs_variant.h"
#include "db/tables/values/value_convert.h"
#include "db/tables/values/value_encoding.h"
#include "db/tables/values/value_errors.h"

namespace kelvorin {
namespace {

using S = TABSStorageType;

enum class Op { kAdd, kMultiply, kDivide };

// Failures of a division that are not engine errors; Divide reports them as
// "Division error: <message>".
class EDivisionFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
constexpr const char* kDivisionByZero = "Division by zero";
constexpr const char* kFloatDivisionByZero = "Floating point division by zero";
constexpr const char* kIntegerOverflow = "Integer overflow";

[[noreturn]] void LeavesCalendar(S type) {
  throw EABSException(native::kConversionFailed, {StorageTypeName(type), StorageTypeName(type)});
}

const TABSNativeError& NotNumericError(Op op) {
  return op == Op::kAdd        ? native::kAddNotNumeric
         : op == Op::kMultiply ? native::kMultiplyNotNumeric
                               : native::kDivideNotNumeric;
}
const char* OperatorText(Op op) { return op == Op::kAdd ? "+" : op == Op::kMultiply ? "*" : "/"; }

// Exact 64-bit arithmetic for the small integer types, with the range check.
int64_t SmallResult(int64_t a, int64_t b, Op op, int64_t low, int64_t high) {
  int64_t r = 0;
  if (op == Op::kDivide) {
    if (b == 0) throw EDivisionFailure(kDivisionByZero);
    r = a / b;
  } else {
    r = op == Op::kAdd ? a + b : a * b;
  }
  if (r < low || r > high) throw ERangeError();
  return r;
}

// Wrapping arithmetic for INTEGER, CARDINAL and LARGEINT through the
// unsigned type U of the same width.
template <typename T, typename U>
T WrapResult(T a, T b, Op op) {
  if (op == Op::kAdd) return static_cast<T>(static_cast<U>(a) + static_cast<U>(b));
  if (op == Op::kMultiply) return static_cast<T>(static_cast<U>(a) * static_cast<U>(b));
  if (b == 0) throw EDivisionFailure(kDivisionByZero);
  if constexpr (std::is_signed_v<T>) {
    if (a == std::numeric_limits<T>::min() && b == -1) throw EDivisionFailure(kIntegerOverflow);
  }
  return static_cast<T>(a / b);
}

template <typename F>
F FloatResult(F a, F b, Op op) {
  if (op == Op::kAdd) return a + b;
  if (op == Op::kMultiply) return a * b;
  if (b == 0) throw EDivisionFailure(kFloatDivisionByZero);
  return a / b;
}

int64_t DayResult(int64_t a, int64_t b, Op op) {
  if (op == Op::kDivide && b == 0) throw EDivisionFailure(kDivisionByZero);
  return op == Op::kAdd ? a + b : op == Op::kMultiply ? a * b : a / b;
}

// Day part of date arithmetic. In a sum the empty-date marker stands for "no
// date" and yields the other day; any other result must be a calendar day.
int32_t CalendarDayResult(int32_t a, int32_t b, Op op, S type) {
  if (op == Op::kAdd && (a == kEmptyDate || b == kEmptyDate)) return a == kEmptyDate ? b : a;
  int64_t day = DayResult(a, b, op);
  if (!IsCalendarDay(day)) LeavesCalendar(type);
  return static_cast<int32_t>(day);
}

TABSMemoryBlock DateTimeResult(const uint8_t* l, const uint8_t* r, Op op) {
  int64_t ms = DayResult(LoadLE<int32_t>(l + 4), LoadLE<int32_t>(r + 4), op);
  int64_t carry = ms > kMillisecondsPerDay - 1 ? ms / kMillisecondsPerDay : 0;
  ms -= carry * kMillisecondsPerDay;
  if (ms < std::numeric_limits<int32_t>::min()) LeavesCalendar(S::DateTime);
  int32_t day = CalendarDayResult(LoadLE<int32_t>(l), LoadLE<int32_t>(r), op, S::DateTime);
  if (carry != 0) {
    if (day == kEmptyDate || !IsCalendarDay(day + carry)) LeavesCalendar(S::DateTime);
    day = static_cast<int32_t>(day + carry);
  }
  TABSMemoryBlock block(8);
  StoreLE<int32_t>(block.bytes(), day);
  StoreLE<int32_t>(block.bytes() + 4, static_cast<int32_t>(ms));
  return block;
}

// The result of `l op r`, both in `type`.
TABSMemoryBlock Compute(S type, const uint8_t* l, int32_t lsize, const uint8_t* r, int32_t rsize,
                        Op op) {
  switch (type) {
    case S::Char:
    case S::String:
      if (op != Op::kAdd) break;
      return MakeAnsiValue(AnsiTextOf(l, lsize, type) + AnsiTextOf(r, rsize, type));
    case S::WideChar:
    case S::WideString:
      if (op != Op::kAdd) break;
      return MakeWideValue(WideTextOf(l, lsize, type) + WideTextOf(r, rsize, type));
    case S::ShortInt:
      return MakeFixedValue<int8_t>(
          static_cast<int8_t>(SmallResult(LoadLE<int8_t>(l), LoadLE<int8_t>(r), op, -128, 127)));
    case S::SmallInt:
      return MakeFixedValue<int16_t>(static_cast<int16_t>(
          SmallResult(LoadLE<int16_t>(l), LoadLE<int16_t>(r), op, -32768, 32767)));
    case S::Byte:
      return MakeFixedValue<uint8_t>(
          static_cast<uint8_t>(SmallResult(LoadLE<uint8_t>(l), LoadLE<uint8_t>(r), op, 0, 255)));
    case S::Word:
      return MakeFixedValue<uint16_t>(static_cast<uint16_t>(
          SmallResult(LoadLE<uint16_t>(l), LoadLE<uint16_t>(r), op, 0, 65535)));
    case S::Integer:
      return MakeFixedValue<int32_t>(
          WrapResult<int32_t, uint32_t>(LoadLE<int32_t>(l), LoadLE<int32_t>(r), op));
    case S::Cardinal:
      return MakeFixedValue<uint32_t>(
          WrapResult<uint32_t, uint32_t>(LoadLE<uint32_t>(l), LoadLE<uint32_t>(r), op));
    case S::LargeInt:
      return MakeFixedValue<int64_t>(
          WrapResult<int64_t, uint64_t>(LoadLE<int64_t>(l), LoadLE<int64_t>(r), op));
    case S::Single:
      return MakeFixedValue<float>(FloatResult(LoadLE<float>(l), LoadLE<float>(r), op));
    case S::Float:
    case S::Currency:
      return MakeFixedValue<double>(FloatResult(LoadLE<double>(l), LoadLE<double>(r), op));
    case S::Extended: {
      TABSMemoryBlock block(kExtendedSize);
      EncodeExtended(block.data(), FloatResult(DecodeExtended(l), DecodeExtended(r), op));
      return block;
    }
    case S::Date:
      return MakeFixedValue<int32_t>(
          CalendarDayResult(LoadLE<int32_t>(l), LoadLE<int32_t>(r), op, S::Date));
    case S::Time: {
      int64_t ms = DayResult(LoadLE<int32_t>(l), LoadLE<int32_t>(r), op);
      if (ms < std::numeric_limits<int32_t>::min() || ms > std::numeric_limits<int32_t>::max()) {
        LeavesCalendar(S::Time);
      }
      return MakeFixedValue<int32_t>(static_cast<int32_t>(ms));
    }
    case S::DateTime:
      return DateTimeResult(l, r, op);
    case S::Logical:
      return MakeFixedValue<uint16_t>(
          LoadLE<uint16_t>(l) != 0 || LoadLE<uint16_t>(r) != 0 ? kLogicalTrue : 0);
    default:
      break;
  }
  throw EABSException(NotNumericError(op), {OperatorText(op)});
}

}  // namespace

void TABSVariant::Operate(const TABSVariant& right, Operation operation) {
  const Op op = operation == Operation::kAdd        ? Op::kAdd
                : operation == Operation::kMultiply ? Op::kMultiply
                                                    : Op::kDivide;
  if (right.IsNull()) {
    if (operation != Operation::kAdd || !IsStringStorage(type_)) SetNull();
    return;
  }
  if (IsNull()) {
    if (operation == Operation::kAdd) Assign(right, true);
    return;
  }
  const S result = ResultType(type_, right.type_, false);
  if (result == S::None) throw EABSException(NotNumericError(op), {OperatorText(op)});
  TABSMemoryBlock left_converted;
  TABSMemoryBlock right_converted;
  const void* l = data_;
  const void* r = right.data_;
  int32_t lsize = data_size_;
  int32_t rsize = right.data_size_;
  if (type_ != result) {
    left_converted = ConvertValue(data_, data_size_, type_, result);
    l = left_converted.data();
    lsize = static_cast<int32_t>(left_converted.size());
  } else {
    CheckFixedValueSize(lsize, result);
  }
  if (right.type_ != result) {
    right_converted = ConvertValue(right.data_, right.data_size_, right.type_, result);
    r = right_converted.data();
    rsize = static_cast<int32_t>(right_converted.size());
  } else {
    CheckFixedValueSize(rsize, result);
  }
  TakeBlock(result, Compute(result, static_cast<const uint8_t*>(l), lsize,
                            static_cast<const uint8_t*>(r), rsize, op));
}

void TABSVariant::Add(const TABSVariant& right) { Operate(right, Operation::kAdd); }

void TABSVariant::Multiply(const TABSVariant& right) { Operate(right, Operation::kMultiply); }

void TABSVariant::Divide(const TABSVariant& right) {
  try {
    Operate(right, Operation::kDivide);
  } catch (const EABSException&) {
    throw;
  } catch (const std::exception& e) {
    throw EABSException(native::kDivisionError, {std::string_view(e.what())});
  }
}

void TABSVariant::Negate() {
  if (IsNull()) return;
  auto range = [](int64_t v, int64_t low, int64_t high) {
    if (v < low || v > high) throw ERangeError();
    return v;
  };
  switch (type_) {
    case S::ShortInt:
      TakeBlock(S::ShortInt, MakeFixedValue<int8_t>(
                                 static_cast<int8_t>(range(-int64_t{AsShortInt()}, -128, 127))));
      return;
    case S::SmallInt:
      TakeBlock(S::SmallInt, MakeFixedValue<int16_t>(static_cast<int16_t>(
                                 range(-int64_t{AsSmallInt()}, -32768, 32767))));
      return;
    case S::Integer:
      TakeBlock(S::Integer, MakeFixedValue<int32_t>(
                                static_cast<int32_t>(0u - static_cast<uint32_t>(AsInteger()))));
      return;
    case S::LargeInt:
      TakeBlock(S::LargeInt, MakeFixedValue<int64_t>(static_cast<int64_t>(
                                 uint64_t{0} - static_cast<uint64_t>(AsLargeInt()))));
      return;
    case S::Byte:
      TakeBlock(S::ShortInt,
                MakeFixedValue<int8_t>(static_cast<int8_t>(range(-int64_t{AsByte()}, -128, 127))));
      return;
    case S::Word:
      TakeBlock(S::SmallInt, MakeFixedValue<int16_t>(
                                 static_cast<int16_t>(range(-int64_t{AsWord()}, -32768, 32767))));
      return;
    case S::Cardinal:
      TakeBlock(S::Integer, MakeFixedValue<int32_t>(static_cast<int32_t>(
                                range(-int64_t{AsCardinal()}, std::numeric_limits<int32_t>::min(),
                                      std::numeric_limits<int32_t>::max()))));
      return;
    case S::Date: {
      int64_t day = -int64_t{AsDate()};
      if (day > std::numeric_limits<int32_t>::max()) LeavesCalendar(S::Date);
      TakeBlock(S::Date, MakeFixedValue<int32_t>(static_cast<int32_t>(day)));
      return;
    }
    case S::Single:
      TakeBlock(S::Single, MakeFixedValue<float>(-AsSingle()));
      return;
    case S::Float:
      TakeBlock(S::Float, MakeFixedValue<double>(-AsFloat()));
      return;
    case S::Currency:
      TakeBlock(S::Currency, MakeFixedValue<double>(-AsCurrency()));
      return;
    case S::Extended: {
      TABSMemoryBlock block(kExtendedSize);
      EncodeExtended(block.data(), -AsExtended());
      TakeBlock(S::Extended, std::move(block));
      return;
    }
    case S::Logical:
      TakeBlock(S::Logical, MakeFixedValue<uint16_t>(AsLogical() ? 0 : kLogicalTrue));
      return;
    default:
      throw EABSException(native::kNegateNotNumeric, {StorageTypeName(type_)});
  }
}

}  // namespace kelvorin
