// THraciWin: the players window. A grid over the players ("id", "Jmeno")
// with a pop-up menu: "Delete" deletes the current player (asking first
// when the player has seatings, which would stay without a name), "SaveAll"
// writes the players list file, "LoadAll" replaces the players from one.
// Its settings section "HraciWin" keeps its placement and column widths.
#pragma once

#include "app/grid/db_grid.h"
#include "app/window_settings.h"
#include "pairing/window_dialogs.h"
#include "pairing/window_mdi_child.h"
#include "records/data/tournament_data.h"

class QAction;

namespace app {

class THraciWin : public pairing::TMDIChild {
  Q_OBJECT

 public:
  static constexpr const char* kName = "HraciWin";

  THraciWin(records::TData& data, pairing::WindowDialogs& dialogs, QWidget* parent = nullptr);

  TDBGrid& Grid() const { return *grid_; }
  TJvRegAuto& Settings() const { return *settings_; }
  QAction* MenuAction(const QString& name) const;

  void Delete1Click();
  void SaveAll1Click();
  void LoadAll1Click();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  bool HasSeatings(int32_t player_id);
  void Guarded(const std::function<void()>& command);

  records::TData& data_;
  pairing::WindowDialogs& dialogs_;
  TDBGrid* grid_;
  TJvRegAuto* settings_;
};

}  // namespace app
