// Leaves and conversions: constants, fields, CAST and LASTAUTOINC.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "db/query/expressions/expr_node.h"

namespace kelvorin {

// Small values (numbers, short texts) live inside the node, so that most
// literals cost no block of the memory manager to build, copy or free.
class TABSExprNodeConst : public TABSExprNode {
 public:
  explicit TABSExprNodeConst(TABSVariant value);
  // A fixed-size value of `type` from its encoded bytes.
  TABSExprNodeConst(TABSStorageType type, const void* bytes, int32_t size);
  TABSExprNodeConst(const TABSExprNodeConst& other, CloneTag tag);
  std::unique_ptr<TABSExprNode> Clone() const override { return CloneAs<TABSExprNodeConst>(); }

  const TABSVariant& GetValue() override { return value_; }
  TABSColumnType GetDataType() override;
  int32_t GetDataSize() override;
  bool CanEvaluateIn(const TABSExprOperator&) override { return true; }

  // The parser adjusts constants in place (a partial-key '*' removed, a
  // wide text narrowed for a plain field).
  TABSVariant& MutableValue() { return value_; }

 private:
  // Points the value at a copy of its bytes inside the node when they fit.
  void KeepInside();

  alignas(8) uint8_t inside_[16] = {};
};

// A column of the current row: of a cursor's memory record (filters,
// Locate) or of a relational operator (SQL).
class TABSExprNodeField : public TABSExprNode {
 public:
  TABSExprNodeField(std::string table_name, std::string field_name);
  TABSExprNodeField(const TABSExprNodeField& other, CloneTag tag);
  std::unique_ptr<TABSExprNode> Clone() const override { return CloneAs<TABSExprNodeField>(); }

  const TABSVariant& GetValue() override;
  void BindToAO(TABSExprOperator* op) override;
  void BindToCursor(TABSExprFieldSource* cursor) override;
  void BindToRecord(const uint8_t* buffer) override;
  TABSColumnType GetDataType() override;
  int32_t GetDataSize() override;
  bool CanEvaluateIn(const TABSExprOperator& op) override;
  void ResolveAliases(std::span<const TABSSelectAlias> select_list) override;

  const std::string& TableName() const { return table_name_; }
  const std::string& FieldName() const { return field_name_; }
  int32_t FieldNo() const { return field_no_; }
  bool IsBound() const { return data_type_ != TABSColumnType::None; }
  TABSExprOperator* SourceAO() const { return source_ao_; }

 private:
  std::string table_name_;
  std::string field_name_;
  TABSExprFieldSource* cursor_ = nullptr;
  TABSExprOperator* source_ao_ = nullptr;
  const uint8_t* record_buffer_ = nullptr;
  int32_t field_no_ = -1;
  int32_t field_offset_ = 0;
  int32_t memory_size_ = 0;
  TABSColumnType data_type_ = TABSColumnType::None;
  TABSStorageType base_type_ = TABSStorageType::None;
  int32_t data_size_ = 0;
};

// CAST(value AS type [(size)]). A size, a constant the parser checked, cuts
// string results to that many characters.
class TABSExprNodeCast : public TABSExprNode {
 public:
  // size_node is the optional constant size (second child).
  TABSExprNodeCast(TABSColumnType target_type, std::unique_ptr<TABSExprNode> operand,
                   std::unique_ptr<TABSExprNode> size_node);
  TABSExprNodeCast(const TABSExprNodeCast& other, CloneTag tag);
  std::unique_ptr<TABSExprNode> Clone() const override { return CloneAs<TABSExprNodeCast>(); }

  const TABSVariant& GetValue() override;
  TABSColumnType GetDataType() override { return target_type_; }
  int32_t GetDataSize() override;

  TABSColumnType TargetType() const { return target_type_; }
  // -1 without a size.
  int32_t Size() const { return size_; }

 private:
  TABSColumnType target_type_;
  int32_t size_ = -1;
};

// LASTAUTOINC(table, field): the last auto-increment value of a field of a
// table that the node keeps open, read-only, for its whole life.
class TABSExprNodeSystem : public TABSExprNode {
 public:
  // Opens the table and looks the field up (30337 when it is missing).
  TABSExprNodeSystem(TABSAutoIncProvider* provider, std::string_view database_name,
                     std::string table_name, bool in_memory, std::string field_name);
  // Opens the table once more.
  TABSExprNodeSystem(const TABSExprNodeSystem& other, CloneTag tag);
  std::unique_ptr<TABSExprNode> Clone() const override { return CloneAs<TABSExprNodeSystem>(); }

  const TABSVariant& GetValue() override;
  TABSColumnType GetDataType() override { return result_type_; }
  int32_t GetDataSize() override { return data_size_; }
  bool CanEvaluateIn(const TABSExprOperator&) override { return true; }

  const std::string& TableName() const { return table_name_; }
  const std::string& FieldName() const { return field_name_; }
  bool InMemory() const { return in_memory_; }

 private:
  void Open();

  TABSAutoIncProvider* provider_;
  std::string database_name_;
  std::string table_name_;
  std::string field_name_;
  bool in_memory_;
  std::unique_ptr<TABSAutoIncTable> table_;
  int32_t field_no_ = -1;
  TABSColumnType result_type_ = TABSColumnType::None;
  int32_t data_size_ = 0;
};

// Cuts a string value to at most `size` characters.
void CutStringValue(TABSVariant* value, int32_t size);

}  // namespace kelvorin
