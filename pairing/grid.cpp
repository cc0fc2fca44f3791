// Sparse cell storage of the pairing grid.
#include "pairing/grid.h"

namespace pairing {
namespace {
const std::string kEmpty;
}

const std::string& Grid::Cell(int col, int row) const {
  auto it = cells_.find(Key(col, row));
  return it == cells_.end() ? kEmpty : it->second;
}

void Grid::SetCell(int col, int row, std::string text) {
  if (text.empty()) {
    cells_.erase(Key(col, row));
  } else {
    cells_[Key(col, row)] = std::move(text);
  }
}

void Grid::EmptyRange(int first_col, int end_col, int first_row, int end_row) {
  if (first_col >= end_col || first_row >= end_row) return;
  std::erase_if(cells_, [&](const auto& entry) {
    int col = static_cast<int>(static_cast<std::uint32_t>(entry.first >> 32));
    int row = static_cast<int>(static_cast<std::uint32_t>(entry.first));
    return col >= first_col && col < end_col && row >= first_row && row < end_row;
  });
}

std::vector<std::pair<int, std::string>> Grid::ColumnCells(int col) const {
  std::vector<std::pair<int, std::string>> cells;
  for (const auto& [key, text] : cells_) {
    if (static_cast<int>(static_cast<std::uint32_t>(key >> 32)) == col) {
      cells.emplace_back(static_cast<int>(static_cast<std::uint32_t>(key)), text);
    }
  }
  return cells;
}

}  // namespace pairing
