#include "db/query/expressions/value_nodes.h"

#include <algorithm>
#include <cstring>

#include "db/query/expressions/expression_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/value_convert.h"
#include "platform/locale_profile.h"

namespace kelvorin {

void CutStringValue(TABSVariant* value, int32_t size) {
  if (value->IsNull() || size < 0 || value->StringLength() <= size) return;
  if (IsWideStringStorage(value->Type())) {
    std::u16string text = value->AsWideString();
    text.resize(static_cast<size_t>(size));
    const TABSStorageType type = value->Type();
    value->Clear(type);
    value->SetWideString(text);
  } else {
    std::string text = value->AsString();
    text.resize(static_cast<size_t>(size));
    const TABSStorageType type = value->Type();
    value->Clear(type);
    value->SetString(text);
  }
}

// ---------------------------------------------------------------- constant

TABSExprNodeConst::TABSExprNodeConst(TABSVariant value) : TABSExprNode(Kind::kConst, kOpConst) {
  value_ = std::move(value);
  KeepInside();
}

TABSExprNodeConst::TABSExprNodeConst(TABSStorageType type, const void* bytes, int32_t size)
    : TABSExprNode(Kind::kConst, kOpConst) {
  value_.SetRaw(bytes, size, type, false);
  KeepInside();
}

TABSExprNodeConst::TABSExprNodeConst(const TABSExprNodeConst& other, CloneTag tag)
    : TABSExprNode(other, tag) {
  value_.Assign(other.value_, false);
  KeepInside();
}

void TABSExprNodeConst::KeepInside() {
  if (value_.IsNull()) return;
  const int32_t size = value_.DataSize();
  if (size <= static_cast<int32_t>(sizeof inside_)) {
    if (value_.Data() != inside_) {
      std::memmove(inside_, value_.Data(), static_cast<size_t>(size));
      value_.SetRaw(inside_, size, value_.Type(), false);
    }
    return;
  }
  // Anything else the node owns.
  if (value_.IsShared()) {
    TABSVariant own(value_);
    value_ = std::move(own);
  }
}

TABSColumnType TABSExprNodeConst::GetDataType() { return ColumnTypeOfStorage(value_.Type()); }

int32_t TABSExprNodeConst::GetDataSize() {
  const int32_t length = value_.StringLength();
  if (length < 0) return 0;
  return IsWideStringStorage(value_.Type()) ? 2 * length : length;
}

// ---------------------------------------------------------------- field

TABSExprNodeField::TABSExprNodeField(std::string table_name, std::string field_name)
    : TABSExprNode(Kind::kField, kOpField),
      table_name_(std::move(table_name)),
      field_name_(std::move(field_name)) {}

TABSExprNodeField::TABSExprNodeField(const TABSExprNodeField& other, CloneTag tag)
    : TABSExprNode(other, tag),
      table_name_(other.table_name_),
      field_name_(other.field_name_),
      cursor_(other.cursor_),
      source_ao_(other.source_ao_),
      record_buffer_(other.record_buffer_),
      field_no_(other.field_no_),
      field_offset_(other.field_offset_),
      memory_size_(other.memory_size_),
      data_type_(other.data_type_),
      base_type_(other.base_type_),
      data_size_(other.data_size_) {}

const TABSVariant& TABSExprNodeField::GetValue() {
  if (record_buffer_ != nullptr && field_no_ >= 0) {
    const uint8_t* record = record_buffer_;
    if ((record[field_no_ >> 3] >> (field_no_ & 7)) & 1) {
      value_.Clear(base_type_);
      return value_;
    }
    const uint8_t* data = record + field_offset_;
    int32_t size = memory_size_;
    if (IsStringStorage(base_type_)) {
      // The slot holds a terminated text; the value is the text alone.
      const bool wide = IsWideStringStorage(base_type_);
      const size_t length = wide ? WideLength(data, memory_size_) : AnsiLength(data, memory_size_);
      if (length == 0) {
        value_.Clear(base_type_);
        return value_;
      }
      size = static_cast<int32_t>(wide ? 2 * (length + 1) : length + 1);
      size = std::min(size, memory_size_);
    }
    value_.SetRaw(data, size, base_type_, false);
    return value_;
  }
  if (source_ao_ != nullptr) {
    source_ao_->GetColumnValue(field_no_, &value_);
    return value_;
  }
  throw EABSException(native::kFieldNotBound);
}

void TABSExprNodeField::BindToAO(TABSExprOperator* op) {
  int32_t column = -1;
  if (op == nullptr || op->MatchColumns(table_name_, field_name_, &column) != 1) {
    throw EABSException(native::kFieldNotFoundInOperator, {table_name_ + "." + field_name_});
  }
  source_ao_ = op;
  cursor_ = nullptr;
  record_buffer_ = nullptr;
  field_no_ = column;
  data_type_ = op->ColumnType(column);
  base_type_ = StorageTypeOf(data_type_);
  data_size_ = op->ColumnSize(column);
}

void TABSExprNodeField::BindToCursor(TABSExprFieldSource* cursor) {
  const TABSFieldDefs& defs = cursor->FieldDefs();
  const int32_t index = defs.IndexOfName(field_name_);
  if (index < 0) throw EABSException(native::kFieldNotFoundInCursor, {field_name_});
  const TABSFieldDef* def = defs.Items(index);
  cursor_ = cursor;
  source_ao_ = nullptr;
  field_no_ = index;
  field_offset_ = def->MemoryOffset();
  memory_size_ = def->MemorySize();
  data_type_ = def->ColumnType();
  base_type_ = def->StorageType();
  data_size_ = def->DeclaredSize();
  record_buffer_ = cursor->CurrentRecord();
}

void TABSExprNodeField::BindToRecord(const uint8_t* buffer) { record_buffer_ = buffer; }

TABSColumnType TABSExprNodeField::GetDataType() {
  if (data_type_ == TABSColumnType::None) throw EABSException(native::kUnboundFieldType);
  return data_type_;
}

int32_t TABSExprNodeField::GetDataSize() { return data_size_; }

bool TABSExprNodeField::CanEvaluateIn(const TABSExprOperator& op) {
  int32_t column = -1;
  return op.MatchColumns(table_name_, field_name_, &column) > 0;
}

void TABSExprNodeField::ResolveAliases(std::span<const TABSSelectAlias> select_list) {
  const auto& locale = platform::CurrentLocale();
  const std::string name = locale.UpperAnsi(field_name_);
  for (const TABSSelectAlias& item : select_list) {
    if (!item.is_column || locale.UpperAnsi(item.alias) != name) continue;
    table_name_ = item.table_name;
    field_name_ = item.field_name;
    return;
  }
}

// ---------------------------------------------------------------- cast

TABSExprNodeCast::TABSExprNodeCast(TABSColumnType target_type,
                                   std::unique_ptr<TABSExprNode> operand,
                                   std::unique_ptr<TABSExprNode> size_node)
    : TABSExprNode(Kind::kCast, kOpCast), target_type_(target_type) {
  AddChild(std::move(operand));
  if (size_node != nullptr) {
    const TABSVariant& size = size_node->GetValue();
    size_ = size.IsNull() ? -1 : size.AsInteger();
    AddChild(std::move(size_node));
  }
}

TABSExprNodeCast::TABSExprNodeCast(const TABSExprNodeCast& other, CloneTag tag)
    : TABSExprNode(other, tag), target_type_(other.target_type_), size_(other.size_) {}

const TABSVariant& TABSExprNodeCast::GetValue() {
  const TABSVariant& operand = children_[0]->GetValue();
  const TABSStorageType target = StorageTypeOf(target_type_);
  if (operand.IsNull()) {
    value_.Clear(target);
    return value_;
  }
  value_.Assign(operand, true);
  value_.ConvertTo(target);
  if (size_ >= 0 && IsStringStorage(target)) CutStringValue(&value_, size_);
  return value_;
}

int32_t TABSExprNodeCast::GetDataSize() {
  if (size_ >= 0) return size_;
  if (!IsStringColumn(target_type_)) return 0;
  return StringPartSize(*children_[0]);
}

// ---------------------------------------------------------------- LASTAUTOINC

TABSExprNodeSystem::TABSExprNodeSystem(TABSAutoIncProvider* provider,
                                       std::string_view database_name, std::string table_name,
                                       bool in_memory, std::string field_name)
    : TABSExprNode(Kind::kSystem, kOpLastAutoInc),
      provider_(provider),
      database_name_(database_name),
      table_name_(std::move(table_name)),
      field_name_(std::move(field_name)),
      in_memory_(in_memory) {
  Open();
}

TABSExprNodeSystem::TABSExprNodeSystem(const TABSExprNodeSystem& other, CloneTag tag)
    : TABSExprNode(other, tag),
      provider_(other.provider_),
      database_name_(other.database_name_),
      table_name_(other.table_name_),
      field_name_(other.field_name_),
      in_memory_(other.in_memory_) {
  Open();
}

void TABSExprNodeSystem::Open() {
  if (provider_ == nullptr) throw EABSException(native::kLastAutoIncNoTables, {table_name_});
  table_ = provider_->OpenTable(database_name_, table_name_, in_memory_);
  const TABSFieldDefs& defs = table_->FieldDefs();
  field_no_ = defs.IndexOfName(field_name_);
  if (field_no_ < 0) throw EABSException(native::kLastAutoIncFieldNotFound, {field_name_});
  result_type_ = defs.Items(field_no_)->ColumnType();
  data_size_ = defs.Items(field_no_)->DeclaredSize();
}

const TABSVariant& TABSExprNodeSystem::GetValue() {
  const int64_t last = table_->LastAutoIncValue(field_no_);
  value_.Clear(TABSStorageType::LargeInt);
  value_.SetLargeInt(last);
  value_.ConvertTo(StorageTypeOf(result_type_));
  return value_;
}

}  // namespace kelvorin
