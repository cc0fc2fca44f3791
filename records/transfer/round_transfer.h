// The round transfer: the one bridge between the pairing engine's grid and
// the seating table `seskupeni`. "Sys > Seskup" (GridToSeating) writes every
// round of the grid into the table, "Seskup > Sys" (SeatingToGrid) reads
// every stored round back into the grid, and "Seskup kolo" (RoundChain) runs
// both around the one-click draw.
//
// The engine is the current pairing window's (null when there is none,
// which is an error). The layer knows no widgets: the one question it may
// ask goes through a confirm callback, and the chain's draw through a
// callback the window supplies.
//
// Every command connects the database and opens the tables first, posts a
// pending edit of any cursor, and checks everything it reads before it
// changes anything: a refused command leaves the grid, its counters and the
// tables as they were. The table is rewritten in one transaction; any error
// rolls it back and leaves no cursor editing and no transaction open.
//
// Errors are RecordsError (the checks, naming the player, the round, the
// record or the text) or the database layer's own, passed through.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "pairing/pairing_engine.h"
#include "records/data/tournament_data.h"

namespace records {

// Asks a Yes/No question (default No); true for Yes.
using ConfirmCallback = std::function<bool(const std::string& question)>;

// The one-click run of the pairing window; true when a round was drawn
// (false after its "no data" message). The window supplies its own so that
// the drawn grid also goes to the clipboard.
using OneClickRun = std::function<bool(pairing::PairingEngine& engine)>;

// "Sys > Seskup": replaces every record of `seskupeni` by the grid's rounds
// 1..RoundCount of players 1..PlayerCount, keeping each (player, round)'s
// `Skore`. When the grid holds fewer rounds or players than the table,
// `confirm` is asked first (an empty callback asks nothing); false when the
// answer was No and nothing was written.
bool GridToSeating(TData& data, pairing::PairingEngine* engine, const ConfirmCallback& confirm);

// "Seskup > Sys": the grid becomes the stored history, RoundCount the
// highest stored round and PlayerCount the highest player number.
void SeatingToGrid(TData& data, pairing::PairingEngine* engine);

// "Seskup kolo": SeatingToGrid (a history of TData::kMaxRound rounds is
// refused: no round beyond it is drawn), the one-click run (`one_click`, or the
// engine's own when empty), then GridToSeating without a question; on
// success the current round (`param.Kolo`) becomes the new round in the
// same transaction, and the seating list's round filter follows it. False,
// with the table untouched, when no round was drawn.
//
// GridToSeating and RoundChain refuse a file open only for reading before
// they change or draw anything.
bool RoundChain(TData& data, pairing::PairingEngine* engine, const OneClickRun& one_click = {});

}  // namespace records
