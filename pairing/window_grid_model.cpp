// Table model over the pairing grid; model (row, column) is grid cell
// (column + 1, row + 1).
#include "pairing/window_grid_model.h"

#include <algorithm>

namespace pairing {

namespace {

int Shown(int count) { return std::max(count - 1, 0); }

}  // namespace

WindowGridModel::WindowGridModel(Grid& grid, QObject* parent)
    : QAbstractTableModel(parent),
      grid_(grid),
      shown_rows_(Shown(grid.RowCount())),
      shown_cols_(Shown(grid.ColCount())) {}

int WindowGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown_rows_;
}

int WindowGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown_cols_;
}

QVariant WindowGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  return QString::fromStdString(grid_.Cell(index.column() + 1, index.row() + 1));
}

bool WindowGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  grid_.SetCell(index.column() + 1, index.row() + 1, value.toString().toStdString());
  emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
  return true;
}

Qt::ItemFlags WindowGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

// Column headings are the empty row 0; row headings are column 0, the
// player numbers.
QVariant WindowGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) return QString::fromStdString(grid_.Cell(section + 1, 0));
  return QString::fromStdString(grid_.Cell(0, section + 1));
}

void WindowGridModel::Refresh() {
  const int rows = Shown(grid_.RowCount());
  const int cols = Shown(grid_.ColCount());
  if (rows == shown_rows_ && cols == shown_cols_) {
    if (rows > 0 && cols > 0) emit dataChanged(index(0, 0), index(rows - 1, cols - 1));
    if (rows > 0) emit headerDataChanged(Qt::Vertical, 0, rows - 1);
    if (cols > 0) emit headerDataChanged(Qt::Horizontal, 0, cols - 1);
    return;
  }
  beginResetModel();
  shown_rows_ = rows;
  shown_cols_ = cols;
  endResetModel();
}

}  // namespace pairing
