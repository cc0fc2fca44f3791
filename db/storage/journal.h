// The rollback journal "<database>-journal" that makes a commit atomic and
// durable. Before a commit overwrites anything, the journal receives the
// file's first 376 bytes (headers; the object-number counter is left out
// because other processes change it under their own lock), the file size,
// the commit counter before the commit and the old image of every page the
// commit will change, each record checksummed with a per-commit salt; it is
// synced before the first page is written.
//
// A journal is live while the file's commit counter still equals the one it
// recorded: opening a file with a live journal copies the old images back.
// Once the commit has written its counter and synced, the journal is stale
// by that rule alone, so it is overwritten by the next commit instead of
// being deleted and created again (which would cost two directory syncs per
// commit); it is removed when the database is closed.
//
// Layout: "KELVORINJOURNAL1", u32 page size, u32 salt, i64 file size,
// i32 commit counter, 376 header bytes, u32 CRC of all that; then records of
// i32 page number, the page, u32 CRC (seeded with the salt). Records are
// applied up to the first that does not check (what follows is left over
// from an earlier, longer commit).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/storage/database_file.h"
#include "platform/file.h"

namespace kelvorin {

inline constexpr int64_t kJournaledPrefixSize = 376;

class TABSJournal {
 public:
  static std::string PathFor(const std::string& database) { return database + "-journal"; }

  TABSJournal() = default;
  TABSJournal(const TABSJournal&) = delete;
  TABSJournal& operator=(const TABSJournal&) = delete;

  // Opens (or creates) the journal and starts a new one over it.
  void Begin(const std::string& database, int32_t page_size, uint32_t salt, int64_t file_size,
             int32_t commit_counter, const uint8_t* prefix);
  // Appends the old image of a page (once per page number).
  void AddPage(int32_t page_no, const uint8_t* page);
  bool Contains(int32_t page_no) const;
  // Writes what is buffered and makes it durable (and the journal's
  // directory entry, when this commit created the file).
  void Sync();
  // Lets go of the journal after its commit became durable; it stays on
  // disk, stale.
  void Finish();
  // Makes a journal whose commit never touched the file unusable (best
  // effort) and lets go of it.
  void Discard() noexcept;
  bool IsActive() const { return file_.IsOpen(); }
  // Copies every old image back into the database file and syncs it (used
  // when a commit fails part-way); then lets go of the journal.
  void RollBackInto(TABSDatabaseFile& database);
  void Close() noexcept;

  // Recovery: rolls a live journal back into the file and removes it.
  // Returns true when it rolled back. A read-only file with a live journal
  // is refused; a stale journal is left alone.
  static bool Recover(TABSDatabaseFile& database);
  // True when the journal exists and belongs to the file's current state.
  static bool IsLive(TABSDatabaseFile& database);
  // Removes the journal unless it is live (at close, under the header lock).
  static void RemoveIfStale(TABSDatabaseFile& database);

 private:
  void Flush();
  void Raise(const char* what, int error) const;

  platform::File file_;
  std::string path_;
  bool created_ = false;
  int32_t page_size_ = 0;
  uint32_t salt_ = 0;
  int64_t written_ = 0;
  std::vector<uint8_t> pending_;
  std::vector<int32_t> pages_;  // sorted
};

}  // namespace kelvorin
