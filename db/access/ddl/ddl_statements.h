// Installs the statements that change the structure of the database in the
// SQL processor (once per process; later calls do nothing).
#pragma once

namespace kelvorin {

void RegisterDDLStatements();

}  // namespace kelvorin
