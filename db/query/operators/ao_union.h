// TABSAOUnion: UNION, INTERSECT and EXCEPT of two operators, with or
// without ALL. Columns pair by position (the counts must be equal), or by
// name with CORRESPONDING [BY]; each result column takes the type that
// holds both sides. Rows compare with NULLs equal and strings case
// sensitive; INTERSECT ALL gives min(m, n) copies of a row, EXCEPT ALL
// max(m - n, 0).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/query/operators/ao.h"

namespace kelvorin {

enum class TABSSetKind : uint8_t { kUnion = 0, kIntersect = 1, kExcept = 2 };

class TABSAOUnion : public TABSAO {
 public:
  TABSAOUnion(std::unique_ptr<TABSAO> left, std::unique_ptr<TABSAO> right,
              std::vector<std::string> corresponding_names, bool distinct, bool corresponding,
              TABSSetKind kind);
  ~TABSAOUnion() override;

  void GetColumnValue(int32_t column, TABSVariant* value) override;

 protected:
  void OwnFirst() override;
  void OwnNext() override;
  bool OwnEof() override;
  void Prepare() override;

 private:
  void PairColumns();

  std::vector<std::string> corresponding_names_;
  bool set_distinct_;
  bool corresponding_;
  TABSSetKind kind_;
  std::vector<int32_t> left_pairs_;   // output positions in the left child
  std::vector<int32_t> right_pairs_;  // in the right child
  std::unique_ptr<TABSRowTable> rows_;
};

}  // namespace kelvorin
