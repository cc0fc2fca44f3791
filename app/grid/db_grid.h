// TDBGrid: the data-aware grid of the records windows.
//
// A table view over a TDBGridModel with the keys of a database grid: Esc
// cancels the editor, then the record; Insert inserts a record before the
// current one; Down on the last row appends one; Ctrl+Del asks before it
// deletes the current record; leaving a row posts its record (a refused
// post shows its error and keeps the row). A right click first makes the
// row under the mouse the current one, so a pop-up menu acts on it. An
// inserted record left unchanged is cancelled when the grid loses focus.
// Integer columns accept whole numbers only; a lookup column offers the
// lookup dataset's results in a combo and writes the chosen key.
//
// Column titles are buttons: a click is reported (TitleClicked), and the
// window decides what it means.
#pragma once

#include <QPointer>
#include <QTableView>
#include <vector>

#include "app/grid/db_grid_model.h"
#include "pairing/window_dialogs.h"

namespace app {

class TDBGrid : public QTableView {
  Q_OBJECT

 public:
  TDBGrid(kelvorin::TDataSource& source, std::vector<TDBGridColumn> columns,
          pairing::WindowDialogs& dialogs, QWidget* parent = nullptr);
  ~TDBGrid() override;

  TDBGridModel& Model() const { return *model_; }
  kelvorin::TDataSet* DataSet() const { return model_->DataSet(); }
  pairing::WindowDialogs& Dialogs() const { return dialogs_; }

  // Shows the sort mark on the column of `field_name` (none when empty or
  // not shown).
  void SetSortField(const std::string& field_name);

  // Commits an open editor and posts the record being edited, so a command
  // that closes or reorders the dataset loses nothing. On a refusal the
  // error is shown, the editor stays, and the answer is false.
  bool CommitPending();

  // The editor of a cell while one is open (for tests and CommitPending).
  QWidget* OpenEditor() const { return open_editor_; }

  // The keyboard's delete: asks, then deletes the current record.
  void DeleteWithQuestion();

  // Lookup choices of a lookup column: (result text, key) of every record of
  // the lookup dataset, in its order; the dataset's position is kept.
  std::vector<std::pair<QString, int>> LookupChoices(const kelvorin::TField& field) const;

 signals:
  void TitleClicked(int column);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void commitData(QWidget* editor) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

 private:
  class Delegate;
  friend class Delegate;

  void FollowDataSet(int row);
  void ShowRow(int row, int column);
  void Guarded(const std::function<void()>& command);
  void InsertRecord(bool append);
  void EditorOpened(QWidget* editor, const QModelIndex& index);

  pairing::WindowDialogs& dialogs_;
  TDBGridModel* model_;
  QPointer<QWidget> open_editor_;
  QPersistentModelIndex editor_index_;
  bool commit_failed_ = false;
  bool following_ = false;
  int column_before_reset_ = 0;
};

}  // namespace app
