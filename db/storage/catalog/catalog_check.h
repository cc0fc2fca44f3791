// The catalogue's integrity check. It runs the page-level check of the file
// and then walks everything the catalogue reaches: the system directory, the
// sessions file and the table list, each table's three internal files (page
// types, chains that neither loop nor leave the pages in use, lengths against
// the stored sizes, the contents), its page-index trees and the data pages
// they list, and the trees of its indexes. Every page in use must be reached
// exactly once: a page reached twice is damage, one never reached a leak.
#pragma once

#include <string>

#include "db/storage/pages/integrity_check.h"

namespace kelvorin {

// In multi-user mode pages read again are checked against the disk, as
// another process may be writing.
TABSIntegrityReport CheckDatabaseCatalogue(const std::string& path, const TABSPassword& password = {},
                                          bool multi_user = false);

}  // namespace kelvorin
