// The table copy that compacting a database uses: a table of one database
// is created again in another from its stored definitions (fields, indexes,
// constraints; fresh roots and numbers), every stored record copied in
// batches into a hidden table that then takes the table's name, and the
// auto-increment counters carried over, so that numbers of deleted records
// are not handed out again.
#pragma once

#include <string>

#include "db/access/session/database.h"

namespace kelvorin {

// The copier Compact calls (TABSDatabase::TableCopier).
void CopyTableForCompact(TABSDatabase& source, TABSDatabase& destination, const std::string& table,
                         const TABSProgressRange& range, bool& continue_flag, std::string& error_text);

// Makes the copier above the one Compact uses; a program that compacts
// calls it once at start-up.
void RegisterTableCopier();

}  // namespace kelvorin
