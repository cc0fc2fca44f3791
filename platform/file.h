// The operating-system file layer of the engine: one open file description
// with positional reads and writes, size changes, durability barriers and
// non-blocking byte-range locks.
//
// Locks follow the semantics the engine was designed for: a lock conflicts
// with every other open of the file, in this process or another (Linux
// open-file-description locks), an overlapping re-lock through the same open
// fails, and testing a range never releases a lock this open holds.  Opening
// a file exclusively is emulated with a presence byte far beyond any data:
// every open holds a shared lock on it and an exclusive open a write lock.
//
// A test may install a FileObserver to count, fail or "lose" writes; it sees
// every write, sync, truncation, removal and directory sync of this layer.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class FileObserver {
 public:
  virtual ~FileObserver() = default;
  // Called before the bytes are written; may throw to fail the write.
  virtual void BeforeWrite(const std::string& path, int64_t offset, const void* data,
                           int64_t count) = 0;
  virtual void AfterSync(const std::string& path) = 0;
  virtual void BeforeTruncate(const std::string& path, int64_t size) = 0;
  virtual void AfterRemove(const std::string& path) = 0;
  virtual void AfterDirectorySync(const std::string& directory) = 0;
  // Called before a file is renamed; may throw to fail the rename.
  virtual void BeforeRename(const std::string& /*from*/, const std::string& /*to*/) {}
};

// Installs the observer for all files (nullptr removes it). Not thread-safe:
// tests set it while no file is in use.
void SetFileObserver(FileObserver* observer);

// The operating system's text for an error code.
std::string ErrorText(int code);

bool FileExists(const std::string& path);
// What names one file whatever the path that reaches it: its device and
// inode numbers.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
  auto operator<=>(const FileIdentity&) const = default;
};
// 0 or the error code (a missing file: ENOENT).
int IdentifyFile(const std::string& path, FileIdentity* identity);
bool FileIsWritable(const std::string& path);
// 0 or the error code; a missing file is not an error.
int RemoveFile(const std::string& path);
// Gives the file the new name, atomically replacing a file of that name
// (rename(2)); 0 or the error code.
int RenameFile(const std::string& from, const std::string& to);
// Makes creations and removals of entries of the file's directory durable.
int SyncDirectoryOf(const std::string& path);

enum class Access { kRead, kReadWrite };

enum class Presence { kNone, kShared, kExclusive };

class File {
 public:
  // Far beyond the last byte of any page (2^31 pages of 64 KiB).
  static constexpr int64_t kPresenceOffset = int64_t{1} << 62;

  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Each returns 0 or the error code (errno).
  int Open(const std::string& path, Access access, bool create_new);
  int Close();
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  Access GetAccess() const { return access_; }

  // Reads up to count bytes; *done gets the number read (less only at the end
  // of the file).
  int ReadAt(void* buffer, int64_t count, int64_t offset, int64_t* done) const;
  int WriteAt(const void* buffer, int64_t count, int64_t offset);
  int Sync();
  int Size(int64_t* size) const;
  int Truncate(int64_t size);

  bool LockRange(int64_t offset, int64_t count);
  bool UnlockRange(int64_t offset, int64_t count);
  // True when the range is locked by anyone, this open included.
  bool IsRangeLocked(int64_t offset, int64_t count);

  // Sets this open's lock on the presence byte; false on a conflict.
  bool SetPresence(Presence presence);
  // True when no other open of the file exists (tries an exclusive presence
  // lock and returns to the shared one).
  bool IsSoleOpener();

 private:
  struct Range {
    int64_t offset;
    int64_t count;
  };
  bool KernelLock(short type, int64_t offset, int64_t count);
  bool OverlapsHeld(int64_t offset, int64_t count) const;

  int fd_ = -1;
  std::string path_;
  Access access_ = Access::kRead;
  Presence presence_ = Presence::kNone;
  std::vector<Range> held_;
};

}  // namespace platform
