// TABSVariant, the engine's value object: one nullable value of one storage
// type. Field defaults, check-constraint bounds, expression results and SQL
// parameters are all held in it. Its data is either owned (from the memory
// manager) or shared, pointing into a buffer someone else owns (a record).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/storage/memory/memory_manager.h"
#include "db/tables/values/dataset_types.h"
#include "db/tables/values/field_types.h"
#include "db/tables/values/value_compare.h"
#include "db/tables/values/value_stream.h"

namespace kelvorin {

class TABSVariant {
 public:
  static constexpr uint8_t kNullMarker = 0xFF;

  TABSVariant() = default;  // a NULL without a type
  explicit TABSVariant(TABSStorageType type) : type_(type) {}
  // Copies own their data.
  TABSVariant(const TABSVariant& other);
  TABSVariant& operator=(const TABSVariant& other);
  TABSVariant(TABSVariant&& other) noexcept;
  TABSVariant& operator=(TABSVariant&& other) noexcept;
  ~TABSVariant() = default;

  TABSStorageType Type() const { return type_; }
  int32_t DataSize() const { return data_size_; }
  const void* Data() const { return data_; }
  bool IsShared() const { return shared_; }
  uint8_t NullMarker() const { return null_marker_; }

  // Releases owned data and becomes a NULL of `type`.
  void Clear(TABSStorageType type);
  void Clear() { Clear(type_); }
  void SetNull() { null_marker_ = kNullMarker; }
  bool IsNull() const { return null_marker_ != 0 || data_ == nullptr; }

  // Takes the source's type, NULL state and bytes: copied (owned) or, with
  // copy false, pointed at (shared). Assigning a value to itself does nothing.
  void Assign(const TABSVariant& source, bool copy = true);
  // The same from raw bytes; the value becomes non-NULL (NULL when size <= 0
  // or the bytes are an empty string).
  void SetRaw(const void* buffer, int32_t size, TABSStorageType type, bool copy = true);
  // Copies the data into `buffer`; false when NULL or an empty string. Raises
  // 20056 when buffer_size >= 0 is smaller than the data.
  bool GetRaw(void* buffer, int32_t buffer_size = -1) const;

  // Typed setters: a value without a type takes the setter's type, a typed
  // value converts the argument into its own type. An empty string leaves
  // the value NULL.
  void SetShortInt(int8_t v);
  void SetSmallInt(int16_t v);
  void SetInteger(int32_t v);
  void SetLargeInt(int64_t v);
  void SetByte(uint8_t v);
  void SetWord(uint16_t v);
  void SetCardinal(uint32_t v);
  void SetSingle(float v);
  void SetFloat(double v);
  void SetExtended(long double v);
  void SetDate(int32_t day_number);
  void SetTime(int32_t milliseconds);
  void SetDateTime(int32_t day_number, int32_t milliseconds);
  // From a calendar date-time value (days since 1899-12-30 plus the fraction).
  void SetDateFromCalendar(double value);
  void SetTimeFromCalendar(double value);
  void SetDateTimeFromCalendar(double value);
  void SetLogical(bool v);
  void SetCurrency(double v);
  void SetString(std::string_view v);
  void SetWideString(std::u16string_view v);

  // Typed getters: NULL raises 30016 "Value is Null"; another type converts.
  int8_t AsShortInt() const;
  int16_t AsSmallInt() const;
  int32_t AsInteger() const;
  int64_t AsLargeInt() const;
  uint8_t AsByte() const;
  uint16_t AsWord() const;
  uint32_t AsCardinal() const;
  float AsSingle() const;
  double AsFloat() const;
  long double AsExtended() const;
  int32_t AsDate() const;  // day number
  int32_t AsTime() const;  // milliseconds
  void AsDateTime(int32_t* day_number, int32_t* milliseconds) const;
  // The calendar date-time value; the empty-date marker counts as day 0.
  double AsCalendarDateTime() const;
  bool AsLogical() const;
  double AsCurrency() const;
  std::string AsString() const;
  std::u16string AsWideString() const;

  // Converts the data into `type`; errors of the conversion propagate and
  // leave the value as it was.
  void ConvertTo(TABSStorageType type);
  // As ConvertTo, but a failed conversion leaves a NULL of the new type.
  void ChangeType(TABSStorageType type);
  // Characters of a non-NULL string, else -1.
  int32_t StringLength() const;

  // Compares with `other` (left = this). Without raw codes the NULL results
  // are folded (left NULL -> less, right NULL -> greater, both -> equal);
  // with prefix only the shorter string's length is compared.
  TABSCompareResult Compare(const TABSVariant& other, bool raw_codes = false, bool prefix = false,
                            bool case_insensitive = false) const;

  // In-place arithmetic; the value is the left operand.
  void Negate();
  void Add(const TABSVariant& right);
  void Multiply(const TABSVariant& right);
  void Divide(const TABSVariant& right);

  // Stream form: type byte, null marker byte, then only for a value its
  // signed 32-bit size and data. Loading validates what it reads and raises
  // the stream error instead of reading past its input; saving writes only
  // what loading accepts (30051 for a value too short for its type).
  void SaveToStream(TABSValueOutput& output) const;
  void LoadFromStream(TABSValueInput& input);

  TDataVariant ToDataVariant() const;
  void FromDataVariant(const TDataVariant& value);

 private:
  void SetTyped(TABSStorageType setter_type, const void* bytes, int32_t size);
  // The data converted into `type` (or copied when it already is).
  TABSMemoryBlock DataAs(TABSStorageType type) const;
  void CheckNotNull() const;
  void TakeBlock(TABSStorageType type, TABSMemoryBlock block);
  enum class Operation { kAdd, kMultiply, kDivide };
  void Operate(const TABSVariant& right, Operation op);

  TABSStorageType type_ = TABSStorageType::None;
  int32_t data_size_ = 0;
  const void* data_ = nullptr;
  TABSMemoryBlock owned_;
  bool shared_ = false;
  uint8_t null_marker_ = kNullMarker;
};

}  // namespace kelvorin
