// The conversion matrix: every source class decodes its value and hands it to
// the encoder of the target type, which checks the target's range.
#include "db/tables/values/value_convert.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/value_encoding.h"
#include "db/tables/values/value_errors.h"
#include "db/tables/values/value_text.h"
#include "platform/locale_code_page.h"
#include "platform/locale_datetime.h"
#include "platform/locale_profile.h"

namespace kelvorin {
namespace {

using S = TABSStorageType;

class Converter {
 public:
  Converter(const void* data, int32_t size, S from, S to)
      : data_(static_cast<const uint8_t*>(data)), size_(size), from_(from), to_(to) {}

  TABSMemoryBlock Run();

 private:
  [[noreturn]] void Fail() const {
    throw EABSException(native::kConversionFailed, {StorageTypeName(from_), StorageTypeName(to_)});
  }
  [[noreturn]] void Unsupported() const {
    throw EABSException(native::kConversionUnsupported,
                        {StorageTypeName(from_), StorageTypeName(to_)});
  }

  TABSMemoryBlock FromText(const std::string& text, const std::u16string* wide);
  TABSMemoryBlock FromInteger(int64_t value);
  TABSMemoryBlock FromFloat(long double value);
  TABSMemoryBlock FromDate(int32_t day);
  TABSMemoryBlock FromTime(int32_t ms);
  TABSMemoryBlock FromDateTime(int32_t day, int32_t ms);
  TABSMemoryBlock FromLogical(bool value);
  TABSMemoryBlock FromCurrency(double value);

  // Encoders of the target type.
  TABSMemoryBlock Integer(int64_t value) const;
  TABSMemoryBlock Float(long double value) const;
  TABSMemoryBlock Text(const std::string& ansi) const;
  TABSMemoryBlock Date(int64_t day) const;
  TABSMemoryBlock Time(int64_t ms) const;
  TABSMemoryBlock DateTime(int64_t day, int64_t ms) const;
  TABSMemoryBlock Logical(bool value) const;
  TABSMemoryBlock Currency(long double value) const;
  TABSMemoryBlock Copy() const;

  int64_t TruncateToInt64(long double value) const;

  const uint8_t* data_;
  int32_t size_;
  S from_;
  S to_;
};

bool FitsInt32(int64_t v) {
  return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

const platform::LocaleProfile& Locale() { return platform::CurrentLocale(); }

platform::DateTimeFields FieldsOfDay(int32_t day) {
  TABSCivilDate date = CivilDateOf(day);
  platform::DateTimeFields f;
  f.year = date.year;
  f.month = date.month;
  f.day = date.day;
  f.day_of_week = date.day_of_week;
  return f;
}

void SetTimeFields(int32_t ms, platform::DateTimeFields* f) {
  f->hour = ms / 3600000;
  f->minute = ms / 60000 % 60;
  f->second = ms / 1000 % 60;
  f->millisecond = ms % 1000;
}

int32_t MillisecondsOf(const platform::DateTimeFields& f) {
  return ((f.hour * 60 + f.minute) * 60 + f.second) * 1000 + f.millisecond;
}

bool IsTimeOfDay(int64_t ms) { return ms >= 0 && ms < kMillisecondsPerDay; }

TABSMemoryBlock Converter::Run() {
  if (IsBlobStorage(from_) && from_ != S::Blob) Unsupported();
  if (IsBlobStorage(to_) && to_ != S::Blob) Unsupported();
  if (from_ == S::Bytes || from_ == S::VarBytes || to_ == S::Bytes || to_ == S::VarBytes) {
    Unsupported();
  }
  const int32_t fixed = FixedValueSize(from_);
  if (fixed > 0 && size_ >= 0 && size_ < fixed) Fail();
  switch (from_) {
    case S::Char:
    case S::String:
      return FromText(AnsiTextOf(data_, size_, from_), nullptr);
    case S::WideChar:
    case S::WideString: {
      std::u16string wide = WideTextOf(data_, size_, from_);
      return FromText(platform::WideToAnsi(wide), &wide);
    }
    case S::Blob: {
      const size_t n = size_ < 0 ? 0 : static_cast<size_t>(size_);
      return FromText(std::string(reinterpret_cast<const char*>(data_), n), nullptr);
    }
    case S::ShortInt:
      return FromInteger(LoadLE<int8_t>(data_));
    case S::SmallInt:
      return FromInteger(LoadLE<int16_t>(data_));
    case S::Integer:
      return FromInteger(LoadLE<int32_t>(data_));
    case S::LargeInt:
      return FromInteger(LoadLE<int64_t>(data_));
    case S::Byte:
      return FromInteger(LoadLE<uint8_t>(data_));
    case S::Word:
      return FromInteger(LoadLE<uint16_t>(data_));
    case S::Cardinal:
      return FromInteger(LoadLE<uint32_t>(data_));
    case S::Single:
      return FromFloat(LoadLE<float>(data_));
    case S::Float:
      return FromFloat(LoadLE<double>(data_));
    case S::Extended:
      return FromFloat(DecodeExtended(data_));
    case S::Date:
      return FromDate(LoadLE<int32_t>(data_));
    case S::Time:
      return FromTime(LoadLE<int32_t>(data_));
    case S::DateTime:
      return FromDateTime(LoadLE<int32_t>(data_), LoadLE<int32_t>(data_ + 4));
    case S::Logical:
      return FromLogical(LoadLE<uint16_t>(data_) != 0);
    case S::Currency:
      return FromCurrency(LoadLE<double>(data_));
    default:
      Unsupported();
  }
}

TABSMemoryBlock Converter::FromText(const std::string& text, const std::u16string* wide) {
  if (IsStringStorage(to_)) {
    if (IsWideStringStorage(to_)) return MakeWideValue(wide ? *wide : platform::AnsiToWide(text));
    return MakeAnsiValue(text);
  }
  if (to_ == S::Blob) {
    // A wide string keeps its UTF-16 bytes.
    const size_t n = wide ? wide->size() * 2 : text.size();
    if (n == 0) return TABSMemoryBlock();
    TABSMemoryBlock block(static_cast<int64_t>(n));
    if (wide) {
      for (size_t i = 0; i < wide->size(); ++i)
        StoreLE<uint16_t>(block.bytes() + 2 * i, (*wide)[i]);
    } else {
      std::memcpy(block.data(), text.data(), n);
    }
    return block;
  }
  if (IsIntegerStorage(to_)) {
    int32_t v = 0;
    if (!ParseInt32Text(text, &v)) Fail();
    // Text becomes a CARDINAL only within the signed 32-bit range.
    if (to_ == S::Cardinal && v < 0) Fail();
    return Integer(v);
  }
  if (IsFloatStorage(to_)) {
    long double v = 0;
    if (!ParseFloatText(text, &v)) Fail();
    return Float(v);
  }
  const platform::LocaleProfile& locale = Locale();
  platform::DateTimeFields f;
  switch (to_) {
    case S::Date:
      if (!platform::ParseDate(text, locale, &f)) Fail();
      return Date(DayNumberOf(f.year, f.month, f.day));
    case S::Time:
      if (!platform::ParseTime(text, locale, &f)) Fail();
      return Time(MillisecondsOf(f));
    case S::DateTime:
      if (!platform::ParseDateTime(text, locale, &f)) Fail();
      return DateTime(DayNumberOf(f.year, f.month, f.day), MillisecondsOf(f));
    case S::Logical: {
      const std::string upper = locale.UpperAnsi(text);
      return Logical(upper == "1" || upper == "TRUE");
    }
    case S::Currency: {
      double v = 0;
      if (!ParseCurrencyText(text, locale.formats().decimal_separator, &v)) Fail();
      return Currency(v);
    }
    default:
      Unsupported();
  }
}

TABSMemoryBlock Converter::FromInteger(int64_t value) {
  if (IsStringStorage(to_)) return Text(std::to_string(value));
  if (IsIntegerStorage(to_)) return Integer(value);
  if (IsFloatStorage(to_)) return Float(static_cast<long double>(value));
  switch (to_) {
    case S::Currency:
      return Currency(static_cast<double>(value));
    case S::Date:
      if (!FitsInt32(value)) Fail();
      return MakeFixedValue<int32_t>(static_cast<int32_t>(value));
    case S::Time:
      return Time(value);
    case S::DateTime:
      if (!FitsInt32(value)) Fail();
      return DateTime(value, 0);
    case S::Logical:
      return Logical(value != 0);
    default:
      Unsupported();
  }
}

int64_t Converter::TruncateToInt64(long double value) const {
  if (!std::isfinite(value)) Fail();
  long double whole = std::trunc(value);
  // 2^63 is exactly representable; anything at or beyond it does not fit.
  if (whole >= 9223372036854775808.0L || whole < -9223372036854775808.0L) Fail();
  return static_cast<int64_t>(whole);
}

TABSMemoryBlock Converter::FromFloat(long double value) {
  if (IsStringStorage(to_)) {
    return Text(FormatFloatGeneral(value, Locale().formats().decimal_separator));
  }
  if (IsIntegerStorage(to_)) return Integer(TruncateToInt64(value));
  if (IsFloatStorage(to_)) return Float(value);
  switch (to_) {
    case S::Currency:
      return Currency(value);
    case S::Date: {
      int64_t day = TruncateToInt64(value);
      if (!FitsInt32(day)) Fail();
      return MakeFixedValue<int32_t>(static_cast<int32_t>(day));
    }
    case S::Time:
      return Time(TruncateToInt64(value) % kMillisecondsPerDay);
    case S::DateTime: {
      int64_t day = TruncateToInt64(value);
      if (!FitsInt32(day)) Fail();
      long double fraction = std::fabs(value - std::trunc(value));
      return DateTime(day, static_cast<int64_t>(fraction * kMillisecondsPerDay));
    }
    case S::Logical:
      return Logical(value != 0);
    default:
      Unsupported();
  }
}

TABSMemoryBlock Converter::FromDate(int32_t day) {
  if (IsStringStorage(to_)) {
    if (day == kEmptyDate) return Text(std::string());
    if (!IsCalendarDay(day)) Fail();
    return Text(platform::FormatShortDate(FieldsOfDay(day), Locale()));
  }
  if (IsIntegerStorage(to_)) return Integer(day);
  if (IsFloatStorage(to_)) return Float(day);
  switch (to_) {
    case S::Currency:
      return Currency(day);
    case S::Date:
      return Copy();
    case S::Time:
      return Time(day % kMillisecondsPerDay);
    case S::DateTime:
      return DateTime(day, 0);
    case S::Logical:
      return Logical(day != kEmptyDate);
    default:
      Unsupported();
  }
}

TABSMemoryBlock Converter::FromTime(int32_t ms) {
  if (IsStringStorage(to_)) {
    if (ms == 0) return Text(std::string());
    if (!IsTimeOfDay(ms)) Fail();
    platform::DateTimeFields f;
    SetTimeFields(ms, &f);
    return Text(platform::FormatLongTime(f, Locale()));
  }
  if (IsIntegerStorage(to_)) return Integer(ms);
  if (IsFloatStorage(to_)) return Float(ms);
  switch (to_) {
    case S::Currency:
      return Currency(ms);
    case S::Date:
      return MakeFixedValue<int32_t>(ms);
    case S::Time:
      return Copy();
    case S::DateTime:
      return DateTime(kEmptyDate, ms);
    case S::Logical:
      return Logical(ms != 0);
    default:
      Unsupported();
  }
}

TABSMemoryBlock Converter::FromDateTime(int32_t day, int32_t ms) {
  if (IsStringStorage(to_)) {
    if (day == kEmptyDate && ms == 0) return Text(std::string());
    if (!IsTimeOfDay(ms) || (day != kEmptyDate && !IsCalendarDay(day))) Fail();
    const platform::LocaleProfile& locale = Locale();
    platform::DateTimeFields f;
    std::string text;
    if (day != kEmptyDate) {
      f = FieldsOfDay(day);
      text = platform::FormatShortDate(f, locale);
    }
    // A date-time shows its time unless it is midnight; one without a date
    // shows only the time.
    if (ms != 0) {
      SetTimeFields(ms, &f);
      if (!text.empty()) text += ' ';
      text += platform::FormatLongTime(f, locale);
    }
    return Text(text);
  }
  const long double sum = (day == kEmptyDate ? 0.0L : static_cast<long double>(day)) +
                          static_cast<long double>(ms) / kMillisecondsPerDay;
  if (IsIntegerStorage(to_)) return Integer(day);
  if (IsFloatStorage(to_)) return Float(sum);
  switch (to_) {
    case S::Currency:
      return Currency(std::nearbyint(static_cast<double>(sum) * 10000.0) / 10000.0);
    case S::Date:
      return MakeFixedValue<int32_t>(day);
    case S::Time:
      return MakeFixedValue<int32_t>(ms);
    case S::DateTime:
      return Copy();
    case S::Logical:
      return Logical(day != kEmptyDate || ms != 0);
    default:
      Unsupported();
  }
}

TABSMemoryBlock Converter::FromLogical(bool value) {
  if (IsStringStorage(to_)) return Text(value ? "True" : "False");
  if (IsIntegerStorage(to_)) return Integer(value ? 1 : 0);
  if (IsFloatStorage(to_)) return Float(value ? 1 : 0);
  if (to_ == S::Logical) return Copy();
  Unsupported();
}

TABSMemoryBlock Converter::FromCurrency(double value) {
  if (IsStringStorage(to_)) {
    return Text(FormatCurrencyText(value, Locale().formats().decimal_separator));
  }
  if (IsIntegerStorage(to_)) return Integer(TruncateToInt64(value));
  if (IsFloatStorage(to_)) return Float(value);
  if (to_ == S::Logical) return Logical(value != 0);
  if (to_ == S::Currency) return Copy();
  Unsupported();
}

TABSMemoryBlock Converter::Integer(int64_t v) const {
  auto in = [&](int64_t low, int64_t high) {
    if (v < low || v > high) Fail();
  };
  switch (to_) {
    case S::ShortInt:
      in(-128, 127);
      return MakeFixedValue<int8_t>(static_cast<int8_t>(v));
    case S::SmallInt:
      in(-32768, 32767);
      return MakeFixedValue<int16_t>(static_cast<int16_t>(v));
    case S::Integer:
      in(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
      return MakeFixedValue<int32_t>(static_cast<int32_t>(v));
    case S::LargeInt:
      return MakeFixedValue<int64_t>(v);
    case S::Byte:
      in(0, 255);
      return MakeFixedValue<uint8_t>(static_cast<uint8_t>(v));
    case S::Word:
      in(0, 65535);
      return MakeFixedValue<uint16_t>(static_cast<uint16_t>(v));
    case S::Cardinal:
      in(0, std::numeric_limits<uint32_t>::max());
      return MakeFixedValue<uint32_t>(static_cast<uint32_t>(v));
    default:
      Unsupported();
  }
}

TABSMemoryBlock Converter::Float(long double v) const {
  switch (to_) {
    case S::Single:
      if (std::isfinite(v) && std::fabs(v) > std::numeric_limits<float>::max()) Fail();
      return MakeFixedValue<float>(static_cast<float>(v));
    case S::Float:
      if (std::isfinite(v) && std::fabs(v) > std::numeric_limits<double>::max()) Fail();
      return MakeFixedValue<double>(static_cast<double>(v));
    case S::Extended: {
      TABSMemoryBlock block(kExtendedSize);
      EncodeExtended(block.data(), v);
      return block;
    }
    default:
      Unsupported();
  }
}

TABSMemoryBlock Converter::Text(const std::string& ansi) const {
  if (IsWideStringStorage(to_)) return MakeWideValue(platform::AnsiToWide(ansi));
  return MakeAnsiValue(ansi);
}

TABSMemoryBlock Converter::Date(int64_t day) const {
  if (!FitsInt32(day)) Fail();
  return MakeFixedValue<int32_t>(static_cast<int32_t>(day));
}

TABSMemoryBlock Converter::Time(int64_t ms) const {
  if (!FitsInt32(ms)) Fail();
  return MakeFixedValue<int32_t>(static_cast<int32_t>(ms));
}

TABSMemoryBlock Converter::DateTime(int64_t day, int64_t ms) const {
  if (!FitsInt32(day) || !FitsInt32(ms)) Fail();
  TABSMemoryBlock block(8);
  StoreLE<int32_t>(block.bytes(), static_cast<int32_t>(day));
  StoreLE<int32_t>(block.bytes() + 4, static_cast<int32_t>(ms));
  return block;
}

TABSMemoryBlock Converter::Logical(bool value) const {
  return MakeFixedValue<uint16_t>(value ? kLogicalTrue : 0);
}

TABSMemoryBlock Converter::Currency(long double value) const {
  // An amount is a double: a larger EXTENDED does not fit.
  if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<double>::max()) Fail();
  return MakeFixedValue<double>(static_cast<double>(value));
}

TABSMemoryBlock Converter::Copy() const {
  const int32_t n = FixedValueSize(from_);
  TABSMemoryBlock block(n);
  std::memcpy(block.data(), data_, static_cast<size_t>(n));
  return block;
}

}  // namespace

size_t AnsiLength(const void* data, int32_t size) {
  const char* text = static_cast<const char*>(data);
  if (size < 0) return std::strlen(text);
  const void* nul = std::memchr(text, 0, static_cast<size_t>(size));
  return nul ? static_cast<size_t>(static_cast<const char*>(nul) - text)
             : static_cast<size_t>(size);
}

size_t WideLength(const void* data, int32_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  const size_t units =
      size < 0 ? std::numeric_limits<size_t>::max() : static_cast<size_t>(size) / 2;
  size_t n = 0;
  while (n < units && LoadLE<uint16_t>(bytes + 2 * n) != 0) ++n;
  return n;
}

std::string AnsiTextOf(const void* data, int32_t size, TABSStorageType type) {
  if (IsWideStringStorage(type)) return platform::WideToAnsi(WideTextOf(data, size, type));
  return std::string(static_cast<const char*>(data), AnsiLength(data, size));
}

std::u16string WideTextOf(const void* data, int32_t size, TABSStorageType type) {
  if (!IsWideStringStorage(type)) {
    return platform::AnsiToWide(
        std::string_view(static_cast<const char*>(data), AnsiLength(data, size)));
  }
  const size_t n = WideLength(data, size);
  std::u16string text(n, u'\0');
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < n; ++i) text[i] = LoadLE<uint16_t>(bytes + 2 * i);
  return text;
}

TABSMemoryBlock MakeAnsiValue(std::string_view text) {
  TABSMemoryBlock block(static_cast<int64_t>(text.size()) + 1);
  std::memcpy(block.data(), text.data(), text.size());
  block.chars()[text.size()] = '\0';
  return block;
}

TABSMemoryBlock MakeWideValue(std::u16string_view text) {
  TABSMemoryBlock block(2 * (static_cast<int64_t>(text.size()) + 1));
  for (size_t i = 0; i < text.size(); ++i) StoreLE<uint16_t>(block.bytes() + 2 * i, text[i]);
  StoreLE<uint16_t>(block.bytes() + 2 * text.size(), 0);
  return block;
}

void CheckFixedValueSize(int32_t size, TABSStorageType type) {
  const int32_t fixed = FixedValueSize(type);
  if (fixed > 0 && size >= 0 && size < fixed) {
    throw EABSException(native::kConversionFailed, {StorageTypeName(type), StorageTypeName(type)});
  }
}

TABSMemoryBlock ConvertValue(const void* data, int32_t size, TABSStorageType from,
                             TABSStorageType to) {
  if (data == nullptr) throw EABSException(native::kCompareValueIsNull);
  return Converter(data, size, from, to).Run();
}

bool TextNamesTruthValue(std::string_view text) {
  const std::string upper = Locale().UpperAnsi(text);
  return upper == "1" || upper == "0" || upper == "TRUE" || upper == "FALSE";
}

}  // namespace kelvorin
