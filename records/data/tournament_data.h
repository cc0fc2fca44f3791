// TData: the tournament data module. It owns every database object of the
// application: the database component of the tournament file, the cursors on
// its three tables (players `hraci`, seatings `seskupeni` twice, current round
// `param`), the data sources the windows bind to, and the seating list's round
// filter and order. There is one instance; the application creates it before
// any window and destroys it after the last one, so no view ever outlives the
// datasets it shows. New and Open re-initialise it in place.
//
// Strings of the datasets are the engine's Windows-1250 bytes; the captions
// this module composes are UTF-8 for the widgets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/access/dataset/data_link.h"
#include "db/access/query/query.h"
#include "db/access/session/database.h"
#include "db/access/table/table.h"
#include "records/players_list/players_list.h"

namespace records {

class TData {
 public:
  static constexpr const char* kFileName = "velinari";
  static constexpr const char* kAlias = "turnaj";
  static constexpr const char* kNotConnectedText = "Database neni otevrena, nelze aktivizovat tabulky";
  // The players' ids are the pairing grid's rows.
  static constexpr int32_t kMaxPlayerId = 511;
  // The rounds the seatings may hold: 1..kMaxRound.
  static constexpr int32_t kMaxRound = 1000;
  static constexpr int32_t kNameLength = 20;

  TData();
  // Disconnects the database; never raises.
  ~TData();
  TData(const TData&) = delete;
  TData& operator=(const TData&) = delete;

  kelvorin::TABSDatabase& Database() { return database_; }
  kelvorin::TABSTable& tblHraci() { return hraci_; }
  kelvorin::TABSTable& tblSeskupeni() { return seskupeni_; }
  kelvorin::TABSTable& tblSeskupeniWin() { return seskupeni_win_; }
  kelvorin::TABSTable& tblParam() { return param_; }
  kelvorin::TDataSource& dsHraci() { return ds_hraci_; }
  kelvorin::TDataSource& dsSeskupeniWin() { return ds_seskupeni_win_; }
  kelvorin::TDataSource& dsParam() { return ds_param_; }
  // The round transfer's query (read-only, master source dsParam).
  kelvorin::TABSQuery& SQL() { return sql_; }
  // A cursor on `seskupeni` with the stored fields only, through which the
  // round transfer reads and rewrites every seating: the looked-up name of
  // the other two cursors would search the players once for each record.
  // Opened by the transfer; closed with the database.
  kelvorin::TABSTable& SeatingRows() { return seating_rows_; }

  // --- Initialisation ---
  // Connects `file_name` (creating the file if there is none), creates
  // whichever of the three tables is missing and opens the four cursors.
  // Both initialisations ask for a writable file unless the database was
  // set read-only; the file is read-only (IsReadOnly) when another process
  // holds it.
  void InitNew(const std::string& file_name);
  // Connects `file_name` and opens the cursors only when the file and all
  // three tables exist; otherwise leaves the database closed, silently.
  void InitOpen(const std::string& file_name);
  // Disconnects; the cursors close with it. Never raises.
  void ShutDatabase() noexcept;
  bool IsConnected() const { return database_.Connected(); }
  // Whether the connected file can only be read (another program holds it).
  bool IsReadOnly() const { return database_.Connected() && database_.ReadOnly(); }
  // Opens the four cursors after checking that every stored table has the
  // fields the cursors read, with their types; a table that does not is
  // refused naming its fields, and then no cursor is opened.
  void ActivateTables();

  // --- The current round and the seating list ---
  // `Kolo` of the first `param` record; 0 when there is none (or the
  // cursor is closed).
  int32_t CurrentRound();
  // The current round as its field shows it: empty when there is none.
  std::string CurrentRoundText();
  // While the seating list is filtered: filters it on the current round, or
  // clears the filter text when there is no current round (so that another
  // file's round never stays). Unfiltered: nothing changes.
  void ApplyRoundFilter();
  // Makes `round` the current round (the first `param` record, inserted on
  // an empty table) and re-applies the round filter. A round outside
  // 1..kMaxRound is refused; a failed post leaves `param` as it was.
  void SetCurrentRound(int32_t round);
  // Filters the seating list or not, then re-applies the round filter.
  // A pending edit is posted first; a post that fails stops it.
  void ApplyFilterState(bool filtered);
  // "Rozesazení - kolo <round text>" while the seating list is filtered,
  // else "Rozesazení" (UTF-8).
  std::string SeatingCaption();
  // Orders the seating list by a stored field through the table's index
  // "userindex" (every other index of `seskupeni` goes); false, and nothing
  // happens, for a field that is not stored (the looked-up name). A pending
  // edit is posted first; when an index operation fails the list is
  // reopened (in storage order if the index is gone) and the error raised.
  bool SortSeatingBy(std::string_view field_name);

  // Whether a seating names the player: deleting such a player asks first.
  bool PlayerHasSeatings(int32_t id);

  // --- The players list ---
  // Every player in the players cursor's order, after posting a pending
  // edit; the cursor stays on its record.
  std::vector<ListedPlayer> ListPlayers();
  // Replaces every player by the given ones (checked already) in one
  // transaction; on any error the players are as before and no record is
  // left being inserted. A pending edit of the players is dropped.
  void ReplacePlayers(const std::vector<ListedPlayer>& players);

 private:
  void DeclareTables();
  void AddSeatingFields(kelvorin::TABSTable& table);
  // Puts back the definitions a missing table is created from (reading a
  // stored table replaces them).
  void ResetDefinitions();
  void CreateMissingTables();
  void ForgetReadOnlyTakenOver();
  void NoteReadOnlyTakenOver();
  // Reads the stored definitions of a closed cursor and raises naming the
  // fields that are missing or of another type.
  void CheckStoredFields(kelvorin::TABSTable& table);
  // The seating list's index may name an index of another file.
  void ForgetMissingSeatingIndex();
  void CheckPlayerBeforePost(kelvorin::TDataSet& players);
  // "Kolo = <current round>", or empty when there is none.
  std::string RoundFilterText();

  // Destroyed last: the cursors go before their database, the data sources
  // before their cursors, and the players before the seatings' lookups.
  kelvorin::TABSDatabase database_;
  kelvorin::TABSTable hraci_;
  kelvorin::TABSTable seskupeni_;
  kelvorin::TABSTable seskupeni_win_;
  kelvorin::TABSTable param_;
  kelvorin::TABSTable seating_rows_;
  kelvorin::TDataSource ds_hraci_;
  kelvorin::TDataSource ds_seskupeni_win_;
  kelvorin::TDataSource ds_param_;
  // Follows dsParam, so it goes before it.
  kelvorin::TABSQuery sql_;
  // The id of the player record being edited, as it was when the edit began.
  std::optional<int64_t> edited_id_;
  // A list being loaded was checked whole: its posts skip the search for
  // another player with the same id.
  bool loading_players_ = false;
  // Whether the component's read-only flag came from the file (another
  // program held it) rather than from whoever set it before connecting.
  bool read_only_taken_over_ = false;
  bool read_only_asked_ = false;
};

}  // namespace records
