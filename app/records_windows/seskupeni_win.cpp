// The seating window.
#include "app/records_windows/seskupeni_win.h"

#include <QAction>
#include <QVBoxLayout>

namespace app {

namespace {

const char* const kSortIndex = "userindex";

}  // namespace

TSeskupeniWin::TSeskupeniWin(records::TData& data, pairing::WindowDialogs& dialogs, QWidget* parent)
    : TRecordsChild(kName, dialogs, parent), data_(data) {
  setWindowTitle(QStringLiteral("Rozesazení"));
  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(0, 0, 0, 0);
  grid_ = new TDBGrid(data.dsSeskupeniWin(),
                      {{"id_hrace", QStringLiteral("id"), 29},
                       {"Jmeno", QStringLiteral("Jméno"), 64},
                       {"Stul", QStringLiteral("Stůl"), -1},
                       {"Kolo", {}, -1},
                       {"Body", {}, -1},
                       {"Skore", QStringLiteral("Skóre"), 40}},
                      dialogs, body);
  layout->addWidget(grid_);
  watcher_ = new TDBFieldWatcher(data.dsParam(), "Kolo", body);
  watcher_->setObjectName(QStringLiteral("MainCaptionHlidac"));
  watcher_->setVisible(false);
  setWidget(body);
  connect(watcher_, &QLineEdit::textChanged, this, [this] { MainCaptionHlidacChange(); });
  connect(grid_, &TDBGrid::TitleClicked, this, [this](int column) { GridTitleBtnClick(column); });

  SetGrid(*grid_);
  AddMenuAction(QStringLiteral("Delete"), [this] { Delete1Click(); });
  // The check mark toggles by itself; the handler only applies it.
  filtered_ = AddMenuAction(QStringLiteral("Filtered"), [this] { ApplyFilterState(); });
  filtered_->setCheckable(true);
  filtered_->setChecked(true);
  resize(400, 300);
  ShowSortMark();
}

void TSeskupeniWin::ApplyFilterState() {
  if (!grid_->CommitPending()) return;
  // The caption follows the filter state even when applying it failed.
  struct CaptionUpdate {
    TSeskupeniWin& window;
    ~CaptionUpdate() { window.MainCaptionHlidacChange(); }
  } caption{*this};
  data_.ApplyFilterState(filtered_->isChecked());
}

void TSeskupeniWin::MainCaptionHlidacChange() {
  const kelvorin::TABSTable& seatings = data_.tblSeskupeniWin();
  setWindowTitle(seatings.Filtered() ? QStringLiteral("Rozesazení - kolo ") + watcher_->text()
                                     : QStringLiteral("Rozesazení"));
}

void TSeskupeniWin::Filtered1Click() {
  filtered_->setChecked(!filtered_->isChecked());
  ApplyFilterState();
}

void TSeskupeniWin::Delete1Click() {
  if (!grid_->CommitPending()) return;
  data_.tblSeskupeniWin().Delete();
}

void TSeskupeniWin::GridTitleBtnClick(int column) {
  const kelvorin::TField* field = grid_->Model().FieldOf(column);
  if (field == nullptr || field->FieldKind() != kelvorin::TFieldKind::fkData) return;
  if (!grid_->CommitPending()) return;
  const std::string name = field->FieldName();
  Guarded([&] {
    struct SortMark {
      TSeskupeniWin& window;
      ~SortMark() { window.ShowSortMark(); }
    } mark{*this};
    data_.SortSeatingBy(name);
  });
}

void TSeskupeniWin::ShowSortMark() {
  const kelvorin::TABSTable& seatings = data_.tblSeskupeniWin();
  const bool sorted = seatings.Active() && seatings.IndexName() == kSortIndex && !seatings.IndexFields().empty();
  grid_->SetSortField(sorted ? seatings.IndexFields().front() : std::string());
}

void TSeskupeniWin::showEvent(QShowEvent* event) {
  TMDIChild::showEvent(event);
  if (shown_) return;
  shown_ = true;
  Guarded([this] { ApplyFilterState(); });
}

}  // namespace app
