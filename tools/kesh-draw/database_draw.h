// kesh-draw --database: the next round drawn from a tournament database and
// stored back, as "Seskup kolo" does it without the window.
#pragma once

#include <optional>
#include <string>

#include "pairing/pairing_engine.h"
#include "pairing/user_dialogs.h"

namespace kesh_draw {

struct DatabaseDraw {
  std::string file;
  std::string byes = "0";
  pairing::DrawMode mode = pairing::DrawMode::kFours;
  char decimal_separator = '.';
};

// Runs the round chain on the file (which must exist and hold the three
// tournament tables): the stored rounds into the grid, the draw, and every
// round back into the file in one transaction, the current round becoming
// the new one. Returns the new round's seating as text: a line of field
// names, then one line per player in player order (id_hrace, Jmeno, Stul;
// TAB between cells, LF after each line, names in the file's code page).
// Raises on every failure; the file then holds exactly what it held before.
// Nothing when no round was drawn (the "no data" message went to `dialogs`).
std::optional<std::string> DrawIntoDatabase(const DatabaseDraw& draw, pairing::UserDialogs& dialogs);

}  // namespace kesh_draw
