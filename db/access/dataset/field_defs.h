// The dataset's own field and index definitions: the plain form in which an
// application declares a table (name, type, size, required; index name,
// fields, options) and in which a dataset reports what its cursor has.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/tables/metadata/meta_object_def.h"
#include "db/tables/values/dataset_types.h"

namespace kelvorin {

struct TFieldDef {
  std::string name;
  TFieldType data_type = ftUnknown;
  int32_t size = 0;
  bool required = false;
};

class TFieldDefs {
 public:
  TFieldDef& Add(std::string name, TFieldType type, int32_t size = 0, bool required = false);
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  const TFieldDef& Items(int32_t index) const { return items_.at(static_cast<size_t>(index)); }
  // -1 when there is none (names compared without regard to case).
  int32_t IndexOf(std::string_view name) const;
  const TFieldDef* Find(std::string_view name) const;
  void Clear() { items_.clear(); }
  bool operator==(const TFieldDefs&) const = default;

 private:
  std::vector<TFieldDef> items_;
};

enum TIndexOption : uint32_t {
  ixPrimary = 1,
  ixUnique = 2,
  ixDescending = 4,
  ixCaseInsensitive = 8,
};
using TIndexOptions = uint32_t;

struct TIndexDef {
  std::string name;
  // Field names separated by semicolons.
  std::string fields;
  TIndexOptions options = 0;
  // The fields sorted descending, and those compared without regard to case.
  std::string desc_fields;
  std::string case_ins_fields;
};

class TIndexDefs {
 public:
  TIndexDef& Add(std::string name, std::string fields, TIndexOptions options = 0);
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  const TIndexDef& Items(int32_t index) const { return items_.at(static_cast<size_t>(index)); }
  int32_t IndexOf(std::string_view name) const;
  const TIndexDef* Find(std::string_view name) const;
  // The index whose field list equals `fields` (names compared without
  // regard to case, the same number of fields in the same order).
  const TIndexDef* FindForFields(std::string_view fields) const;
  void Clear() { items_.clear(); }
  bool Updated() const { return updated_; }
  void SetUpdated(bool updated) { updated_ = updated; }

 private:
  std::vector<TIndexDef> items_;
  bool updated_ = false;
};

// Names of a semicolon-separated list, trimmed of blanks; empty names dropped.
std::vector<std::string> SplitFieldNames(std::string_view names);

}  // namespace kelvorin
