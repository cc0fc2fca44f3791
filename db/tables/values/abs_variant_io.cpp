// The stream form of TABSVariant and its exchange with the dataset variant.
#include <cstring>
#include <limits>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/abs_variant.h"
#include "db/tables/values/value_convert.h"
#include "db/tables/values/value_encoding.h"
#include "db/tables/values/value_errors.h"

namespace kelvorin {
namespace {

using S = TABSStorageType;

void WriteAll(TABSValueOutput& output, const void* data, int32_t count) {
  const int64_t position = output.Position();
  const int32_t written = output.Write(data, count);
  if (written != count) {
    throw EABSException(native::kValueStreamWriteFailed, {position, output.Size(), count, written});
  }
}

void ReadAll(TABSValueInput& input, void* data, int32_t count) {
  const int64_t position = input.Position();
  const int32_t read = input.Read(data, count);
  if (read != count) {
    throw EABSException(native::kValueStreamReadFailed, {position, input.Size(), count, read});
  }
}

[[noreturn]] void InvalidData(int type, int null_marker, int64_t size) {
  throw EABSException(native::kValueStreamInvalidData, {type, null_marker, size});
}

// Whether `size` bytes are a plausible value of `type` (checked before the
// bytes are read); the string terminator is checked after reading.
bool ValidSize(S type, int32_t size) {
  if (size <= 0) return false;
  const int32_t fixed = FixedValueSize(type);
  if (fixed > 0) return size == fixed;
  if (IsWideStringStorage(type)) return size >= 2 && size % 2 == 0;
  return true;
}

bool Terminated(S type, const uint8_t* data, int32_t size) {
  if (IsWideStringStorage(type)) return LoadLE<uint16_t>(data + size - 2) == 0;
  if (IsStringStorage(type)) return data[size - 1] == 0;
  return true;
}

}  // namespace

void TABSVariant::SaveToStream(TABSValueOutput& output) const {
  // Only what loading accepts is written: a value needs a storage type, a
  // fixed-size one too short for its type is refused, and of a longer one
  // (raw bytes of a wider buffer) only the value's own bytes are written.
  int32_t size = data_size_;
  if (!IsNull()) {
    const int type = static_cast<int>(type_);
    if (type == 0 || type > kMaxStorageType) InvalidData(type, 0, size);
    CheckFixedValueSize(size, type_);
    if (FixedValueSize(type_) > 0) size = FixedValueSize(type_);
  }
  uint8_t header[2] = {static_cast<uint8_t>(type_), IsNull() ? kNullMarker : uint8_t{0}};
  WriteAll(output, header, 2);
  if (IsNull()) return;
  uint8_t size_bytes[4];
  StoreLE<int32_t>(size_bytes, size);
  WriteAll(output, size_bytes, 4);
  WriteAll(output, data_, size);
}

void TABSVariant::LoadFromStream(TABSValueInput& input) {
  Clear(S::None);
  uint8_t header[2];
  ReadAll(input, header, 2);
  const int type = header[0];
  const int null_marker = header[1];
  if (type > kMaxStorageType || (null_marker != 0 && null_marker != kNullMarker) ||
      (type == 0 && null_marker == 0)) {
    InvalidData(type, null_marker, 0);
  }
  if (null_marker == kNullMarker) {
    Clear(static_cast<S>(type));
    return;
  }
  uint8_t size_bytes[4];
  ReadAll(input, size_bytes, 4);
  const int32_t size = LoadLE<int32_t>(size_bytes);
  const S storage = static_cast<S>(type);
  // The size comes from the file: it must suit the type and fit what is left.
  if (!ValidSize(storage, size) || size > input.Size() - input.Position()) {
    InvalidData(type, null_marker, size);
  }
  TABSMemoryBlock block(size);
  ReadAll(input, block.data(), size);
  if (!Terminated(storage, block.bytes(), size)) InvalidData(type, null_marker, size);
  TakeBlock(storage, std::move(block));
}

TDataVariant TABSVariant::ToDataVariant() const {
  if (IsNull()) return TDataVariant::Null();
  switch (type_) {
    case S::SmallInt:
      return TDataVariant::Smallint(AsSmallInt());
    case S::Integer:
      return TDataVariant::Integer(AsInteger());
    case S::Single:
      return TDataVariant::Single(AsSingle());
    case S::Float:
    case S::Currency:
      return TDataVariant::Double(AsFloat());
    case S::Extended:
      return TDataVariant::Double(static_cast<double>(AsExtended()));
    case S::Date:
    case S::Time:
      // As their FLOAT conversion (day number, milliseconds), which the
      // FLOAT setter turns back into the same value.
      return TDataVariant::Double(AsFloat());
    case S::DateTime:
      return TDataVariant::Date(AsCalendarDateTime());
    case S::WideChar:
    case S::WideString:
      // WIDECHAR goes out as a wide string, as CHAR goes out with STRING.
      return TDataVariant::WideString(AsWideString());
    case S::Logical:
      return TDataVariant::Boolean(AsLogical());
    case S::ShortInt:
      return TDataVariant::ShortInt(AsShortInt());
    case S::Byte:
      return TDataVariant::Byte(AsByte());
    case S::Word:
      return TDataVariant::Word(AsWord());
    case S::Cardinal:
      return TDataVariant::LongWord(AsCardinal());
    case S::LargeInt:
      return TDataVariant::Int64(AsLargeInt());
    case S::Char:
    case S::String:
      return TDataVariant::String(AsString());
    case S::Blob:
      return TDataVariant::String(
          std::string_view(static_cast<const char*>(data_), static_cast<size_t>(data_size_)));
    default:
      throw EABSException(native::kToVariantUnsupported, {StorageTypeName(type_)});
  }
}

void TABSVariant::FromDataVariant(const TDataVariant& value) {
  const int64_t i = value.AsInt();
  switch (value.type()) {
    case varEmpty:
    case varNull:
      Clear(type_);
      return;
    case varSmallint:
      SetSmallInt(static_cast<int16_t>(i));
      return;
    case varInteger:
      SetInteger(static_cast<int32_t>(i));
      return;
    case varSingle:
      SetSingle(static_cast<float>(value.AsReal()));
      return;
    case varDouble:
      SetFloat(value.AsReal());
      return;
    case varCurrency:
      SetCurrency(value.AsReal());
      return;
    case varDate:
      SetDateTimeFromCalendar(value.AsReal());
      return;
    case varOleStr:
      SetWideString(value.AsWide());
      return;
    case varBoolean:
      SetLogical(i != 0);
      return;
    case varShortInt:
      SetShortInt(static_cast<int8_t>(i));
      return;
    case varByte:
      SetByte(static_cast<uint8_t>(i));
      return;
    case varWord:
      SetWord(static_cast<uint16_t>(i));
      return;
    case varLongWord:
      SetCardinal(static_cast<uint32_t>(i));
      return;
    case varInt64:
      SetLargeInt(i);
      return;
    case varString:
    case varUString:
      SetString(value.AsText());
      return;
    default:
      throw EABSException(native::kFromVariantUnsupported, {VarTypeName(value.type())});
  }
}

}  // namespace kelvorin
