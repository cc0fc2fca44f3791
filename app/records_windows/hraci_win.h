// THraciWin: the players window. A grid over the players ("id", "Jmeno")
// with a pop-up menu: "Delete" deletes the current player (asking first
// when the player has seatings, which would stay without a name), "SaveAll"
// writes the players list file, "LoadAll" replaces the players from one.
// Its settings section "HraciWin" keeps its placement and column widths.
#pragma once

#include "app/records_windows/records_child.h"
#include "records/data/tournament_data.h"

namespace app {

class THraciWin : public TRecordsChild {
  Q_OBJECT

 public:
  static constexpr const char* kName = "HraciWin";

  THraciWin(records::TData& data, pairing::WindowDialogs& dialogs, QWidget* parent = nullptr);

  void Delete1Click();
  void SaveAll1Click();
  void LoadAll1Click();

 private:
  records::TData& data_;
};

}  // namespace app
