// TABSDatabaseFile: the engine's thin wrapper over the operating-system file
// of a database. It turns failures into engine errors naming the file, maps
// the access and share modes onto the platform layer and applies the lock
// retry to the byte locks that guard shared structures.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/file.h"

namespace kelvorin {

// How long a shared byte lock is retried. Tests shorten it.
struct TABSLockRetryPolicy {
  int tries = 4500;
  int interval_ms = 20;
  std::function<void(int ms)> sleep;  // empty: really sleep
};
TABSLockRetryPolicy& LockRetryPolicy();

class TABSDatabaseFile {
 public:
  enum AccessMode { amRead = 0, amReadWrite = 1 };
  enum ShareMode { smExclusive = 0, smDenyNone = 1, smDenyWrite = 2 };

  TABSDatabaseFile() = default;
  TABSDatabaseFile(const TABSDatabaseFile&) = delete;
  TABSDatabaseFile& operator=(const TABSDatabaseFile&) = delete;

  // Replaces any file of that name by a new empty one, opened read-write and
  // exclusively.
  void CreateFile(const std::string& name);
  void OpenFile(const std::string& name, int access_mode, int share_mode);
  void CloseFile();

  bool IsOpened() const { return file_.IsOpen(); }
  const std::string& FileName() const { return name_; }
  int AccessModeValue() const { return access_mode_; }
  bool IsReadOnly() const { return access_mode_ == amRead; }

  int64_t GetSize();
  void SetSize(int64_t size);
  // Reads exactly count bytes; false on any failure or a short read.
  bool ReadBuffer(void* buffer, int64_t position, int64_t count);
  // The same, raising the read error with the caller's code.
  void ReadBufferOrRaise(void* buffer, int32_t native_code, int64_t position, int64_t count);
  void WriteBuffer(const void* buffer, int32_t native_code, int64_t position, int64_t count);
  void FlushFileBuffers();

  bool LockByte(int64_t count, int64_t position);
  bool UnlockByte(int64_t count, int64_t position);
  bool IsByteLocked(int64_t position);
  bool IsRegionLocked(int64_t count, int64_t position);
  // LockByte with the lock retry policy.
  bool LockByteWithRetry(int64_t count, int64_t position);

  // True when no other open of this file exists anywhere.
  bool IsSoleOpener();

 private:
  void CheckOpened(const char* operation) const;
  [[noreturn]] void RaiseIo(int32_t native_code, const char* verb, int64_t position,
                            int64_t count, int error);

  platform::File file_;
  std::string name_;
  int access_mode_ = amRead;
  int share_mode_ = smDenyNone;
};

}  // namespace kelvorin
