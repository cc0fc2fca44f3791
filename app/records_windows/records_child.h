// The common part of the players and seating windows: a child window of the
// main window around a data-aware grid, with a pop-up menu of named actions
// and a settings component that keeps its placement and column widths.
// Closing first posts what the grid holds; a refused post keeps the window
// open with the editor. A closed window is destroyed.
#pragma once

#include <QString>
#include <functional>

#include "app/grid/db_grid.h"
#include "app/window_settings.h"
#include "pairing/window_dialogs.h"
#include "pairing/window_mdi_child.h"

class QAction;

namespace app {

class TRecordsChild : public pairing::TMDIChild {
  Q_OBJECT

 public:
  TDBGrid& Grid() const { return *grid_; }
  TJvRegAuto& Settings() const { return *settings_; }
  QAction* MenuAction(const QString& name) const;

 protected:
  // `name` is the window's name and its settings section.
  TRecordsChild(const char* name, pairing::WindowDialogs& dialogs, QWidget* parent);

  // Makes `grid` the window's grid and attaches the settings.
  void SetGrid(TDBGrid& grid);
  // A pop-up menu item named "<name>1" whose handler runs guarded.
  QAction* AddMenuAction(const QString& caption, const std::function<void()>& handler);
  void AddMenuSeparator();
  void Guarded(const std::function<void()>& command);

  void closeEvent(QCloseEvent* event) override;

  pairing::WindowDialogs& dialogs_;

 private:
  TDBGrid* grid_ = nullptr;
  TJvRegAuto* settings_ = nullptr;
};

}  // namespace app
