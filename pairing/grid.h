// The pairing grid: text cells addressed by (column, row) from 0, stored
// sparsely, plus the shown column and row counts.
//
// A cell outside the shown area keeps its text and is read and written like
// any other; it is only not displayed. Row 0 and column 0 are headings.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace pairing {

class Grid {
 public:
  static constexpr int kInitialColCount = 15;
  static constexpr int kInitialRowCount = 33;

  Grid() = default;

  // The text of a cell; the empty text for a cell never written or emptied.
  const std::string& Cell(int col, int row) const;
  // Writing the empty text empties the cell.
  void SetCell(int col, int row, std::string text);

  int ColCount() const { return col_count_; }
  int RowCount() const { return row_count_; }
  void SetColCount(int count) { col_count_ = count < 0 ? 0 : count; }
  void SetRowCount(int count) { row_count_ = count < 0 ? 0 : count; }

  // Empties columns [first_col, end_col) in rows [first_row, end_row).
  void EmptyRange(int first_col, int end_col, int first_row, int end_row);
  // The non-empty cells of one column, shown or not, as (row, text).
  std::vector<std::pair<int, std::string>> ColumnCells(int col) const;

 private:
  static std::uint64_t Key(int col, int row) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(col)) << 32) |
           static_cast<std::uint32_t>(row);
  }

  std::unordered_map<std::uint64_t, std::string> cells_;
  int col_count_ = kInitialColCount;
  int row_count_ = kInitialRowCount;
};

}  // namespace pairing
