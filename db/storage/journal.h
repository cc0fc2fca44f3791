// The rollback journal "<database>-journal" that makes a commit atomic and
// durable. Before a commit overwrites anything, the journal receives the
// file's first 376 bytes (headers; the object-number counter is left out
// because other processes change it under their own lock), the file size,
// the commit counter before the commit and the old image of every page the
// commit will change, each record checksummed with a per-journal salt; it is
// synced before the first page is written and removed when the commit is
// durable. Opening a file with a journal whose counter matches the file's
// copies the old images back.
//
// Layout: "KELVORINJOURNAL1", u32 page size, u32 salt, i64 file size,
// i32 commit counter, 376 header bytes, u32 CRC of all that; then records of
// i32 page number, the page, u32 CRC (seeded with the salt). Records are
// applied up to the first that does not check.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/storage/database_file.h"

namespace kelvorin {

inline constexpr int64_t kJournaledPrefixSize = 376;

class TABSJournal {
 public:
  static std::string PathFor(const std::string& database) { return database + "-journal"; }

  TABSJournal() = default;
  TABSJournal(const TABSJournal&) = delete;
  TABSJournal& operator=(const TABSJournal&) = delete;

  // Creates the journal with its header; nothing is synced yet.
  void Begin(const std::string& database, int32_t page_size, uint32_t salt, int64_t file_size,
             int32_t commit_counter, const uint8_t* prefix);
  // Appends the old image of a page (once per page number).
  void AddPage(int32_t page_no, const uint8_t* page);
  bool Contains(int32_t page_no) const;
  // Writes what is buffered and makes the journal and its directory entry
  // durable.
  void Sync();
  // Deletes the journal and makes the deletion durable.
  void Remove();
  bool IsActive() const { return file_.IsOpened(); }
  // Lets go of the journal file without removing it.
  void Close() noexcept;
  // Copies every old image back into the database file and syncs it (used
  // when a commit fails part-way); the journal stays until Remove.
  void RollBackInto(TABSDatabaseFile& database);

  // Recovery at open: true when a journal was found and applied or removed.
  // Raises when the journal belongs to the file but cannot be applied.
  static bool Recover(TABSDatabaseFile& database);

 private:
  void Flush();

  TABSDatabaseFile file_;
  std::string path_;
  int32_t page_size_ = 0;
  uint32_t salt_ = 0;
  int64_t written_ = 0;
  std::vector<uint8_t> pending_;
  std::vector<int32_t> pages_;  // sorted
};

}  // namespace kelvorin
