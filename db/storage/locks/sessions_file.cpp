#include "db/storage/locks/sessions_file.h"

#include "db/storage/catalog/catalog_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {

class TABSActiveSessionsFile::FileLock {
 public:
  FileLock(TABSInternalDBDirectAccessFile& file, const TABSNativeError& unlock_error)
      : file_(file), unlock_error_(unlock_error) {
    // What the release of a lock never taken reports, before anything changed.
    if (!file_.LockFileWithRetry()) throw EABSException(unlock_error_);
    held_ = true;
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() {
    if (held_) file_.UnlockFile();
  }
  // The release at the end of a change that succeeded reports its failure.
  void Release() {
    held_ = false;
    if (!file_.UnlockFile()) throw EABSException(unlock_error_);
  }

 private:
  TABSInternalDBDirectAccessFile& file_;
  const TABSNativeError& unlock_error_;
  bool held_ = false;
};

void TABSActiveSessionsFile::CheckConnectionCount(int32_t max_connections) {
  if (max_connections < 1 || max_connections > kMaxConnections) {
    throw EABSException(native::kInvalidConnectionCount, {max_connections, kMaxConnections});
  }
}

void TABSActiveSessionsFile::Create(int32_t max_connections) {
  CheckConnectionCount(max_connections);
  file_.Create(max_connections);
  max_connections_ = max_connections;
}

void TABSActiveSessionsFile::Open(int32_t start_page) {
  file_.Open(start_page);
  const int32_t size = file_.GetSize();
  try {
    CheckConnectionCount(size);
  } catch (...) {
    file_.Close();
    throw;
  }
  max_connections_ = size;
}

int32_t TABSActiveSessionsFile::Connect() {
  FileLock lock(file_, native::kCannotUnlockSessionsFile20093);
  int32_t slot = -1;
  for (int32_t s = 0; s < max_connections_ && slot < 0; ++s) {
    if (file_.LockByte(s)) slot = s;
  }
  if (slot < 0) throw EABSException(native::kCannotConnectSession20094);
  try {
    lock.Release();
  } catch (...) {
    file_.UnlockByte(slot);
    throw;
  }
  return slot;
}

void TABSActiveSessionsFile::Disconnect(int32_t slot) {
  // The slot is freed even when the file lock cannot be had: giving a byte
  // back never lets two connections take one slot.
  const bool locked = file_.LockFileWithRetry();
  const bool freed = file_.UnlockByte(slot);
  const bool released = locked && file_.UnlockFile();
  if (!freed) throw EABSException(native::kCannotDisconnectSession20095);
  if (!released) throw EABSException(native::kCannotUnlockSessionsFile20096);
}

bool TABSActiveSessionsFile::LockSingleUser() {
  FileLock lock(file_, native::kCannotUnlockSessionsFile20240);
  const bool taken = !file_.IsRegionLocked(0, max_connections_) && file_.LockRegion(0, max_connections_);
  try {
    lock.Release();
  } catch (...) {
    if (taken) file_.UnlockRegion(0, max_connections_);
    throw;
  }
  return taken;
}

void TABSActiveSessionsFile::UnlockSingleUser() {
  const bool locked = file_.LockFileWithRetry();
  file_.UnlockRegion(0, max_connections_);
  const bool released = locked && file_.UnlockFile();
  if (!released) throw EABSException(native::kCannotUnlockSessionsFile20241);
}

}  // namespace kelvorin
