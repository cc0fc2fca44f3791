// The keys, editors and title buttons of the data-aware grid.
#include "app/grid/db_grid.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <algorithm>

#include "app/grid/ansi_text.h"

namespace app {

using kelvorin::TDataSet;
using kelvorin::TDataSetState;
using kelvorin::TField;
using kelvorin::TFieldKind;

namespace {

bool IsWholeNumberField(const TField& field) {
  switch (field.DataType()) {
    case kelvorin::ftSmallint:
    case kelvorin::ftInteger:
    case kelvorin::ftLargeint:
    case kelvorin::ftWord:
    case kelvorin::ftAutoInc:
      return true;
    default:
      return false;
  }
}

bool InEditState(const TDataSet& dataset) {
  return dataset.State() == TDataSetState::dsEdit || dataset.State() == TDataSetState::dsInsert;
}

}  // namespace

class TDBGrid::Delegate : public QStyledItemDelegate {
  static constexpr const char* kFilled = "filledFromRecord";

 public:
  explicit Delegate(TDBGrid& grid) : QStyledItemDelegate(&grid), grid_(grid) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                        const QModelIndex& index) const override {
    const TField* field = grid_.model_->FieldOf(index.column());
    QWidget* editor = nullptr;
    if (field != nullptr && field->FieldKind() == TFieldKind::fkLookup) {
      auto* combo = new QComboBox(parent);
      combo->setEditable(false);
      for (const auto& [text, key] : grid_.LookupChoices(*field)) combo->addItem(text, key);
      editor = combo;
    } else {
      auto* line = new QLineEdit(parent);
      line->setFrame(false);
      if (field != nullptr && IsWholeNumberField(*field)) {
        static const QRegularExpression kWholeNumber(QStringLiteral("-?[0-9]*"));
        line->setValidator(new QRegularExpressionValidator(kWholeNumber, line));
      } else if (field != nullptr && field->Size() > 0) {
        line->setMaxLength(field->Size());
      }
      editor = line;
    }
    grid_.EditorOpened(editor, index);
    return editor;
  }

  // An open editor holds what the user typed: repaints of its record do not
  // overwrite it.
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    if (editor->property(kFilled).toBool()) return;
    editor->setProperty(kFilled, true);
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
      combo->setCurrentIndex(combo->findText(text));
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
      line->setText(text);
    }
  }

  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
      if (combo->currentIndex() < 0) return;
      if (combo->currentText() == index.data(Qt::EditRole).toString()) return;
      model->setData(index, combo->currentData(), TDBGridModel::kLookupKeyRole);
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
      model->setData(index, line->text(), Qt::EditRole);
    }
  }

 private:
  TDBGrid& grid_;
};

TDBGrid::TDBGrid(kelvorin::TDataSource& source, std::vector<TDBGridColumn> columns,
                 pairing::WindowDialogs& dialogs, QWidget* parent)
    : QTableView(parent), dialogs_(dialogs) {
  model_ = new TDBGridModel(source, columns, this);
  setModel(model_);
  setItemDelegate(new Delegate(*this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed);
  setAlternatingRowColors(false);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setFixedWidth(fontMetrics().horizontalAdvance(QLatin1Char('W')) + 8);
  QHeaderView* titles = horizontalHeader();
  titles->setSectionsClickable(true);
  titles->setHighlightSections(false);
  titles->setSectionResizeMode(QHeaderView::Interactive);
  titles->setStretchLastSection(false);
  connect(titles, &QHeaderView::sectionClicked, this, &TDBGrid::TitleClicked);
  for (size_t i = 0; i < columns.size(); ++i)
    if (columns[i].width >= 0) setColumnWidth(static_cast<int>(i), columns[i].width);
  // Re-reading the list after a post resets the model, which forgets the
  // current cell and drops the editors: the cursor stays in its column (the
  // next result is typed below the last one).
  connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
    if (currentIndex().isValid()) column_before_reset_ = currentIndex().column();
  });
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { open_editor_.clear(); });
  connect(model_, &TDBGridModel::CurrentRowChanged, this, &TDBGrid::FollowDataSet);
  FollowDataSet(model_->CurrentRow());
}

TDBGrid::~TDBGrid() { disconnect(model_, nullptr, this, nullptr); }

void TDBGrid::Guarded(const std::function<void()>& command) { pairing::RunGuarded(dialogs_, command); }

void TDBGrid::SetSortField(const std::string& field_name) {
  const int column = field_name.empty() ? -1 : model_->ColumnOfField(field_name);
  horizontalHeader()->setSortIndicatorShown(column >= 0);
  if (column >= 0) horizontalHeader()->setSortIndicator(column, Qt::AscendingOrder);
}

void TDBGrid::ShowRow(int row, int column) {
  if (row < 0 || row >= model_->rowCount()) return;
  const bool was_following = following_;
  following_ = true;
  const QModelIndex index = model_->index(row, std::clamp(column, 0, model_->columnCount() - 1));
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  following_ = was_following;
}

void TDBGrid::FollowDataSet(int row) {
  if (row < 0) return;
  ShowRow(row, currentIndex().isValid() ? currentIndex().column() : column_before_reset_);
}

void TDBGrid::EditorOpened(QWidget* editor, const QModelIndex& index) {
  open_editor_ = editor;
  editor_index_ = index;
  commit_failed_ = false;
}

void TDBGrid::commitData(QWidget* editor) {
  QTableView::commitData(editor);
  commit_failed_ = !model_->LastError().empty();
  if (commit_failed_) {
    const std::string error = model_->LastError();
    dialogs_.ShowError(error);
  }
}

void TDBGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  if (hint != QAbstractItemDelegate::RevertModelCache && commit_failed_ && editor == open_editor_) {
    editor->setFocus();
    return;
  }
  commit_failed_ = false;
  if (editor == open_editor_) open_editor_ = nullptr;
  QTableView::closeEditor(editor, hint);
}

bool TDBGrid::CommitPending() {
  if (QWidget* editor = open_editor_) {
    commitData(editor);
    if (commit_failed_) {
      editor->setFocus();
      return false;
    }
    closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
  TDataSet* dataset = DataSet();
  if (dataset == nullptr || !dataset->Active() || !InEditState(*dataset)) return true;
  return pairing::RunGuarded(dialogs_, [dataset] { dataset->CheckBrowseMode(); });
}

void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  if (following_) {
    QTableView::currentChanged(current, previous);
    return;
  }
  if (QWidget* editor = open_editor_) {
    commitData(editor);
    if (commit_failed_) {
      ShowRow(previous.row(), previous.column());
      editor->setFocus();
      return;
    }
    closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
  QTableView::currentChanged(current, previous);
  if (!current.isValid() || (previous.isValid() && current.row() == previous.row())) return;
  if (!pairing::RunGuarded(dialogs_, [&] { model_->MoveTo(current.row()); })) {
    // The record that refused to be posted stays the current one.
    ShowRow(model_->CurrentRow(), current.column());
  }
}

void TDBGrid::InsertRecord(bool append) {
  Guarded([&] {
    TDataSet* dataset = DataSet();
    if (dataset == nullptr || !dataset->Active()) return;
    if (dataset->State() == TDataSetState::dsInsert && !dataset->Modified()) return;
    dataset->CheckBrowseMode();
    model_->Sync();
    const int row = append ? model_->rowCount() : std::max(0, currentIndex().row());
    model_->SetInsertRow(row);
    dataset->Insert();
  });
}

void TDBGrid::DeleteWithQuestion() {
  Guarded([this] {
    TDataSet* dataset = DataSet();
    if (dataset == nullptr || !dataset->Active() || dataset->IsEmpty()) return;
    if (dialogs_.AskYesNo("Delete record?")) dataset->Delete();
  });
}

std::vector<std::pair<QString, int>> TDBGrid::LookupChoices(const TField& field) const {
  std::vector<std::pair<QString, int>> choices;
  TDataSet* lookup = field.LookupDataSet();
  if (lookup == nullptr || !lookup->Active()) return choices;
  pairing::RunGuarded(dialogs_, [&] {
    lookup->CheckBrowseMode();
    const kelvorin::TBookmark current = lookup->GetBookmark();
    lookup->DisableControls();
    try {
      TField& key = lookup->FieldByName(field.LookupKeyFields());
      TField& result = lookup->FieldByName(field.LookupResultField());
      for (lookup->First(); !lookup->Eof(); lookup->Next())
        choices.emplace_back(FromAnsi(result.AsString()), key.AsInteger());
      if (!current.empty()) lookup->GotoBookmark(current);
    } catch (...) {
      lookup->EnableControls();
      throw;
    }
    lookup->EnableControls();
  });
  return choices;
}

void TDBGrid::keyPressEvent(QKeyEvent* event) {
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  TDataSet* dataset = DataSet();
  switch (event->key()) {
    case Qt::Key_Escape:
      if (plain && dataset != nullptr && dataset->Active() && InEditState(*dataset)) {
        Guarded([dataset] { dataset->Cancel(); });
        return;
      }
      break;
    case Qt::Key_Insert:
      if (plain) {
        InsertRecord(false);
        return;
      }
      break;
    case Qt::Key_Down:
      if (plain && currentIndex().row() == model_->rowCount() - 1) {
        InsertRecord(true);
        return;
      }
      break;
    case Qt::Key_Delete:
      if (event->modifiers() & Qt::ControlModifier) {
        DeleteWithQuestion();
        return;
      }
      break;
    default:
      break;
  }
  QTableView::keyPressEvent(event);
}

void TDBGrid::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid()) setCurrentIndex(index);
    return;
  }
  QTableView::mousePressEvent(event);
}

void TDBGrid::focusOutEvent(QFocusEvent* event) {
  QTableView::focusOutEvent(event);
  if (event->reason() == Qt::PopupFocusReason) return;
  QWidget* focus = QApplication::focusWidget();
  if (focus != nullptr && isAncestorOf(focus)) return;
  TDataSet* dataset = DataSet();
  if (dataset != nullptr && dataset->Active() && dataset->State() == TDataSetState::dsInsert &&
      !dataset->Modified())
    Guarded([dataset] { dataset->Cancel(); });
}

}  // namespace app
