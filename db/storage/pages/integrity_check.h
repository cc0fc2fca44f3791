// The database integrity checker: walks a database file and reports every
// inconsistency of the storage layer (headers against the file size, page
// magic and types, PFS bits against the system pages and the pages in use,
// EAM entries, page chains that leave the used pages or loop). Pages marked
// used but unreachable after a crash outside a commit are reported as leaks,
// apart from corruption. Later layers add their own checks of tables,
// records and indexes on top of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/storage/file/page_cipher.h"

namespace kelvorin {

struct TABSIntegrityProblem {
  // kLeftover: a hidden table that a copy killed before its end left.
  enum class Kind { kCorruption, kLeak, kLeftover };
  Kind kind;
  int32_t page_no;  // -1 for the file as a whole
  std::string text;
};

struct TABSIntegrityReport {
  std::vector<TABSIntegrityProblem> problems;

  bool Clean() const { return problems.empty(); }
  bool HasCorruption() const;
  int LeakCount() const;
  int LeftoverCount() const;
  std::string Describe() const;  // one problem per line
};

// What the check learnt of the pages, for the checks of the layers above.
struct TABSPageUsage {
  bool walked = false;          // the headers allowed the pages to be walked
  std::vector<bool> used;       // marked used in its PFS page
  std::vector<bool> system;     // a PFS or EAM position
  // Next links that leave the pages in use, left to the caller: it tells a
  // page it reaches (damage) from a leaked one, whose links are what it
  // held before it was freed and taken again by a process that died.
  std::vector<TABSIntegrityProblem> links;
};

// Opens the file read-only (raising only when it cannot be read at all) and
// checks it. A password is needed to check the data of encrypted pages.
// With usage given, the problems of next links go to it instead of the
// report.
TABSIntegrityReport CheckDatabaseFile(const std::string& path, const TABSPassword& password = {},
                                      TABSPageUsage* usage = nullptr);

}  // namespace kelvorin
