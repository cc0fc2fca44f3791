// Temporary indexes: orderings that a session asks a table for (a
// dataset's sort order, an ORDER BY) and that no index of the table gives.
// They are B-trees like any index, named "TEMPORARY_INDEX_n", owned by the
// session, kept in the table's temporary page manager outside every
// transaction, never written to the table's metadata. One is current while
// its change counter equals the table's; a write keeps the current ones
// current, and one that is not (after a rollback, or a write it missed) is
// rebuilt before it is used again. The last cursor to close the table drops
// them all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/tables/records/table_data.h"

namespace kelvorin {

// The index that gives the ordering: the first index of the table whose
// leading columns match (field names, "ASC"/"DESC" directions and
// "CASE"/"NO_CASE" options, empty texts matching either; a temporary index
// only for its own session), else a new temporary index built over the
// table's records. A temporary index is rebuilt first when it is stale.
TABSIndexDef* IndexForOrdering(TABSTableData& table, int32_t session, const std::vector<std::string>& field_names,
                               const std::vector<std::string>& directions,
                               const std::vector<std::string>& case_options);

}  // namespace kelvorin
