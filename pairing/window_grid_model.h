// The pairing grid as a Qt table model.
//
// The model shows the grid's cells (1, 1) and beyond; row 0 and column 0 are
// the grid's fixed headings and are shown by the view's header sections, so
// they stay in place while the cells scroll. Cells outside the grid's shown
// column and row counts are not part of the model but keep their text in the
// grid.
#pragma once

#include <QAbstractTableModel>

#include "pairing/grid.h"

namespace pairing {

class WindowGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit WindowGridModel(Grid& grid, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The grid changed behind the model's back: shows it again, keeping the
  // view's position when the shown counts stay the same.
  void Refresh();

 private:
  Grid& grid_;
  int shown_rows_;
  int shown_cols_;
};

}  // namespace pairing
