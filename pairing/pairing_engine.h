// The pairing engine: the grid with the tournament history and its counters,
// the weights and matching lists, and every pairing step from the import of a
// history to the seating of a new round.
//
// One PairingEngine is the model behind one pairing window (or one kesh-draw
// run). It never touches the database and knows no widgets: questions and
// messages go through UserDialogs, changes are announced to a
// PairingObserver, and command lines go through a CommandRunner.
//
// Every failure is a PairingError carrying the user-facing text. A failing
// single step keeps whatever it had written before the error; the one-click
// run (RunOneClick) puts RoundCount and the new round's column back first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pairing/command_runner.h"
#include "pairing/grid.h"
#include "pairing/pairing_observer.h"
#include "pairing/user_dialogs.h"

namespace pairing {

using LineList = std::vector<std::string>;

// What the one-click run draws.
enum class DrawMode { kFours, kTwos };

class PairingEngine {
 public:
  static constexpr std::int32_t kInitialPlayerCount = 32;

  // Window creation: RoundCount 0, PlayerCount 32, FitGrid, and the shared
  // CommandPrefix becomes "cmd ". `dialogs` must outlive the engine.
  explicit PairingEngine(UserDialogs& dialogs);
  PairingEngine(const PairingEngine&) = delete;
  PairingEngine& operator=(const PairingEngine&) = delete;

  // --- state ---------------------------------------------------------------
  Grid& grid() { return grid_; }
  const Grid& grid() const { return grid_; }

  std::int32_t RoundCount() const { return round_count_; }
  void SetRoundCount(std::int32_t count) { round_count_ = count; }
  std::int32_t PlayerCount() const { return player_count_; }
  void SetPlayerCount(std::int32_t count) { player_count_ = count; }

  // The weights list (text of the next "wm.in", initially "VAHY") and the
  // matching list (text of the last "wm.out", initially "PAROVANI").
  const LineList& WeightsList() const { return weights_list_; }
  void SetWeightsList(LineList lines);
  const LineList& MatchingList() const { return matching_list_; }
  void SetMatchingList(LineList lines);

  bool MissingResultsAsked() const { return missing_results_asked_; }
  bool MissingResultsAsZero() const { return missing_results_as_zero_; }
  void SetMissingResultsAsked(bool v) { missing_results_asked_ = v; }
  void SetMissingResultsAsZero(bool v) { missing_results_as_zero_ = v; }

  // The "BYE's" box text, read afresh by every weights computation.
  const std::string& ByesText() const { return byes_text_; }
  void SetByesText(std::string text) { byes_text_ = std::move(text); }

  // "Manual match": commands are shown to the user instead of being run.
  bool ManualMatch() const { return manual_match_; }
  void SetManualMatch(bool on) { manual_match_ = on; }

  // The locale's decimal separator of results ('.' until set).
  char DecimalSeparator() const { return decimal_separator_; }
  void SetDecimalSeparator(char separator) { decimal_separator_ = separator; }

  // Not owned; nullptr for none / for real processes.
  void SetObserver(PairingObserver* observer);
  void SetCommandRunner(CommandRunner* runner);

  // --- grid ----------------------------------------------------------------
  void FitGrid();
  void ClearGrid();
  void RefreshCounters();
  // "Vycisti tabulku" (F5): ClearGrid, then RoundCount becomes 0.
  void ClearTable();
  // "NULY": the results column of the latest round becomes "0" for every
  // player; nothing happens while RoundCount is 0.
  void FillZeros();
  // The clipboard import and export, on text (rows ended by CR).
  void ImportFromText(std::string_view text);
  std::string ExportToText() const;

  // --- history and weights ---------------------------------------------------
  std::int32_t MeetingCount(std::int32_t a, std::int32_t b);
  std::int32_t TripleMeetings(std::int32_t a, std::int32_t b, std::int32_t c);
  std::int32_t QuadMeetings(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);
  std::int32_t ScoreHalfPoints(std::int32_t a);
  std::int64_t PairWeight(std::int32_t a, std::int32_t b);

  // --- matching exchange -----------------------------------------------------
  int RunCommand(const std::string& command);
  void ExchangeTwos();
  void ExchangeFours();
  std::int32_t MateOf(std::int32_t vertex) const;

  // --- pairing steps ---------------------------------------------------------
  void ComputeTwoWeights();
  void PairIntoTwos();
  void ComputeFourWeights();
  void GroupIntoFours();

  // "2. Seskup !": weights for twos, pairing into twos, then (kFours) weights
  // for fours and grouping into fours; returns the exported grid. With no
  // players it shows "Žádná data. Načtěte data a zkuste to znovu." and returns
  // nothing. On an error RoundCount and the new round's table column are put
  // back before the error propagates.
  std::optional<std::string> RunOneClick(DrawMode mode = DrawMode::kFours);

 private:
  // The history counts of one weights computation (pairing/history.h).
  class History;

  void NotifyCounters();
  void NotifyGrid();
  void NotifyWeights();
  void NotifyMatching();
  void RunStepsOfOneClick(DrawMode mode);

  UserDialogs& dialogs_;
  PairingObserver* observer_ = nullptr;
  CommandRunner* runner_ = nullptr;
  ProcessCommandRunner process_runner_;

  Grid grid_;
  std::int32_t round_count_ = 0;
  std::int32_t player_count_ = kInitialPlayerCount;
  LineList weights_list_{"VAHY"};
  LineList matching_list_{"PAROVANI"};
  bool missing_results_asked_ = false;
  bool missing_results_as_zero_ = false;
  std::string byes_text_ = "0";
  bool manual_match_ = false;
  char decimal_separator_ = '.';
};

}  // namespace pairing
