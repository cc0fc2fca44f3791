#include "records/transfer/round_transfer.h"

#include <optional>
#include <vector>

#include "db/access/session/access_events.h"
#include "records/records_error.h"
#include "records/transfer/seating_rows.h"

namespace records {

using kelvorin::TABSTable;
using kelvorin::TDataSetState;
using kelvorin::TField;

namespace {

constexpr char kNoPairingWindow[] = "Okno systemu neni otevreno: kolo nelze prevest";
constexpr char kReadOnly[] = "Databaze je otevrena jen pro cteni: rozesazeni nelze zapsat";

pairing::PairingEngine& RequireEngine(pairing::PairingEngine* engine) {
  if (engine == nullptr) throw RecordsError(kNoPairingWindow);
  return *engine;
}

// Connects the database (after Save it is closed), insists on the three
// tables, opens the cursors and posts a pending edit: the transfer must
// neither read a closed table as empty nor lose what was typed.
void PrepareTables(TData& data) {
  kelvorin::TABSDatabase& database = data.Database();
  if (!database.Connected()) database.Open();
  for (TABSTable* table : {&data.tblHraci(), &data.tblSeskupeni(), &data.tblParam()}) {
    if (!database.TableExists(table->TableName())) {
      throw RecordsError("V databazi chybi tabulka '" + table->TableName() + "'");
    }
  }
  data.ActivateTables();
  for (TABSTable* table : {&data.tblHraci(), &data.tblSeskupeni(), &data.tblSeskupeniWin(), &data.tblParam()}) {
    table->CheckBrowseMode();
  }
  data.SeatingRows().Open();
}

// The seating cursors show the table as it now is.
void RefreshSeatingViews(TData& data) {
  for (TABSTable* table : {&data.tblSeskupeni(), &data.tblSeskupeniWin()}) {
    if (table->Active() && table->State() == TDataSetState::dsBrowse) table->Refresh();
  }
}

// MAX(<field>) of a table through the data module's query, set as comma
// text (one word per line); NULL for no value.
std::optional<int64_t> QueryMax(TData& data, const std::string& statement) {
  kelvorin::TABSQuery& query = data.SQL();
  query.Close();
  query.SQL().SetCommaText(statement);
  query.Open();
  const TField& result = query.FieldByName("result");
  std::optional<int64_t> value;
  if (!result.IsNull()) value = result.AsLargeInt();
  // Closed again, so that a change of the current round does not re-run it.
  query.Close();
  return value;
}

// Rewrites `seskupeni` with `rows` in one transaction (deleting through the
// cursor: emptying a table is refused inside one), and with `new_round` also
// the current round. Any error rolls everything back.
void ReplaceSeatings(TData& data, const std::vector<SeatingRow>& rows, std::optional<int32_t> new_round) {
  TABSTable& seatings = data.SeatingRows();
  TABSTable& param = data.tblParam();
  kelvorin::TABSDatabase& database = data.Database();
  database.StartTransaction();
  try {
    for (seatings.First(); !seatings.Eof();) seatings.Delete();
    TField& player = seatings.FieldByName("id_hrace");
    TField& table = seatings.FieldByName("Stul");
    TField& round = seatings.FieldByName("Kolo");
    TField& result = seatings.FieldByName("Body");
    TField& score = seatings.FieldByName("Skore");
    auto set = [](TField& field, const std::optional<int32_t>& value) {
      if (value) {
        field.SetAsInteger(*value);
      } else {
        field.Clear();
      }
    };
    for (const SeatingRow& row : rows) {
      seatings.Append();
      player.SetAsInteger(row.player);
      set(table, row.table);
      round.SetAsInteger(row.round);
      set(result, row.result);
      set(score, row.score);
      seatings.Post();
    }
    if (new_round) {
      param.Edit();  // inserts the first record of an empty table
      param.FieldByName("Kolo").SetAsInteger(*new_round);
      param.Post();
    }
    database.Commit();
  } catch (...) {
    for (TABSTable* cursor : {&seatings, &param}) {
      if (cursor->Active() && cursor->State() != TDataSetState::dsBrowse) cursor->Cancel();
    }
    try {
      if (database.InTransaction()) database.Rollback();
      RefreshSeatingViews(data);
    } catch (...) {
      kelvorin::ReportCaughtError();
    }
    throw;
  }
  RefreshSeatingViews(data);
}

// Refuses before anything is drawn or converted when the file cannot take
// the rewrite (another program holds it).
void RequireWritable(TData& data) {
  if (data.IsReadOnly()) throw RecordsError(kReadOnly);
}

bool WriteGrid(TData& data, pairing::PairingEngine& engine, const ConfirmCallback& confirm,
               std::optional<int32_t> new_round) {
  PrepareTables(data);
  RequireWritable(data);
  std::vector<SeatingRow> rows = GridRows(engine);
  const std::vector<StoredSeating> stored = ReadStoredSeatings(data.SeatingRows());
  if (confirm) {
    if (const std::optional<std::string> question = ShorterGridQuestion(engine, stored)) {
      if (!confirm(*question)) return false;
    }
  }
  CarryScores(stored, rows);
  ReplaceSeatings(data, rows, new_round);
  return true;
}

}  // namespace

bool GridToSeating(TData& data, pairing::PairingEngine* engine, const ConfirmCallback& confirm) {
  return WriteGrid(data, RequireEngine(engine), confirm, std::nullopt);
}

void SeatingToGrid(TData& data, pairing::PairingEngine* engine) {
  pairing::PairingEngine& target = RequireEngine(engine);
  PrepareTables(data);
  TABSTable& rows = data.SeatingRows();
  rows.First();
  const bool any = !rows.Eof();
  std::optional<int64_t> max_round;
  if (any) max_round = QueryMax(data, "SELECT MAX(Kolo) as result FROM seskupeni;");
  const std::optional<int64_t> max_player = QueryMax(data, "SELECT MAX(id) as result FROM hraci;");
  const StoredHistory history = CheckStoredHistory(data, max_round, max_player);
  LoadHistory(target, history);
}

bool RoundChain(TData& data, pairing::PairingEngine* engine, const OneClickRun& one_click) {
  pairing::PairingEngine& target = RequireEngine(engine);
  SeatingToGrid(data, &target);
  RequireWritable(data);
  if (target.RoundCount() >= TData::kMaxRound) {
    throw RecordsError("Kolo " + std::to_string(int64_t{target.RoundCount()} + 1) +
                       " nelze losovat: kola jdou jen do " + std::to_string(TData::kMaxRound));
  }
  const int32_t rounds_before = target.RoundCount();
  const bool drawn = one_click ? one_click(target) : target.RunOneClick().has_value();
  if (!drawn || target.RoundCount() != rounds_before + 1) return false;
  WriteGrid(data, target, {}, target.RoundCount());
  // The filtered seating list shows the round just drawn.
  data.ApplyRoundFilter();
  return true;
}

}  // namespace records
