// The cached record view of a dataset.
#include "app/grid/db_grid_model.h"

#include <QMetaObject>
#include <algorithm>
#include <stdexcept>
#include <exception>

#include "app/grid/ansi_text.h"
#include "db/access/session/access_events.h"

namespace app {

using kelvorin::TDataSet;
using kelvorin::TDataSetState;
using kelvorin::TField;
using kelvorin::TFieldKind;

class TDBGridModel::Link : public kelvorin::TDataLink {
 public:
  explicit Link(TDBGridModel& model) : model_(model) {}

 protected:
  void ActiveChanged() override { model_.ActiveChanged(); }
  void DataSetChanged() override { model_.DataSetChanged(); }
  void DataSetScrolled() override { model_.Scrolled(); }
  void RecordChanged(TField*) override { model_.RecordChanged(); }
  void StateChanged() override { model_.StateChanged(); }
  void LayoutChanged() override { model_.ActiveChanged(); }

 private:
  TDBGridModel& model_;
};

namespace {

std::string BookmarkKey(const kelvorin::TBookmark& bookmark) {
  return std::string(bookmark.begin(), bookmark.end());
}

bool InEditState(const TDataSet& dataset) {
  return dataset.State() == TDataSetState::dsEdit || dataset.State() == TDataSetState::dsInsert;
}

// Holds the dataset's views back while the model walks its records.
class ReadingGuard {
 public:
  ReadingGuard(TDataSet& dataset, bool& reading) : dataset_(dataset), reading_(reading) {
    reading_ = true;
    dataset_.DisableControls();
  }
  ~ReadingGuard() {
    dataset_.EnableControls();
    reading_ = false;
  }
  ReadingGuard(const ReadingGuard&) = delete;
  ReadingGuard& operator=(const ReadingGuard&) = delete;

 private:
  TDataSet& dataset_;
  bool& reading_;
};

}  // namespace

TDBGridModel::TDBGridModel(kelvorin::TDataSource& source, std::vector<TDBGridColumn> columns,
                           QObject* parent)
    : QAbstractTableModel(parent), link_(std::make_unique<Link>(*this)), columns_(std::move(columns)) {
  link_->SetDataSource(&source);
  ResolveFields();
  // Read once the window around the grid has been set up (it may filter or
  // reorder the dataset before it is first shown).
  ScheduleRefresh();
}

TDBGridModel::~TDBGridModel() {
  // Detaching tells the link that the dataset is gone; nobody is listening.
  blockSignals(true);
  reading_ = true;
  link_->SetDataSource(nullptr);
}

TDataSet* TDBGridModel::DataSet() const { return link_->DataSet(); }

int TDBGridModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return static_cast<int>(rows_.size()) + (insert_row_ >= 0 ? 1 : 0);
}

int TDBGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

TField* TDBGridModel::FieldOf(int column) const {
  if (column < 0 || column >= static_cast<int>(fields_.size())) return nullptr;
  return fields_[static_cast<size_t>(column)];
}

int TDBGridModel::ColumnOfField(const std::string& name) const {
  for (size_t i = 0; i < columns_.size(); ++i)
    if (columns_[i].field_name == name) return static_cast<int>(i);
  return -1;
}

void TDBGridModel::ResolveFields() {
  fields_.assign(columns_.size(), nullptr);
  TDataSet* dataset = DataSet();
  if (dataset == nullptr || !dataset->Active()) return;
  for (size_t i = 0; i < columns_.size(); ++i) fields_[i] = dataset->FindField(columns_[i].field_name);
}

QString TDBGridModel::LiveText(int column) const {
  TField* field = FieldOf(column);
  return field != nullptr ? FromAnsi(field->AsString()) : QString();
}

QVariant TDBGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  const int row = index.row();
  TDataSet* dataset = DataSet();
  if (dataset != nullptr && InEditState(*dataset) && row == CurrentRow()) return LiveText(index.column());
  if (IsInsertRow(row)) return QString();
  const int cached = CacheIndex(row);
  if (cached < 0 || cached >= static_cast<int>(rows_.size())) return {};
  return rows_[static_cast<size_t>(cached)].texts[static_cast<size_t>(index.column())];
}

QVariant TDBGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) {
    // The record indicator: the current record, one being edited, a new one.
    if (section != CurrentRow()) return QString();
    const TDataSet* dataset = DataSet();
    if (dataset == nullptr) return QString();
    if (dataset->State() == TDataSetState::dsInsert) return QStringLiteral("*");
    if (dataset->State() == TDataSetState::dsEdit) return QStringLiteral("I");
    return QString(QChar(0x25B8));
  }
  if (section < 0 || section >= static_cast<int>(columns_.size())) return {};
  const TDBGridColumn& column = columns_[static_cast<size_t>(section)];
  return column.title.isEmpty() ? FromAnsi(column.field_name) : column.title;
}

Qt::ItemFlags TDBGridModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  const TField* field = FieldOf(index.column());
  const TDataSet* dataset = DataSet();
  if (field != nullptr && !field->ReadOnly() && dataset != nullptr && dataset->CanModify()) {
    if (field->FieldKind() != TFieldKind::fkCalculated) flags |= Qt::ItemIsEditable;
  }
  return flags;
}

bool TDBGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  last_error_.clear();
  if (!index.isValid() || (role != Qt::EditRole && role != kLookupKeyRole)) return false;
  try {
    if (index.row() != CurrentRow()) MoveTo(index.row());
    WriteValue(index.column(), value, role);
  } catch (const std::exception& error) {
    last_error_ = error.what();
    return false;
  }
  return true;
}

void TDBGridModel::WriteValue(int column, const QVariant& value, int role) {
  TField* field = FieldOf(column);
  TDataSet* dataset = DataSet();
  if (field == nullptr || dataset == nullptr) return;
  if (field->FieldKind() == TFieldKind::fkLookup) {
    if (role != kLookupKeyRole) return;
    TField& key = dataset->FieldByName(field->KeyFields());
    dataset->Edit();
    if (value.isNull()) {
      key.Clear();
    } else {
      key.SetAsInteger(value.toInt());
    }
    return;
  }
  const QString text = value.toString();
  QString missing;
  const std::optional<std::string> ansi = ToAnsi(text, &missing);
  if (!ansi) throw std::runtime_error(CharacterNotInCodePage(missing));
  // Opening and closing an editor without a change leaves the record alone.
  if (!InEditState(*dataset) && *ansi == field->AsString()) return;
  dataset->Edit();
  field->SetAsString(*ansi);
}

int TDBGridModel::CurrentRow() const {
  TDataSet* dataset = DataSet();
  if (dataset == nullptr || !dataset->Active()) return -1;
  if (dataset->State() == TDataSetState::dsInsert) return insert_row_;
  if (dataset->Bof() && dataset->Eof()) return -1;
  const auto found = row_of_bookmark_.find(BookmarkKey(dataset->GetBookmark()));
  if (found == row_of_bookmark_.end()) return -1;
  const int row = found->second;
  return insert_row_ >= 0 && row >= insert_row_ ? row + 1 : row;
}

void TDBGridModel::MoveTo(int row) {
  TDataSet* dataset = DataSet();
  if (dataset == nullptr || !dataset->Active() || IsInsertRow(row)) return;
  const int cached = CacheIndex(row);
  if (cached < 0 || cached >= static_cast<int>(rows_.size())) return;
  const std::string bookmark = rows_[static_cast<size_t>(cached)].bookmark;
  if (InEditState(*dataset)) dataset->CheckBrowseMode();
  {
    ReadingGuard guard(*dataset, reading_);
    dataset->GotoBookmark(kelvorin::TBookmark(bookmark.begin(), bookmark.end()));
  }
  AnnounceCurrentRow();
}

void TDBGridModel::ActiveChanged() {
  if (signalsBlocked()) return;
  ResolveFields();
  TDataSet* dataset = DataSet();
  // A closed dataset's positions mean nothing: the rows go at once; an
  // opened one is read when the event loop comes back.
  if (dataset != nullptr && dataset->Active()) {
    ScheduleRefresh();
  } else {
    Refresh();
  }
}

void TDBGridModel::DataSetChanged() {
  if (reading_) return;
  ScheduleRefresh();
}

void TDBGridModel::Scrolled() {
  if (reading_) return;
  AnnounceCurrentRow();
}

void TDBGridModel::RecordChanged() {
  if (reading_) return;
  const int row = CurrentRow();
  if (row < 0) return;
  emit dataChanged(index(row, 0), index(row, columnCount() - 1));
  emit headerDataChanged(Qt::Vertical, row, row);
}

void TDBGridModel::StateChanged() {
  if (reading_) return;
  TDataSet* dataset = DataSet();
  const bool inserting = dataset != nullptr && dataset->State() == TDataSetState::dsInsert;
  if (inserting && insert_row_ < 0) {
    int row = requested_insert_row_;
    requested_insert_row_ = -1;
    const int rows = static_cast<int>(rows_.size());
    if (row < 0 || row > rows) {
      // Inserted from elsewhere: before the record that was current.
      row = std::clamp(last_row_, 0, rows);
    }
    beginInsertRows({}, row, row);
    insert_row_ = row;
    endInsertRows();
    emit CurrentRowChanged(row);
  } else if (!inserting && insert_row_ >= 0) {
    beginRemoveRows({}, insert_row_, insert_row_);
    insert_row_ = -1;
    endRemoveRows();
    ScheduleRefresh();
  }
  emit headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
  if (refresh_pending_ && dataset != nullptr && !InEditState(*dataset)) ScheduleRefresh();
}

void TDBGridModel::AnnounceCurrentRow() {
  const int row = CurrentRow();
  if (row >= 0 && !IsInsertRow(row)) last_row_ = row;
  emit headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
  emit CurrentRowChanged(row);
}

void TDBGridModel::ScheduleRefresh() {
  refresh_pending_ = true;
  if (refresh_queued_) return;
  refresh_queued_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        refresh_queued_ = false;
        try {
          if (refresh_pending_) Refresh();
        } catch (...) {
          kelvorin::ReportCaughtError();
        }
      },
      Qt::QueuedConnection);
}

void TDBGridModel::Sync() {
  if (refresh_pending_) Refresh();
}

TDBGridModel::Row TDBGridModel::ReadRow() const {
  Row row;
  row.bookmark = BookmarkKey(DataSet()->GetBookmark());
  row.texts.reserve(columns_.size());
  for (size_t i = 0; i < columns_.size(); ++i) row.texts.push_back(LiveText(static_cast<int>(i)));
  return row;
}

void TDBGridModel::Refresh() {
  TDataSet* dataset = DataSet();
  // A record being edited stays as it is shown; the re-read waits for the
  // dataset to come back to browsing.
  if (dataset != nullptr && InEditState(*dataset)) {
    refresh_pending_ = true;
    return;
  }
  refresh_pending_ = false;
  beginResetModel();
  rows_.clear();
  row_of_bookmark_.clear();
  insert_row_ = -1;
  std::exception_ptr failure;
  if (dataset != nullptr && dataset->Active()) {
    ResolveFields();
    try {
      ReadingGuard guard(*dataset, reading_);
      const kelvorin::TBookmark current = dataset->GetBookmark();
      for (dataset->First(); !dataset->Eof(); dataset->Next()) {
        row_of_bookmark_.emplace(BookmarkKey(dataset->GetBookmark()), static_cast<int>(rows_.size()));
        rows_.push_back(ReadRow());
      }
      if (!current.empty() && row_of_bookmark_.count(BookmarkKey(current)) > 0) {
        dataset->GotoBookmark(current);
      } else {
        dataset->First();
      }
    } catch (...) {
      failure = std::current_exception();
    }
  }
  endResetModel();
  AnnounceCurrentRow();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace app
