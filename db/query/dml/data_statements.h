// Installs the data-changing and transaction statements (INSERT, UPDATE,
// DELETE, START TRANSACTION, COMMIT, ROLLBACK) in the SQL processor.
// Safe to call any number of times.
#pragma once

namespace kelvorin {

void RegisterDataStatements();

}  // namespace kelvorin
