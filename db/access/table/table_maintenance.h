// Structure changes on a connection, without a dataset: adding and deleting
// an index and rebuilding a table from edited definitions. The table
// dataset and the SQL structure statements share them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "db/access/local/local_cursor.h"
#include "db/access/table/stored_copy.h"
#include "db/tables/metadata/table_metadata.h"

namespace kelvorin {

// Holds the table's exclusive lock around an index change.
class TABSIndexLock {
 public:
  explicit TABSIndexLock(TABSLocalCursor& cursor);
  ~TABSIndexLock();
  TABSIndexLock(const TABSIndexLock&) = delete;
  TABSIndexLock& operator=(const TABSIndexLock&) = delete;

 private:
  TABSLocalCursor& cursor_;
};

// Adds the index to the table the cursor has open, under the table's
// exclusive lock; each column must be a field of the table.
void AddTableIndex(TABSLocalCursor& cursor, std::unique_ptr<TABSIndexDef> index);

// Deletes a persistent index of the table the cursor has open, under the
// table's exclusive lock; refused while another cursor reads in its
// order. Returns whether the cursor itself was ordered by it.
bool DeleteTableIndex(TABSLocalCursor& cursor, std::string_view name);

// Makes the definitions of the rebuilt table from those of the stored one
// (read under the table's exclusive hold); may raise to refuse.
using TABSRestructureEdit = std::function<void(const TABSTableMetadata& stored, TABSTableMetadata& definitions)>;

// Rebuilds the table: the stored records go, mapped by field name, into a
// table made from the edited definitions, which takes the name in one
// commit only when the whole copy succeeded (see hidden_table.h). False,
// with the reasons appended to `error_text`, when the new table could not
// be made, a record or field was left out or the copy was stopped; then
// the table is as it was.
bool RestructureStoredTable(TABSLocalSession& session, std::string_view table_name, const TABSRestructureEdit& edit,
                            const TABSStoredCopyRequest& request, bool& continue_flag, std::string& error_text);

}  // namespace kelvorin
