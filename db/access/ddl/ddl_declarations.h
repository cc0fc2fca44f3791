// What a structure statement declares: its columns (TSQLFieldDef, each
// attribute with a flag telling whether it was written, so that ALTER
// TABLE MODIFY changes only what the statement names) and its indexes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/tables/values/abs_variant.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {

struct TSQLFieldDef {
  std::string name;
  // Where the column was declared, for the errors found when it is checked.
  int32_t line_num = 0;
  int32_t column_num = 0;

  TABSColumnType data_type = TABSColumnType::None;
  bool data_type_given = false;
  int32_t size = 0;
  bool size_given = false;
  bool required = false;
  bool required_given = false;
  int64_t increment = 1;
  bool increment_given = false;
  int64_t initial_value = 0;
  bool initial_value_given = false;
  int64_t min_value = 0;
  bool min_value_given = false;
  int64_t max_value = INT64_MAX;
  bool max_value_given = false;
  bool cycled = false;
  bool cycled_given = false;
  int32_t blob_block_size = 0;
  bool blob_block_size_given = false;
  uint8_t blob_compression_algorithm = 0;
  bool blob_compression_algorithm_given = false;
  uint8_t blob_compression_mode = 0;
  bool blob_compression_mode_given = false;
  TABSVariant default_value;
  bool default_value_given = false;
  TABSVariant min_constraint;
  bool min_constraint_given = false;
  TABSVariant max_constraint;
  bool max_constraint_given = false;
};

// The declared columns, in declaration order.
class TSQLFieldDefs {
 public:
  TSQLFieldDef& Add() { return *items_.emplace_back(std::make_unique<TSQLFieldDef>()); }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  const TSQLFieldDef& Items(int32_t i) const { return *items_[static_cast<size_t>(i)]; }

 private:
  std::vector<std::unique_ptr<TSQLFieldDef>> items_;
};

struct TABSIndexField {
  std::string field_name;
  bool descending = false;
  bool case_insensitive = false;
};

// An index declared inside CREATE TABLE or ALTER TABLE; no name when none
// was written.
struct TABSDDLIndex {
  std::string name;
  bool unique = false;
  bool primary = false;
  std::vector<TABSIndexField> fields;
  int32_t line_num = 0;
  int32_t column_num = 0;
};

}  // namespace kelvorin
