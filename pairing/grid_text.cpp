// The grid's clipboard text: TAB between cells, a single CR after each row.
#include "pairing/pairing_engine.h"

namespace pairing {
namespace {

bool IsAsciiLetterOrDigit(char ch) {
  return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

}  // namespace

void PairingEngine::ImportFromText(std::string_view text) {
  ClearGrid();
  // The locale's decimal separator belongs to a number like the point does;
  // TAB and the line ends always end a cell.
  const char separator = decimal_separator_;
  const bool keep_separator = separator != '\t' && separator != '\r' && separator != '\n';
  std::string buffer;
  int col = 1;
  int row = 1;
  for (char ch : text) {
    if (ch == ' ' || ch == '.' || IsAsciiLetterOrDigit(ch) || (keep_separator && ch == separator)) {
      buffer.push_back(ch);
      continue;
    }
    grid_.SetCell(col, row, buffer);
    if (ch == '\t') ++col;
    if (col >= grid_.ColCount()) grid_.SetColCount(grid_.ColCount() + 1);
    if (ch == '\r') {
      round_count_ = col / 2;
      player_count_ = row;
      col = 1;
      ++row;
      if (row >= grid_.RowCount()) grid_.SetRowCount(grid_.RowCount() + 1);
    }
    buffer.clear();
  }
  RefreshCounters();
}

std::string PairingEngine::ExportToText() const {
  std::string text;
  const std::int64_t last_col = 2 * std::int64_t{round_count_};
  for (std::int32_t r = 1; r <= player_count_; ++r) {
    for (std::int64_t c = 1; c <= last_col; ++c) {
      if (c > 1) text.push_back('\t');
      text += grid_.Cell(static_cast<int>(c), r);
    }
    text.push_back('\r');
  }
  return text;
}

}  // namespace pairing
