// The table copy that compacting a database uses: a table of one database
// is created again in another from its restructure definitions (fields,
// indexes, constraints), every record copied through the record copy, and
// the auto-increment counters carried over, so that numbers of deleted
// records are not handed out again.
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
