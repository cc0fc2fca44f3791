// The rollback journal "<database>-journal" that makes a commit atomic and
// durable. Before a commit overwrites anything, the journal receives the
// file's first 376 bytes (headers; the object-number counter is left out
// because other processes change it under their own lock), the file size,
// the commit counter before and after the commit and the old image of every
// page the commit will change, each record checksummed with a per-commit
// salt; it is synced before the first page is written.
//
// A journal stays valid until its commit is durable. Pages and the final
// header (still in the committing state) reach the disk in no particular
// order, so a file whose counter already shows the commit may miss some of
// its pages: a valid journal is applied when the file's counter equals
// either counter it recorded (and the header bytes no commit changes are
// the ones it recorded, so that it is never applied to another file). After the commit's final sync the journal is
// marked done (its magic overwritten, then synced), and only then is the
// state byte set back to consistent, unsynced: a committing state next to a
// journal marked done means the commit completed. A valid journal that
// matches neither counter belongs to some other state of the file; it is
// never applied, and the checker reports it. The file is kept from commit
// to commit (overwriting costs a data sync, creating and removing it two
// directory syncs more) and removed when the database is closed.
//
// Layout: "KELVORINJOURNAL2" ("KELVORINJOURDONE" once done), u32 page size,
// u32 salt, i64 file size, i32 counter before, i32 counter after, 376
// header bytes, u32 CRC of all that; then records of i32 page number, the
// page, u32 CRC (seeded with the salt). Records are applied up to the first
// that does not check (what follows is left over from an earlier, longer
// commit).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/storage/file/database_file.h"
#include "platform/file.h"

namespace kelvorin {

inline constexpr int64_t kJournaledPrefixSize = 376;

class TABSJournal {
 public:
  static std::string PathFor(const std::string& database) { return database + "-journal"; }

  TABSJournal() = default;
  TABSJournal(const TABSJournal&) = delete;
  TABSJournal& operator=(const TABSJournal&) = delete;

  // What a journal file says about the database it lies beside.
  enum class State {
    kNone,        // no journal, or one that does not check (never applied)
    kApplicable,  // valid, and the file's counter is one it recorded
    kForeign,     // valid, but for some other state of the file
    kDone,        // its commit completed
  };

  // Opens (or creates) the journal and starts a new one over it; the commit
  // raises the file's counter by one, from commit_counter.
  void Begin(const std::string& database, int32_t page_size, uint32_t salt, int64_t file_size,
             int32_t commit_counter, const uint8_t* prefix);
  // Appends the old image of a page (once per page number).
  void AddPage(int32_t page_no, const uint8_t* page);
  bool Contains(int32_t page_no) const;
  // Writes what is buffered and makes it durable (with the journal's
  // directory entry, the first time).
  void Sync();
  // After the commit's final sync: marks the journal done, durably, so that
  // it is never applied. Raises when it cannot; the journal stays usable
  // for RollBackInto then.
  void Finish();
  // Makes a journal whose commit never touched the file unusable (best
  // effort) and lets go of it.
  void Discard() noexcept;
  bool IsActive() const { return file_.IsOpen(); }
  // Copies every old image back into the database file and syncs it (used
  // when a commit fails part-way); then drops the journal.
  void RollBackInto(TABSDatabaseFile& database);
  void Close() noexcept;

  // Recovery: rolls an applicable journal back into the file and removes
  // it. Returns true when it rolled back. A read-only file with an
  // applicable journal is refused; any other journal is left alone.
  static bool Recover(TABSDatabaseFile& database);
  static State Examine(TABSDatabaseFile& database);
  // True when an applicable journal exists.
  static bool IsLive(TABSDatabaseFile& database) { return Examine(database) == State::kApplicable; }
  // Removes a journal that is done or does not check, at close, under the
  // header lock, once the database file is synced.
  static void RemoveIfStale(TABSDatabaseFile& database);

 private:
  void Flush();
  void Raise(const char* what, int error) const;

  platform::File file_;
  std::string path_;
  bool created_ = false;
  bool marked_done_ = false;
  int32_t page_size_ = 0;
  uint32_t salt_ = 0;
  int64_t written_ = 0;
  std::vector<uint8_t> pending_;
  std::vector<int32_t> pages_;  // sorted
};

}  // namespace kelvorin
