// TDBGridModel: a dataset's records as a Qt table model.
//
// The model follows the dataset through a data link: a change of the whole
// data set schedules one re-read of every record (several changes in a row
// cost one re-read), a change of the current record or of one of its fields
// repaints that row, a scroll moves the current row. What it shows comes
// from a cache of the records' texts and positions (bookmarks), read once
// per refresh with the views held back, so painting never moves the dataset;
// only the current record in edit or insert state is read live.
//
// The dataset's current record and the view's current row are kept in step:
// MoveTo positions the dataset for the view (posting or cancelling what the
// record being edited holds), CurrentRowChanged tells the view where the
// dataset went. A record in insert state is shown as an extra row.
//
// Errors of writing a value do not travel through Qt: setData answers false
// and keeps the text for the view to show (LastError).
#pragma once

#include <QAbstractTableModel>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "db/access/dataset/data_link.h"
#include "db/access/dataset/dataset.h"

namespace app {

struct TDBGridColumn {
  std::string field_name;
  QString title;  // the field name when empty
  int width = -1; // the grid's default when negative
};

class TDBGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The role through which a lookup column's editor writes the key of the
  // chosen record into the key field.
  static constexpr int kLookupKeyRole = Qt::UserRole + 1;

  TDBGridModel(kelvorin::TDataSource& source, std::vector<TDBGridColumn> columns,
               QObject* parent = nullptr);
  ~TDBGridModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  kelvorin::TDataSet* DataSet() const;
  const std::vector<TDBGridColumn>& Columns() const { return columns_; }
  // The field a column shows, or nullptr while the dataset is closed or
  // has no field of that name.
  kelvorin::TField* FieldOf(int column) const;
  int ColumnOfField(const std::string& name) const;

  // The row of the dataset's current record (-1 for none).
  int CurrentRow() const;
  bool IsInsertRow(int row) const { return row >= 0 && row == insert_row_; }
  // Makes the record of `row` the current one; what the record being edited
  // holds is posted first (an unchanged insert is cancelled). Raises what
  // refuses that post.
  void MoveTo(int row);
  // Where the next record in insert state is shown: before `row`, or after
  // the last row when `row` is the row count.
  void SetInsertRow(int row) { requested_insert_row_ = row; }

  // Runs a scheduled re-read now.
  void Sync();
  bool RefreshPending() const { return refresh_pending_; }

  // The text of the last refused setData ("" after a successful one).
  const std::string& LastError() const { return last_error_; }

 signals:
  // The dataset moved to another record (or the rows were re-read).
  void CurrentRowChanged(int row);

 private:
  class Link;
  friend class Link;
  struct Row {
    std::string bookmark;
    std::vector<QString> texts;
  };

  void ActiveChanged();
  void DataSetChanged();
  void Scrolled();
  void RecordChanged();
  void StateChanged();
  void ScheduleRefresh();
  void AnnounceCurrentRow();
  void Refresh();
  void ResolveFields();
  Row ReadRow() const;
  QString LiveText(int column) const;
  // The cache index of a row that is not the insert row.
  int CacheIndex(int row) const { return insert_row_ >= 0 && row > insert_row_ ? row - 1 : row; }
  void WriteValue(int column, const QVariant& value, int role);

  std::unique_ptr<Link> link_;
  std::vector<TDBGridColumn> columns_;
  std::vector<kelvorin::TField*> fields_;
  std::vector<Row> rows_;
  std::unordered_map<std::string, int> row_of_bookmark_;
  int insert_row_ = -1;
  int requested_insert_row_ = -1;
  bool refresh_pending_ = false;
  bool refresh_queued_ = false;
  bool reading_ = false;  // the model itself moves the dataset
  std::string last_error_;
  // The row of the current record when the dataset was last browsed.
  int last_row_ = 0;
};

}  // namespace app
