// The one-click draw of a round: every step in sequence, and on an error the
// round being drawn is taken back before the error is passed on.
#include <utility>
#include <vector>

#include "pairing/pairing_engine.h"

namespace pairing {
namespace {

constexpr char kNoData[] = "Žádná data. Načtěte data a zkuste to znovu.";

}  // namespace

void PairingEngine::RunStepsOfOneClick(DrawMode mode) {
  if (observer_) observer_->WeightsListVisible(false);
  ComputeTwoWeights();
  PairIntoTwos();
  if (mode == DrawMode::kFours) ComputeFourWeights();
  if (observer_) observer_->WeightsListVisible(true);
  if (mode == DrawMode::kFours) GroupIntoFours();
}

std::optional<std::string> PairingEngine::RunOneClick(DrawMode mode) {
  if (player_count_ == 0) {
    dialogs_.ShowMessage(kNoData);
    return std::nullopt;
  }
  const std::int32_t saved_rounds = round_count_;
  const int new_col = static_cast<int>(2 * std::int64_t{saved_rounds} + 1);
  std::vector<std::pair<int, std::string>> saved_col = grid_.ColumnCells(new_col);
  try {
    RunStepsOfOneClick(mode);
  } catch (...) {
    // A failed draw must not leave a half-drawn round that the next draw, or
    // the transfer to the seating table, would count as played.
    round_count_ = saved_rounds;
    grid_.EmptyRange(new_col, new_col + 1, INT32_MIN, INT32_MAX);
    for (auto& [row, text] : saved_col) grid_.SetCell(new_col, row, std::move(text));
    if (observer_) observer_->WeightsListVisible(true);
    NotifyCounters();
    NotifyGrid();
    throw;
  }
  std::string text = ExportToText();
  if (observer_) observer_->ShowPairingTab();
  return text;
}

}  // namespace pairing
