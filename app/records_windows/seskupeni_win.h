// TSeskupeniWin: the seating window. A grid over the second seating cursor
// with six columns (id, the looked-up name, table, round, result, score),
// a hidden edit that follows the current round and renames the window, and
// a pop-up menu: "Delete" and "Filtered" (on at start: only the current
// round is listed). A click on a stored column's title orders the list by
// that column. Whatever the user typed and has not posted is posted before
// a sort or a close; a refused post stops them and keeps the editor.
// Its settings section "SeskupeniWin" keeps its placement and column widths.
#pragma once

#include "app/records_windows/field_watcher.h"
#include "app/records_windows/records_child.h"
#include "records/data/tournament_data.h"

namespace app {

class TSeskupeniWin : public TRecordsChild {
  Q_OBJECT

 public:
  static constexpr const char* kName = "SeskupeniWin";

  TSeskupeniWin(records::TData& data, pairing::WindowDialogs& dialogs, QWidget* parent = nullptr);

  TDBFieldWatcher& MainCaptionHlidac() const { return *watcher_; }

  void ApplyFilterState();
  void MainCaptionHlidacChange();
  void Filtered1Click();
  void Delete1Click();
  void GridTitleBtnClick(int column);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowSortMark();

  records::TData& data_;
  TDBGrid* grid_;
  TDBFieldWatcher* watcher_;
  QAction* filtered_;
  bool shown_ = false;
};

}  // namespace app
