// The players window.
#include "app/records_windows/hraci_win.h"

#include <QFile>

#include "records/data/players_file.h"

namespace app {

namespace {

// A typed file name in the system's own encoding of paths.
std::string SystemPath(const std::string& typed) {
  return QFile::encodeName(QString::fromStdString(typed)).toStdString();
}

}  // namespace

THraciWin::THraciWin(records::TData& data, pairing::WindowDialogs& dialogs, QWidget* parent)
    : TRecordsChild(kName, dialogs, parent), data_(data) {
  setWindowTitle(QStringLiteral("Hráči"));
  auto* grid = new TDBGrid(data.dsHraci(), {{"id", {}, 46}, {"Jmeno", {}, 131}}, dialogs, this);
  setWidget(grid);
  SetGrid(*grid);
  AddMenuAction(QStringLiteral("Delete"), [this] { Delete1Click(); });
  AddMenuSeparator();
  AddMenuAction(QStringLiteral("SaveAll"), [this] { SaveAll1Click(); });
  AddMenuAction(QStringLiteral("LoadAll"), [this] { LoadAll1Click(); });
  resize(240, 300);
}

void THraciWin::Delete1Click() {
  if (!Grid().CommitPending()) return;
  kelvorin::TABSTable& players = data_.tblHraci();
  if (players.Active() && !players.IsEmpty()) {
    const int32_t id = players.FieldByName("id").AsInteger();
    if (data_.PlayerHasSeatings(id) &&
        !dialogs_.AskYesNo("Player " + std::to_string(id) +
                           " has seatings; they stay without a name. Delete the player?"))
      return;
  }
  players.Delete();
}

void THraciWin::SaveAll1Click() {
  if (!Grid().CommitPending()) return;
  const std::optional<std::string> file = dialogs_.AskText("Save Grid", "Save to filename", "");
  if (!file) return;
  records::SaveAll(data_, SystemPath(*file));
}

void THraciWin::LoadAll1Click() {
  if (!Grid().CommitPending()) return;
  const std::optional<std::string> file = dialogs_.AskText("Load Grid", "Load from filename", "");
  if (!file) return;
  records::LoadAll(data_, SystemPath(*file));
}

}  // namespace app
