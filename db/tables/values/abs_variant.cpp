// TABSVariant: storage, typed access, conversion and comparison.
#include "db/tables/values/abs_variant.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/value_convert.h"
#include "db/tables/values/value_encoding.h"
#include "db/tables/values/value_errors.h"

namespace kelvorin {
namespace {

using S = TABSStorageType;

template <typename T>
T Decode(const TABSMemoryBlock& block) {
  return LoadLE<T>(block.data());
}

// Whether `size` bytes of a string type hold no more than the terminator.
bool IsEmptyText(TABSStorageType type, int64_t size) {
  return IsStringStorage(type) && size <= (IsWideStringStorage(type) ? 2 : 1);
}

// Converts a calendar value or raises the conversion error for `target`.
void CalendarParts(double value, TABSStorageType target, int32_t* day, int32_t* ms) {
  if (!CalendarToDayMs(value, day, ms)) {
    throw EABSException(native::kConversionFailed,
                        {StorageTypeName(S::Float), StorageTypeName(target)});
  }
}

}  // namespace

TABSVariant::TABSVariant(const TABSVariant& other) : type_(other.type_) { Assign(other, true); }

TABSVariant& TABSVariant::operator=(const TABSVariant& other) {
  if (this != &other) Assign(other, true);
  return *this;
}

TABSVariant::TABSVariant(TABSVariant&& other) noexcept
    : type_(other.type_),
      data_size_(other.data_size_),
      data_(other.data_),
      owned_(std::move(other.owned_)),
      shared_(other.shared_),
      null_marker_(other.null_marker_) {
  other.data_ = nullptr;
  other.data_size_ = 0;
  other.shared_ = false;
  other.null_marker_ = kNullMarker;
}

TABSVariant& TABSVariant::operator=(TABSVariant&& other) noexcept {
  if (this != &other) {
    type_ = other.type_;
    data_size_ = other.data_size_;
    data_ = other.data_;
    owned_ = std::move(other.owned_);
    shared_ = other.shared_;
    null_marker_ = other.null_marker_;
    other.data_ = nullptr;
    other.data_size_ = 0;
    other.shared_ = false;
    other.null_marker_ = kNullMarker;
  }
  return *this;
}

void TABSVariant::Clear(TABSStorageType type) {
  // Values that point into records are cleared per row: no manager call then.
  if (!owned_.empty()) owned_.Free();
  type_ = type;
  data_size_ = 0;
  data_ = nullptr;
  shared_ = false;
  null_marker_ = kNullMarker;
}

void TABSVariant::TakeBlock(TABSStorageType type, TABSMemoryBlock block) {
  // An empty string is NULL (a TIME of 0 converts to one, for example).
  if (IsEmptyText(type, block.size())) {
    Clear(type);
    return;
  }
  owned_ = std::move(block);
  type_ = type;
  data_size_ = static_cast<int32_t>(owned_.size());
  data_ = owned_.data();
  shared_ = false;
  null_marker_ = data_ == nullptr ? kNullMarker : 0;
}

void TABSVariant::Assign(const TABSVariant& source, bool copy) {
  if (this == &source) return;
  if (source.IsNull()) {
    Clear(source.type_);
    return;
  }
  SetRaw(source.data_, source.data_size_, source.type_, copy);
}

void TABSVariant::SetRaw(const void* buffer, int32_t size, TABSStorageType type, bool copy) {
  if (buffer == nullptr || size <= 0) {
    Clear(type);
    return;
  }
  // Pointing at bytes of our own buffer would leave them dangling after the
  // buffer is released, so those are copied.
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  const bool inside_own =
      !owned_.empty() && bytes >= owned_.bytes() && bytes < owned_.bytes() + owned_.size();
  if (!copy && !inside_own) {
    Clear(type);
    data_ = buffer;
    data_size_ = size;
    shared_ = true;
    null_marker_ = 0;
    return;
  }
  if (owned_.empty() || owned_.size() != size || inside_own || IsEmptyText(type, size)) {
    TABSMemoryBlock block(size);
    std::memcpy(block.data(), buffer, static_cast<size_t>(size));
    TakeBlock(type, std::move(block));
    return;
  }
  // Same size: the owned buffer is reused.
  std::memmove(owned_.data(), buffer, static_cast<size_t>(size));
  type_ = type;
  data_ = owned_.data();
  data_size_ = size;
  shared_ = false;
  null_marker_ = 0;
}

bool TABSVariant::GetRaw(void* buffer, int32_t buffer_size) const {
  if (IsNull()) return false;
  if (IsStringStorage(type_) && data_size_ <= 1) return false;
  if (buffer_size >= 0 && buffer_size < data_size_) {
    throw EABSException(native::kGetRawBufferSizeExceeded);
  }
  std::memcpy(buffer, data_, static_cast<size_t>(data_size_));
  return true;
}

void TABSVariant::SetTyped(TABSStorageType setter_type, const void* bytes, int32_t size) {
  if (type_ == S::None || type_ == setter_type) {
    SetRaw(bytes, size, setter_type, true);
    return;
  }
  TakeBlock(type_, ConvertValue(bytes, size, setter_type, type_));
}

void TABSVariant::SetShortInt(int8_t v) { SetTyped(S::ShortInt, &v, 1); }
void TABSVariant::SetByte(uint8_t v) { SetTyped(S::Byte, &v, 1); }

#define KELVORIN_FIXED_SETTER(Name, CType, Storage) \
  void TABSVariant::Name(CType v) {                 \
    uint8_t bytes[sizeof(CType)];                   \
    StoreLE<CType>(bytes, v);                       \
    SetTyped(Storage, bytes, sizeof bytes);         \
  }
KELVORIN_FIXED_SETTER(SetSmallInt, int16_t, S::SmallInt)
KELVORIN_FIXED_SETTER(SetInteger, int32_t, S::Integer)
KELVORIN_FIXED_SETTER(SetLargeInt, int64_t, S::LargeInt)
KELVORIN_FIXED_SETTER(SetWord, uint16_t, S::Word)
KELVORIN_FIXED_SETTER(SetCardinal, uint32_t, S::Cardinal)
KELVORIN_FIXED_SETTER(SetSingle, float, S::Single)
KELVORIN_FIXED_SETTER(SetFloat, double, S::Float)
KELVORIN_FIXED_SETTER(SetDate, int32_t, S::Date)
KELVORIN_FIXED_SETTER(SetTime, int32_t, S::Time)
KELVORIN_FIXED_SETTER(SetCurrency, double, S::Currency)
#undef KELVORIN_FIXED_SETTER

void TABSVariant::SetExtended(long double v) {
  uint8_t bytes[kExtendedSize];
  EncodeExtended(bytes, v);
  SetTyped(S::Extended, bytes, kExtendedSize);
}

void TABSVariant::SetDateTime(int32_t day_number, int32_t milliseconds) {
  uint8_t bytes[8];
  StoreLE<int32_t>(bytes, day_number);
  StoreLE<int32_t>(bytes + 4, milliseconds);
  SetTyped(S::DateTime, bytes, 8);
}

void TABSVariant::SetDateFromCalendar(double value) {
  int32_t day = 0;
  int32_t ms = 0;
  CalendarParts(value, S::Date, &day, &ms);
  SetDate(day);
}

void TABSVariant::SetTimeFromCalendar(double value) {
  int32_t day = 0;
  int32_t ms = 0;
  CalendarParts(value, S::Time, &day, &ms);
  SetTime(ms);
}

void TABSVariant::SetDateTimeFromCalendar(double value) {
  int32_t day = 0;
  int32_t ms = 0;
  CalendarParts(value, S::DateTime, &day, &ms);
  SetDateTime(day, ms);
}

void TABSVariant::SetLogical(bool v) {
  uint8_t bytes[2];
  StoreLE<uint16_t>(bytes, v ? kLogicalTrue : 0);
  SetTyped(S::Logical, bytes, 2);
}

void TABSVariant::SetString(std::string_view v) {
  if (v.empty()) {
    Clear(type_ == S::None ? S::String : type_);
    return;
  }
  TABSMemoryBlock text = MakeAnsiValue(v);
  SetTyped(S::String, text.data(), static_cast<int32_t>(text.size()));
}

void TABSVariant::SetWideString(std::u16string_view v) {
  if (v.empty()) {
    Clear(type_ == S::None ? S::WideString : type_);
    return;
  }
  TABSMemoryBlock text = MakeWideValue(v);
  SetTyped(S::WideString, text.data(), static_cast<int32_t>(text.size()));
}

void TABSVariant::CheckNotNull() const {
  if (IsNull()) throw EABSException(native::kGetterValueIsNull);
}

TABSMemoryBlock TABSVariant::DataAs(TABSStorageType type) const {
  CheckNotNull();
  if (type == type_ && FixedValueSize(type) > 0 && data_size_ >= FixedValueSize(type)) {
    TABSMemoryBlock copy(data_size_);
    std::memcpy(copy.data(), data_, static_cast<size_t>(data_size_));
    return copy;
  }
  return ConvertValue(data_, data_size_, type_, type);
}

#define KELVORIN_FIXED_GETTER(Name, CType, Storage)                                         \
  CType TABSVariant::Name() const {                                                         \
    if (type_ == Storage && !IsNull() && data_size_ >= static_cast<int32_t>(sizeof(CType))) \
      return LoadLE<CType>(data_);                                                          \
    return Decode<CType>(DataAs(Storage));                                                  \
  }
KELVORIN_FIXED_GETTER(AsShortInt, int8_t, S::ShortInt)
KELVORIN_FIXED_GETTER(AsSmallInt, int16_t, S::SmallInt)
KELVORIN_FIXED_GETTER(AsInteger, int32_t, S::Integer)
KELVORIN_FIXED_GETTER(AsLargeInt, int64_t, S::LargeInt)
KELVORIN_FIXED_GETTER(AsByte, uint8_t, S::Byte)
KELVORIN_FIXED_GETTER(AsWord, uint16_t, S::Word)
KELVORIN_FIXED_GETTER(AsCardinal, uint32_t, S::Cardinal)
KELVORIN_FIXED_GETTER(AsSingle, float, S::Single)
KELVORIN_FIXED_GETTER(AsFloat, double, S::Float)
KELVORIN_FIXED_GETTER(AsDate, int32_t, S::Date)
KELVORIN_FIXED_GETTER(AsTime, int32_t, S::Time)
KELVORIN_FIXED_GETTER(AsCurrency, double, S::Currency)
#undef KELVORIN_FIXED_GETTER

long double TABSVariant::AsExtended() const {
  if (type_ == S::Extended && !IsNull() && data_size_ >= kExtendedSize)
    return DecodeExtended(data_);
  return DecodeExtended(DataAs(S::Extended).data());
}

void TABSVariant::AsDateTime(int32_t* day_number, int32_t* milliseconds) const {
  TABSMemoryBlock block = DataAs(S::DateTime);
  *day_number = LoadLE<int32_t>(block.bytes());
  *milliseconds = LoadLE<int32_t>(block.bytes() + 4);
}

double TABSVariant::AsCalendarDateTime() const {
  int32_t day = 0;
  int32_t ms = 0;
  AsDateTime(&day, &ms);
  if (day == kEmptyDate) return static_cast<double>(ms) / kMillisecondsPerDay;
  return DayMsToCalendar(day, ms);
}

bool TABSVariant::AsLogical() const { return LoadLE<uint16_t>(DataAs(S::Logical).data()) != 0; }

std::string TABSVariant::AsString() const {
  CheckNotNull();
  if (IsStringStorage(type_)) return AnsiTextOf(data_, data_size_, type_);
  TABSMemoryBlock text = ConvertValue(data_, data_size_, type_, S::String);
  return AnsiTextOf(text.data(), static_cast<int32_t>(text.size()), S::String);
}

std::u16string TABSVariant::AsWideString() const {
  CheckNotNull();
  if (IsStringStorage(type_)) return WideTextOf(data_, data_size_, type_);
  TABSMemoryBlock text = ConvertValue(data_, data_size_, type_, S::WideString);
  return WideTextOf(text.data(), static_cast<int32_t>(text.size()), S::WideString);
}

void TABSVariant::ConvertTo(TABSStorageType type) {
  if (type == type_) return;
  if (IsNull()) {
    Clear(type);
    return;
  }
  TakeBlock(type, ConvertValue(data_, data_size_, type_, type));
}

void TABSVariant::ChangeType(TABSStorageType type) {
  if (type == type_) return;
  if (IsNull()) {
    Clear(type);
    return;
  }
  try {
    ConvertTo(type);
  } catch (const EABSException&) {
    Clear(type);
  }
}

int32_t TABSVariant::StringLength() const {
  if (IsNull() || !IsStringStorage(type_)) return -1;
  return IsWideStringStorage(type_) ? data_size_ / 2 - 1 : data_size_ - 1;
}

TABSCompareResult TABSVariant::Compare(const TABSVariant& other, bool raw_codes, bool prefix,
                                       bool case_insensitive) const {
  int32_t limit = -1;
  if (prefix) {
    const int32_t a = StringLength();
    const int32_t b = other.StringLength();
    limit = a < 0 || b < 0 ? -1 : std::min(a, b);
  }
  TABSCompareResult r =
      CompareValues(data_, other.data_, type_, other.type_, IsNull(), other.IsNull(),
                    case_insensitive, limit, data_size_, other.data_size_);
  if (!raw_codes) {
    if (r == kCompareLeftNull) return kCompareLess;
    if (r == kCompareRightNull) return kCompareGreater;
    if (r == kCompareBothNull) return kCompareEqual;
  }
  return r;
}

}  // namespace kelvorin
