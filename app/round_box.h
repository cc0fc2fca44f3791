// The round box `edKolo` of the main window's tool bar: the current round
// (`Kolo` of the first `param` record) as a number the organiser types or
// steps with the two round buttons. Only rounds 1..1000 are ever stored;
// other text stays in the box while it has the focus and goes back to the
// stored round when the box is left. The typed results are committed before
// the round changes; a refused commit keeps the round.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "app/records_windows/field_watcher.h"
#include "pairing/window_dialogs.h"
#include "records/data/tournament_data.h"

namespace app {

// The round `text` names: a whole number as the integer conversion reads
// it, within 1..TData::kMaxRound; nothing otherwise.
std::optional<int32_t> RoundInText(const QString& text);
// The whole number at the start of `text` (an optional sign, then digits),
// 0 when there is none. Longer digit runs saturate far below the 64-bit
// limits, so one step up or down never overflows.
int64_t LeadingNumber(const QString& text);

class TRoundBox : public TDBFieldWatcher {
  Q_OBJECT

 public:
  // `commit_typed` commits what the user typed elsewhere and answers
  // whether that could be done. `data` and `dialogs` outlive the box.
  TRoundBox(records::TData& data, pairing::WindowDialogs& dialogs, std::function<bool()> commit_typed,
            QWidget* parent = nullptr);

  // The user changed the text: a round 1..1000 becomes the current round.
  void edKoloChange();
  // The round buttons: the number at the start of the text, plus `delta`.
  void StepRound(int delta);

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void ChangeRound(int64_t round);

  records::TData& data_;
  pairing::WindowDialogs& dialogs_;
  std::function<bool()> commit_typed_;
};

}  // namespace app
