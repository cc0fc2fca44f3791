// TABSTableListFile: the transacted internal file that finds every table's
// files, one 272-byte entry per table in creation order, kept in memory as
// well:
//
//   0    256 bytes  name: length byte and up to 255 8-bit characters
//   256  i32        the table's object number
//   260  i32        start page of the metadata file
//   264  i32        start page of the most-updated file
//   268  i32        start page of the table locks file
//
// Names are matched without regard to case; the first match wins. The
// entries in memory change only through Replace, which the open database
// calls once the new list is committed, so that they never differ from the
// file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/storage/catalog/transacted_file.h"

namespace kelvorin {

struct TABSTableListEntry {
  std::string name;
  int32_t object_id = -1;
  int32_t metadata_page = -1;
  int32_t most_updated_page = -1;
  int32_t locks_page = -1;

  bool operator==(const TABSTableListEntry&) const = default;
};

using TABSTableList = std::vector<TABSTableListEntry>;

// Refuses a table name of 0 or more than 255 bytes (its length byte would
// wrap).
void CheckTableName(std::string_view name);

// Hidden tables: a whole-table copy fills one before it takes the name of
// the table it replaces, so that a table is never seen half copied. Their
// names (a reserved prefix and the table's object number) are never listed
// to users, nor can users create, rename to or open them; a hidden table
// left by a crash is reported by the checker and dropped by Compact.
inline constexpr std::string_view kHiddenTablePrefix = "$copy$";
std::string HiddenTableName(int32_t object_id);
bool IsHiddenTableName(std::string_view name);
// Refuses a name that is not a valid name for a user's table.
void CheckUserTableName(std::string_view name);
// Position of the first entry of that name (compared without regard to
// case), or -1.
int32_t FindTableEntry(const TABSTableList& list, std::string_view name);

class TABSTableListFile {
 public:
  static constexpr int32_t kEntrySize = 272;

  explicit TABSTableListFile(TABSPageManager& manager) : file_(manager, ptTableList) {}

  TABSInternalDBTransactedAccessFile& File() { return file_; }
  int32_t StartPage() const { return file_.StartPage(); }
  const TABSTableList& Entries() const { return entries_; }

  void Create(int32_t session);
  // Binds to the file (twice is an error); Read loads the entries.
  void Open(int32_t start_page);
  void Close() {
    file_.Close();
    entries_.clear();
  }
  // Reads and checks the list on file (the entries in memory stay as they
  // are; see Replace).
  TABSTableList Read(int32_t session);
  // Writes a whole list (uncompressed) in the session.
  void Write(int32_t session, const TABSTableList& list);
  // Takes a list that is on file as the entries in memory.
  void Replace(TABSTableList list) { entries_ = std::move(list); }

 private:
  TABSInternalDBTransactedAccessFile file_;
  TABSTableList entries_;
};

}  // namespace kelvorin
