// The players window's file actions over the data module: LoadAll replaces
// the players by those of a list file, SaveAll writes them to one. Paths are
// the system's bytes, used as they are.
#pragma once

#include <string>

namespace records {

class TData;

// Reads and checks the whole file first (errors name the line), then
// replaces the players in one transaction; on any error the players are as
// before. A file that cannot be read raises "Cannot open file ...".
void LoadAll(TData& data, const std::string& path);
// Writes the list to a temporary file beside the target and renames it
// over the target, so the target holds the old list or the whole new one;
// a write error is raised and the temporary file removed.
void SaveAll(TData& data, const std::string& path);

}  // namespace records
