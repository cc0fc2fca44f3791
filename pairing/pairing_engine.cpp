// The pairing engine's state, its notifications and the grid operations that
// fit the grid to the counters.
#include "pairing/pairing_engine.h"

#include <algorithm>
#include <climits>

#include "pairing/command_prefix.h"

namespace pairing {
namespace {

// Grid coordinates derived from 32-bit counters, kept inside int.
int ClampToInt(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

}  // namespace

PairingEngine::PairingEngine(UserDialogs& dialogs) : dialogs_(dialogs) {
  FitGrid();
  SetCommandPrefix("cmd ");
}

void PairingEngine::SetWeightsList(LineList lines) {
  weights_list_ = std::move(lines);
  NotifyWeights();
}

void PairingEngine::SetMatchingList(LineList lines) {
  matching_list_ = std::move(lines);
  NotifyMatching();
}

void PairingEngine::SetObserver(PairingObserver* observer) { observer_ = observer; }
void PairingEngine::SetCommandRunner(CommandRunner* runner) { runner_ = runner; }

void PairingEngine::NotifyCounters() {
  if (observer_) observer_->CountersChanged();
}
void PairingEngine::NotifyGrid() {
  if (observer_) observer_->GridChanged();
}
void PairingEngine::NotifyWeights() {
  if (observer_) observer_->WeightsListChanged();
}
void PairingEngine::NotifyMatching() {
  if (observer_) observer_->MatchingListChanged();
}

void PairingEngine::FitGrid() {
  std::int64_t needed_rows = std::int64_t{player_count_} + 1;
  if (grid_.RowCount() < needed_rows) grid_.SetRowCount(ClampToInt(needed_rows));
  grid_.EmptyRange(ClampToInt(2 * std::int64_t{round_count_} + 1), grid_.ColCount(), 0,
                   grid_.RowCount());
  grid_.EmptyRange(0, grid_.ColCount(), ClampToInt(needed_rows), grid_.RowCount());
  for (std::int32_t r = 1; r <= player_count_; ++r) grid_.SetCell(0, r, std::to_string(r));
  NotifyGrid();
}

void PairingEngine::ClearGrid() {
  grid_.EmptyRange(0, grid_.ColCount(), 0, grid_.RowCount());
  FitGrid();
}

void PairingEngine::RefreshCounters() {
  grid_.SetRowCount(ClampToInt(std::int64_t{player_count_} + 1));
  NotifyCounters();
  NotifyGrid();
}

void PairingEngine::ClearTable() {
  ClearGrid();
  round_count_ = 0;
  NotifyCounters();
}

void PairingEngine::FillZeros() {
  // Round 0 has no results column: column 0 holds the player numbers.
  if (round_count_ <= 0) return;
  int col = ClampToInt(2 * std::int64_t{round_count_});
  for (std::int32_t r = 1; r <= player_count_; ++r) grid_.SetCell(col, r, "0");
  NotifyGrid();
}

}  // namespace pairing
