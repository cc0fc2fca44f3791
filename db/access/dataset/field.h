// TField: one field of a dataset as the application reads and writes it.
// A data field is a column of the dataset's records; a calculated field is
// computed for each record by the dataset's OnCalcFields; a lookup field
// is the result field of the record of another dataset whose key fields
// equal this dataset's key fields. The value goes through the dataset, in
// the dataset's current record (or the key being edited).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "db/tables/values/abs_variant.h"
#include "db/tables/values/dataset_types.h"

namespace kelvorin {

class TDataSet;

enum class TFieldKind : uint8_t { fkData, fkCalculated, fkLookup };

class TField {
 public:
  TField(std::string name, TFieldType type, int32_t size = 0, TFieldKind kind = TFieldKind::fkData);
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  const std::string& FieldName() const { return name_; }
  TFieldType DataType() const { return type_; }
  // Characters of a string field (the text is cut to them); 0 otherwise.
  int32_t Size() const { return size_; }
  TFieldKind FieldKind() const { return kind_; }
  bool Calculated() const { return kind_ != TFieldKind::fkData; }
  bool Required() const { return required_; }
  void SetRequired(bool required) { required_ = required; }
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  int32_t DisplayWidth() const { return display_width_; }
  void SetDisplayWidth(int32_t width) { display_width_ = width; }
  // The dataset's field number (0-based, in the dataset's field order).
  int32_t Index() const { return index_; }
  // The column of the cursor's table for a data field; -1 otherwise.
  int32_t FieldNo() const { return field_no_; }
  TDataSet* DataSet() const { return dataset_; }

  // Lookup settings.
  TDataSet* LookupDataSet() const { return lookup_dataset_; }
  const std::string& LookupKeyFields() const { return lookup_key_fields_; }
  const std::string& LookupResultField() const { return lookup_result_field_; }
  const std::string& KeyFields() const { return key_fields_; }
  void SetLookup(TDataSet* dataset, std::string lookup_key_fields, std::string lookup_result_field,
                 std::string key_fields);

  // OnValidate runs before a value is written (it raises to refuse it);
  // OnChange after (whatever it raises goes to the error hook).
  std::function<void(TField&)> OnValidate;
  std::function<void(TField&)> OnChange;

  bool IsNull() const;
  // "" for NULL.
  std::string AsString() const;
  // 0 for NULL.
  int32_t AsInteger() const;
  int64_t AsLargeInt() const;
  double AsFloat() const;
  bool AsBoolean() const;
  // Null for NULL.
  TDataVariant AsVariant() const;
  // A date, time or date-and-time as the calendar value (days since
  // 1899-12-30 plus the fraction of the day); 0 for NULL.
  double AsDateTime() const;
  // The engine's value (NULL of the field's type for NULL).
  TABSVariant Value() const;

  // Empty text writes NULL; text longer than the field is cut to its size.
  void SetAsString(std::string_view text);
  void SetAsInteger(int32_t value);
  void SetAsLargeInt(int64_t value);
  void SetAsFloat(double value);
  void SetAsBoolean(bool value);
  void SetAsVariant(const TDataVariant& value);
  void SetAsDateTime(double calendar_value);
  void SetValue(const TABSVariant& value);
  void Clear();

  // The engine storage type a value of this field is held in.
  TABSStorageType StorageType() const;
  // Text cut to the field's size: bytes of code-page text, whole
  // characters of a wide field's UTF-8 text.
  std::string CutToSize(std::string_view text) const;

 private:
  friend class TDataSet;

  std::string name_;
  TFieldType type_;
  int32_t size_;
  TFieldKind kind_;
  bool required_ = false;
  bool read_only_ = false;
  int32_t display_width_ = 0;
  int32_t index_ = -1;
  int32_t field_no_ = -1;
  TDataSet* dataset_ = nullptr;
  // Where a calculated value lives in a record buffer (its presence byte).
  int32_t calc_offset_ = -1;
  TDataSet* lookup_dataset_ = nullptr;
  std::string lookup_key_fields_;
  std::string lookup_result_field_;
  std::string key_fields_;
};

}  // namespace kelvorin
