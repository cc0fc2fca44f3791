#include "db/access/dataset/field.h"

#include "db/access/dataset/dataset.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {

TField::TField(std::string name, TFieldType type, int32_t size, TFieldKind kind)
    : name_(std::move(name)), type_(type), size_(size), kind_(kind) {}

void TField::SetLookup(TDataSet* dataset, std::string lookup_key_fields, std::string lookup_result_field,
                       std::string key_fields) {
  lookup_dataset_ = dataset;
  lookup_key_fields_ = std::move(lookup_key_fields);
  lookup_result_field_ = std::move(lookup_result_field);
  key_fields_ = std::move(key_fields);
}

TABSStorageType TField::StorageType() const {
  if (type_ == ftString || type_ == ftFixedChar) return TABSStorageType::String;
  if (type_ == ftWideString) return TABSStorageType::WideString;
  return StorageTypeOf(ColumnTypeOfDatasetType(type_));
}

std::string TField::CutToSize(std::string_view text) const {
  const bool sized = type_ == ftString || type_ == ftFixedChar || type_ == ftWideString;
  if (!sized || size_ <= 0 || text.size() <= static_cast<size_t>(size_)) return std::string(text);
  size_t end = static_cast<size_t>(size_);
  // Code-page text has one byte a character; wide text comes as UTF-8,
  // whose character the cut would split goes whole.
  if (type_ == ftWideString) {
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  }
  return std::string(text.substr(0, end));
}

TABSVariant TField::Value() const {
  TABSVariant value;
  if (dataset_ == nullptr || !dataset_->ReadField(*this, value)) value.Clear(StorageType());
  return value;
}

bool TField::IsNull() const { return Value().IsNull(); }

std::string TField::AsString() const {
  const TABSVariant value = Value();
  return value.IsNull() ? std::string() : value.AsString();
}

int32_t TField::AsInteger() const {
  const TABSVariant value = Value();
  return value.IsNull() ? 0 : value.AsInteger();
}

int64_t TField::AsLargeInt() const {
  const TABSVariant value = Value();
  return value.IsNull() ? 0 : value.AsLargeInt();
}

double TField::AsFloat() const {
  const TABSVariant value = Value();
  return value.IsNull() ? 0 : value.AsFloat();
}

bool TField::AsBoolean() const {
  const TABSVariant value = Value();
  return !value.IsNull() && value.AsLogical();
}

TDataVariant TField::AsVariant() const {
  const TABSVariant value = Value();
  return value.IsNull() ? TDataVariant::Null() : value.ToDataVariant();
}

double TField::AsDateTime() const {
  const TABSVariant value = Value();
  return value.IsNull() ? 0 : value.AsCalendarDateTime();
}

void TField::SetAsDateTime(double calendar_value) {
  TABSVariant value;
  value.SetDateTimeFromCalendar(calendar_value);
  SetValue(value);
}

void TField::SetValue(const TABSVariant& value) {
  if (dataset_ == nullptr) throw EABSException(native::kNilPointer10009);
  dataset_->WriteField(*this, value);
}

void TField::SetAsString(std::string_view text) {
  TABSVariant value;
  if (!text.empty()) value.SetString(CutToSize(text));
  SetValue(value);
}

void TField::SetAsInteger(int32_t v) {
  TABSVariant value;
  value.SetInteger(v);
  SetValue(value);
}

void TField::SetAsLargeInt(int64_t v) {
  TABSVariant value;
  value.SetLargeInt(v);
  SetValue(value);
}

void TField::SetAsFloat(double v) {
  TABSVariant value;
  value.SetFloat(v);
  SetValue(value);
}

void TField::SetAsBoolean(bool v) {
  TABSVariant value;
  value.SetLogical(v);
  SetValue(value);
}

void TField::SetAsVariant(const TDataVariant& v) {
  if (v.IsNull()) {
    Clear();
    return;
  }
  if (v.type() == varString || v.type() == varUString) {
    SetAsString(v.AsText());
    return;
  }
  TABSVariant value;
  value.FromDataVariant(v);
  SetValue(value);
}

void TField::Clear() { SetValue(TABSVariant()); }

}  // namespace kelvorin
