// The table a SELECT INTO makes: filled as a hidden table that takes its
// name in one commit, so that whenever the process stops the name holds
// nothing or the whole result.
#pragma once

#include <cstdint>
#include <string>

#include "db/access/local/local_cursor.h"

namespace kelvorin {

// Creates `table_name` in `session` with the fields of `rows`' table and
// every record of it; returns the number of records.
int64_t CopyIntoNewTable(TABSLocalSession& session, const std::string& table_name, TABSLocalCursor& rows);

}  // namespace kelvorin
