// The players window.
#include "app/records_windows/hraci_win.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>

#include "app/records_windows/grid_widths.h"
#include "records/data/players_file.h"

namespace app {

namespace {

// A typed file name in the system's own encoding of paths.
std::string SystemPath(const std::string& typed) {
  return QFile::encodeName(QString::fromStdString(typed)).toStdString();
}

}  // namespace


THraciWin::THraciWin(records::TData& data, pairing::WindowDialogs& dialogs, QWidget* parent)
    : TMDIChild(parent), data_(data), dialogs_(dialogs) {
  setObjectName(QLatin1String(kName));
  setAttribute(Qt::WA_DeleteOnClose, true);
  setWindowTitle(QStringLiteral("Hráči"));
  grid_ = new TDBGrid(data.dsHraci(), {{"id", {}, 46}, {"Jmeno", {}, 131}}, dialogs, this);
  grid_->setObjectName(QStringLiteral("Grid"));
  setWidget(grid_);
  grid_->setContextMenuPolicy(Qt::ActionsContextMenu);
  const auto add = [this](const char* name, const std::function<void()>& handler) {
    auto* action = new QAction(QLatin1String(name), grid_);
    action->setObjectName(QLatin1String(name) + QLatin1Char('1'));
    connect(action, &QAction::triggered, this, [this, handler] { Guarded(handler); });
    grid_->addAction(action);
  };
  add("Delete", [this] { Delete1Click(); });
  auto* separator = new QAction(grid_);
  separator->setSeparator(true);
  grid_->addAction(separator);
  add("SaveAll", [this] { SaveAll1Click(); });
  add("LoadAll", [this] { LoadAll1Click(); });
  resize(240, 300);
  settings_ = &AttachGridWindowSettings(*this, QLatin1String(kName), *grid_);
}

QAction* THraciWin::MenuAction(const QString& name) const { return grid_->findChild<QAction*>(name); }

void THraciWin::Guarded(const std::function<void()>& command) { pairing::RunGuarded(dialogs_, command); }

bool THraciWin::HasSeatings(int32_t player_id) {
  kelvorin::TABSTable& seatings = data_.tblSeskupeni();
  if (!seatings.Active()) return false;
  return !seatings.Lookup("id_hrace", {kelvorin::TDataVariant::Integer(player_id)}, "id_hrace").IsNull();
}

void THraciWin::Delete1Click() {
  if (!grid_->CommitPending()) return;
  kelvorin::TABSTable& players = data_.tblHraci();
  if (players.Active() && !players.IsEmpty()) {
    const int32_t id = players.FieldByName("id").AsInteger();
    if (HasSeatings(id) &&
        !dialogs_.AskYesNo("Player " + std::to_string(id) +
                           " has seatings; they stay without a name. Delete the player?"))
      return;
  }
  players.Delete();
}

void THraciWin::SaveAll1Click() {
  if (!grid_->CommitPending()) return;
  const std::optional<std::string> file = dialogs_.AskText("Save Grid", "Save to filename", "");
  if (!file) return;
  records::SaveAll(data_, SystemPath(*file));
}

void THraciWin::LoadAll1Click() {
  if (!grid_->CommitPending()) return;
  const std::optional<std::string> file = dialogs_.AskText("Load Grid", "Load from filename", "");
  if (!file) return;
  records::LoadAll(data_, SystemPath(*file));
}

void THraciWin::closeEvent(QCloseEvent* event) {
  if (!grid_->CommitPending()) {
    event->ignore();
    return;
  }
  Guarded([this] { settings_->Save(); });
  TMDIChild::closeEvent(event);
}

}  // namespace app
