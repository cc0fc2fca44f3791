// How a view learns that the pairing engine's state changed.
//
// All callbacks run synchronously on the caller's thread, in the middle of the
// operation that caused them; a view only redraws from them.
#pragma once

namespace pairing {

class PairingObserver {
 public:
  virtual ~PairingObserver() = default;
  // RoundCount / PlayerCount must be shown again (and the shown row count of
  // the grid may have changed): the RefreshCounters moment, and the new round
  // shown by a pairing step.
  virtual void CountersChanged() {}
  // Cells or the shown column/row counts of the grid changed.
  virtual void GridChanged() {}
  // The weights list or the matching list was replaced or extended.
  virtual void WeightsListChanged() {}
  virtual void MatchingListChanged() {}
  // The one-click run hides the weights list while it fills it, shows it
  // again, and finally brings the pairing tab to the front.
  virtual void WeightsListVisible(bool /*visible*/) {}
  virtual void ShowPairingTab() {}
};

}  // namespace pairing
