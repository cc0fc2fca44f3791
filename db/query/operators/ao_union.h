// TABSAOUnion: UNION, INTERSECT and EXCEPT of two operators, with or
// without ALL. Columns pair by position (the counts must be equal), or by
// name with CORRESPONDING [BY]; each result column takes a type that holds
// both sides, and rows compare in it with NULLs equal and strings case
// sensitive. INTERSECT ALL gives min(m, n) copies of a row, EXCEPT ALL
// max(m - n, 0); without ALL each row comes once.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/query/operators/ao.h"

namespace kelvorin {

enum class TABSSetKind : uint8_t { kUnion = 0, kIntersect = 1, kExcept = 2 };

class TABSAOUnion : public TABSAO {
 public:
  // The children are whole statements with their projections applied.
  TABSAOUnion(std::unique_ptr<TABSAO> left, std::unique_ptr<TABSAO> right,
              std::vector<std::string> corresponding_names, bool distinct, bool corresponding,
              TABSSetKind kind);
  ~TABSAOUnion() override;

  TABSSetKind Kind() const { return kind_; }
  void SetProjection(std::vector<TABSSelectListItem>& items, bool distinct) override;
  void GetColumnValue(int32_t column, TABSVariant* value) override;

 protected:
  void OwnFirst() override {}
  void OwnNext() override {}
  bool OwnEof() override { return true; }
  void Prepare() override;
  void ForEachRow(const std::function<bool()>& row) override;

 private:
  void PairColumns();
  // The side's column numbers of the pairs (output positions).
  static std::vector<int32_t> ChildColumns(const TABSAO& side, const std::vector<int32_t>& pairs);
  // The side under an operator that delivers its paired columns in the
  // result's types, ordered on all of them; the pairs become its positions.
  std::unique_ptr<TABSAO> SortedSide(std::unique_ptr<TABSAO> side, std::vector<int32_t>* pairs);
  // The side's current row against the current run: <0, 0, >0.
  int CompareWithRun(TABSAO& side, const std::vector<int32_t>& columns);

  std::vector<std::string> corresponding_names_;
  bool set_distinct_;
  bool corresponding_;
  TABSSetKind kind_;
  std::vector<int32_t> left_pairs_;   // output positions in the left child
  std::vector<int32_t> right_pairs_;  // in the right child
  std::vector<int32_t> left_columns_;   // their column numbers, once executed
  std::vector<int32_t> right_columns_;
  // Where the current row is read: 0 the left child, 1 the right child,
  // 2 the run of equal rows being counted.
  int32_t reading_ = 0;
  std::vector<TABSVariant> run_;
  TABSVariant left_value_;
};

}  // namespace kelvorin
