#include "records/data/tournament_data.h"

#include <exception>
#include <vector>

#include "db/access/session/access_events.h"
#include "db/access/session/session.h"
#include "records/records_error.h"

namespace records {

using kelvorin::TABSTable;
using kelvorin::TDataSet;
using kelvorin::TDataSetState;
using kelvorin::TField;
using kelvorin::TFieldKind;

namespace {

constexpr const char* kSeatingIndex = "userindex";

const char* TypeText(kelvorin::TFieldType type) {
  switch (type) {
    case kelvorin::ftString: return "String";
    case kelvorin::ftInteger: return "Integer";
    case kelvorin::ftAutoInc: return "AutoInc";
    case kelvorin::ftSmallint: return "Smallint";
    case kelvorin::ftLargeint: return "Largeint";
    case kelvorin::ftFloat: return "Float";
    default: return "jiny typ";
  }
}

std::string TypeText(kelvorin::TFieldType type, int32_t size) {
  std::string text = TypeText(type);
  if (type == kelvorin::ftString) {
    text += '(';
    text += std::to_string(size);
    text += ')';
  }
  return text;
}

}  // namespace

TData::TData() : database_(this, "Database"), sql_(this) {
  database_.SetDatabaseFileName(kFileName);
  database_.SetDatabaseName(kAlias);
  database_.SetSessionName(kelvorin::TABSSession::kDefaultName);
  database_.SetExclusive(false);
  database_.SetMultiUser(false);
  database_.SetMaxConnections(500);
  DeclareTables();
  ds_hraci_.SetDataSet(&hraci_);
  ds_seskupeni_win_.SetDataSet(&seskupeni_win_);
  ds_param_.SetDataSet(&param_);
  sql_.SetDatabaseName(kAlias);
  sql_.SetReadOnly(true);
  sql_.SetDataSource(&ds_param_);
}

TData::~TData() { ShutDatabase(); }

void TData::DeclareTables() {
  hraci_.SetTableName("hraci");
  seskupeni_.SetTableName("seskupeni");
  seskupeni_win_.SetTableName("seskupeni");
  param_.SetTableName("param");
  seating_rows_.SetTableName("seskupeni");
  seating_rows_.SetDatabaseName(kAlias);
  for (TABSTable* table : {&hraci_, &seskupeni_, &seskupeni_win_, &param_}) {
    table->SetDatabaseName(kAlias);
    table->SetStoreDefs(true);
  }
  ResetDefinitions();

  hraci_.AddField("id", kelvorin::ftAutoInc).SetDisplayWidth(12);
  hraci_.AddField("Jmeno", kelvorin::ftString, kNameLength).SetDisplayWidth(24);
  hraci_.AfterEdit = [this](TDataSet& players) {
    const TField& id = players.FieldByName("id");
    edited_id_ = id.IsNull() ? std::nullopt : std::optional<int64_t>(id.AsLargeInt());
  };
  hraci_.BeforePost = [this](TDataSet& players) { CheckPlayerBeforePost(players); };

  AddSeatingFields(seskupeni_);
  AddSeatingFields(seskupeni_win_);
  param_.AddField("Kolo", kelvorin::ftInteger);
}

// Table numbers are declared positive ("x>0", "Čísto stolu musí být
// kladné"), but field checks are not evaluated by the access layer, so a
// table number 0 (a player left without a partner) is stored as it is.
void TData::AddSeatingFields(TABSTable& table) {
  table.AddField("id_hrace", kelvorin::ftInteger);
  table.AddLookupField("Jmeno", kelvorin::ftString, kNameLength, hraci_, "id", "Jmeno", "id_hrace");
  for (const char* name : {"Stul", "Kolo", "Body", "Skore"}) table.AddField(name, kelvorin::ftInteger);
}

void TData::ResetDefinitions() {
  for (TABSTable* table : {&hraci_, &seskupeni_, &seskupeni_win_, &param_}) {
    table->DeclaredFieldDefs().Clear();
    table->IndexDefs().Clear();
  }
  hraci_.DeclaredFieldDefs().Add("Jmeno", kelvorin::ftString, kNameLength);
  hraci_.DeclaredFieldDefs().Add("Rating", kelvorin::ftInteger);
  hraci_.DeclaredFieldDefs().Add("id", kelvorin::ftAutoInc);
  for (TABSTable* table : {&seskupeni_, &seskupeni_win_}) {
    for (const char* name : {"id_hrace", "Stul", "Kolo", "Body", "Skore"}) {
      table->DeclaredFieldDefs().Add(name, kelvorin::ftInteger);
    }
  }
  param_.DeclaredFieldDefs().Add("Kolo", kelvorin::ftInteger);
}

// --- Initialisation ---

void TData::InitNew(const std::string& file_name) {
  database_.SetDatabaseFileName(file_name);
  ForgetReadOnlyTakenOver();
  if (!database_.Exists()) database_.CreateDatabase();
  database_.Open();
  NoteReadOnlyTakenOver();
  CreateMissingTables();
  ActivateTables();
}

void TData::CreateMissingTables() {
  ResetDefinitions();
  for (TABSTable* table : {&hraci_, &seskupeni_, &param_}) {
    if (!table->Exists()) table->CreateTable();
  }
}

void TData::InitOpen(const std::string& file_name) {
  database_.SetDatabaseFileName(file_name);
  ForgetReadOnlyTakenOver();
  const bool complete = database_.Exists() && database_.TableExists(hraci_.TableName()) &&
                        database_.TableExists(seskupeni_.TableName()) &&
                        database_.TableExists(param_.TableName());
  NoteReadOnlyTakenOver();
  if (complete) {
    ActivateTables();
  } else {
    database_.Close();
  }
}

// A connection takes the file's read-only state over into the component. A
// file that was read-only only because another program held it must not make
// the next connection read-only; a read-only connection asked for stays so.
void TData::ForgetReadOnlyTakenOver() {
  if (database_.Connected()) return;
  if (read_only_taken_over_) database_.SetReadOnly(false);
  read_only_taken_over_ = false;
  read_only_asked_ = database_.ReadOnly();
}

void TData::NoteReadOnlyTakenOver() {
  read_only_taken_over_ = database_.Connected() && database_.ReadOnly() && !read_only_asked_;
}

void TData::ShutDatabase() noexcept {
  try {
    database_.Close();
  } catch (...) {
    kelvorin::ReportCaughtError();
  }
}

void TData::ActivateTables() {
  if (!database_.Connected()) throw RecordsError(kNotConnectedText);
  for (TABSTable* table : {&hraci_, &seskupeni_, &seskupeni_win_, &param_}) {
    if (!table->Active()) CheckStoredFields(*table);
  }
  ForgetMissingSeatingIndex();
  for (TABSTable* table : {&hraci_, &seskupeni_, &seskupeni_win_, &param_}) {
    // A cursor opened on a read-only file stays read-only until told
    // otherwise; the file it opens on now decides.
    if (!table->Active()) table->SetReadOnly(false);
    table->Open();
  }
}

void TData::CheckStoredFields(TABSTable& table) {
  table.InitFieldDefs();
  const kelvorin::TFieldDefs& stored = table.DeclaredFieldDefs();
  std::string faults;
  for (int32_t i = 0; i < table.FieldCount(); ++i) {
    const TField& field = table.Fields(i);
    if (field.FieldKind() != TFieldKind::fkData) continue;
    const kelvorin::TFieldDef* def = stored.Find(field.FieldName());
    std::string fault;
    if (def == nullptr) {
      fault = "chybi";
    } else if (def->data_type != field.DataType() ||
               (field.DataType() == kelvorin::ftString && def->size != field.Size())) {
      fault = "je " + TypeText(def->data_type, def->size);
    } else {
      continue;
    }
    if (!faults.empty()) faults += ", ";
    faults += field.FieldName() + " (" + TypeText(field.DataType(), field.Size()) + ": " + fault + ")";
  }
  if (!faults.empty()) {
    throw RecordsError("Tabulka '" + table.TableName() + "' nema ocekavana pole: " + faults);
  }
}

void TData::ForgetMissingSeatingIndex() {
  const std::string& index = seskupeni_win_.IndexName();
  if (!index.empty() && !seskupeni_win_.Active() && seskupeni_win_.IndexDefs().Find(index) == nullptr) {
    seskupeni_win_.SetIndexName("");
  }
}

// --- The current round and the seating list ---

int32_t TData::CurrentRound() {
  if (!param_.Active() || param_.IsEmpty()) return 0;
  return param_.FieldByName("Kolo").AsInteger();
}

std::string TData::CurrentRoundText() {
  if (!param_.Active() || param_.IsEmpty()) return {};
  return param_.FieldByName("Kolo").AsString();
}

void TData::ApplyRoundFilter() {
  if (seskupeni_win_.Filtered()) seskupeni_win_.SetFilter(RoundFilterText());
}

std::string TData::RoundFilterText() {
  const int32_t round = CurrentRound();
  return round > 0 ? "Kolo = " + std::to_string(round) : std::string();
}

void TData::SetCurrentRound(int32_t round) {
  if (!param_.Active()) throw RecordsError(kNotConnectedText);
  if (round < 1 || round > kMaxRound) {
    throw RecordsError("Kolo " + std::to_string(round) + " neni v rozsahu 1.." + std::to_string(kMaxRound));
  }
  param_.Edit();
  try {
    param_.FieldByName("Kolo").SetAsInteger(round);
    param_.Post();
  } catch (...) {
    param_.Cancel();
    throw;
  }
  ApplyRoundFilter();
}

void TData::ApplyFilterState(bool filtered) {
  if (seskupeni_win_.Active()) seskupeni_win_.CheckBrowseMode();
  // The text first, so that the list is filtered once, on the right round.
  if (filtered) seskupeni_win_.SetFilter(RoundFilterText());
  seskupeni_win_.SetFiltered(filtered);
}

std::string TData::SeatingCaption() {
  if (!seskupeni_win_.Filtered()) return "Rozesazení";
  return "Rozesazení - kolo " + CurrentRoundText();
}

bool TData::SortSeatingBy(std::string_view field_name) {
  TField* field = seskupeni_win_.FindField(field_name);
  if (field == nullptr || field->FieldKind() != TFieldKind::fkData) return false;
  const std::string name = field->FieldName();
  if (seskupeni_win_.Active()) seskupeni_win_.CheckBrowseMode();
  const bool was_open = seskupeni_win_.Active();
  seskupeni_win_.Close();
  try {
    seskupeni_win_.DeleteAllIndexes();
    seskupeni_win_.UpdateIndexDefs();
    seskupeni_win_.AddIndex(kSeatingIndex, name);
    seskupeni_win_.SetIndexName(kSeatingIndex);
  } catch (...) {
    if (was_open) {
      try {
        seskupeni_win_.UpdateIndexDefs();
        if (seskupeni_win_.IndexDefs().Find(kSeatingIndex) == nullptr) seskupeni_win_.SetIndexName("");
        seskupeni_win_.Open();
      } catch (...) {
        kelvorin::ReportCaughtError();
      }
    }
    throw;
  }
  if (was_open) seskupeni_win_.Open();
  return true;
}

// --- The players' checks ---

// Ids are the pairing grid's rows: 1..511, one player each. A name arrives
// here already in the code page (the window refuses what it cannot hold).
void TData::CheckPlayerBeforePost(TDataSet& players) {
  const TField& id_field = players.FieldByName("id");
  if (id_field.IsNull()) {
    if (players.State() == TDataSetState::dsInsert && hraci_.LastAutoIncValue("id") >= kMaxPlayerId) {
      throw RecordsError("Hrac nemuze dostat cislo: cisla 1.." + std::to_string(kMaxPlayerId) + " jsou vycerpana");
    }
    return;
  }
  const int64_t id = id_field.AsLargeInt();
  if (id < 1 || id > kMaxPlayerId) {
    throw RecordsError("Cislo hrace " + std::to_string(id) + " neni v rozsahu 1.." + std::to_string(kMaxPlayerId));
  }
  const bool unchanged = players.State() == TDataSetState::dsEdit && edited_id_ == id;
  if (unchanged || loading_players_) return;
  const kelvorin::TDataVariant other =
      hraci_.Lookup("id", {kelvorin::TDataVariant::Integer(static_cast<int32_t>(id))}, "id");
  if (!other.IsNull()) throw RecordsError("Cislo hrace " + std::to_string(id) + " uz ma jiny hrac");
}

bool TData::PlayerHasSeatings(int32_t id) {
  if (!seskupeni_.Active()) return false;
  return !seskupeni_.Lookup("id_hrace", {kelvorin::TDataVariant::Integer(id)}, "id_hrace").IsNull();
}

// --- The players list ---

std::vector<ListedPlayer> TData::ListPlayers() {
  if (!hraci_.Active()) throw RecordsError(kNotConnectedText);
  hraci_.CheckBrowseMode();
  std::vector<ListedPlayer> players;
  const kelvorin::TBookmark here = hraci_.GetBookmark();
  hraci_.DisableControls();
  try {
    const TField& id = hraci_.FieldByName("id");
    const TField& name = hraci_.FieldByName("Jmeno");
    for (hraci_.First(); !hraci_.Eof(); hraci_.Next()) players.push_back({id.AsInteger(), name.AsString()});
    if (!here.empty() && hraci_.BookmarkValid(here)) hraci_.GotoBookmark(here);
  } catch (...) {
    hraci_.EnableControls();
    throw;
  }
  hraci_.EnableControls();
  return players;
}

void TData::ReplacePlayers(const std::vector<ListedPlayer>& players) {
  if (!hraci_.Active()) throw RecordsError(kNotConnectedText);
  if (hraci_.State() != TDataSetState::dsBrowse) hraci_.Cancel();
  database_.StartTransaction();
  hraci_.DisableControls();
  loading_players_ = true;
  try {
    // Emptying the table is refused inside a transaction.
    hraci_.First();
    while (!hraci_.IsEmpty()) hraci_.Delete();
    TField& id = hraci_.FieldByName("id");
    TField& name = hraci_.FieldByName("Jmeno");
    for (const ListedPlayer& player : players) {
      hraci_.Append();
      id.SetAsInteger(player.id);
      name.SetAsString(player.name);
      hraci_.Post();
    }
    database_.Commit();
  } catch (...) {
    loading_players_ = false;
    if (hraci_.State() != TDataSetState::dsBrowse) hraci_.Cancel();
    try {
      database_.Rollback();
      hraci_.Refresh();
    } catch (...) {
      kelvorin::ReportCaughtError();
    }
    hraci_.EnableControls();
    throw;
  }
  loading_players_ = false;
  hraci_.First();
  hraci_.EnableControls();
  // The seating list's names are looked up again.
  if (seskupeni_win_.Active() && seskupeni_win_.State() == TDataSetState::dsBrowse) seskupeni_win_.Refresh();
}

}  // namespace records
