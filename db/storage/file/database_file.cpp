#include "db/storage/file/database_file.h"

#include <cerrno>
#include <chrono>
#include <sys/stat.h>
#include <thread>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_errors.h"

namespace kelvorin {

using namespace page_errors;

TABSLockRetryPolicy& LockRetryPolicy() {
  static TABSLockRetryPolicy policy;
  return policy;
}

void TABSDatabaseFile::CheckOpened(const char* operation) const {
  if (!IsOpened()) {
    throw EABSException(kClosedFile, "Cannot perform this operation (%s) on a closed file",
                        {operation});
  }
}

void TABSDatabaseFile::CreateFile(const std::string& name) {
  if (IsOpened()) {
    throw EABSException(kOpenedFile, "Cannot perform this operation (%s) on a opened file",
                        {"CreateFile"});
  }
  if (name.find_first_not_of(" \t") == std::string::npos) {
    throw EABSException(kBlankName, "Cannot create file with blank FileName");
  }
  auto raise = [&](int error) {
    throw EABSException(kCreateFile, "Cannot create file: '%s' Error code: %d. ErrorMessage: %s",
                        {name, error, platform::ErrorText(error)});
  };
  if (platform::FileExists(name)) {
    // Nobody may still have the old file open: it is replaced, not shared.
    platform::File old;
    if (old.Open(name, platform::Access::kReadWrite, false) == 0 &&
        !old.SetPresence(platform::Presence::kExclusive)) {
      raise(EBUSY);
    }
    old.Close();
    ::chmod(name.c_str(), 0644);
    if (const int error = platform::RemoveFile(name)) raise(error);
  }
  if (const int error = file_.Open(name, platform::Access::kReadWrite, true)) raise(error);
  if (!file_.SetPresence(platform::Presence::kExclusive)) {
    file_.Close();
    raise(EBUSY);
  }
  name_ = name;
  access_mode_ = amReadWrite;
  share_mode_ = smExclusive;
}

void TABSDatabaseFile::OpenFile(const std::string& name, int access_mode, int share_mode) {
  if (IsOpened()) {
    throw EABSException(kOpenedFile, "Cannot perform this operation (%s) on a opened file",
                        {"OpenFile"});
  }
  if (access_mode != amRead && access_mode != amReadWrite) {
    throw EABSException(kUnknownAccessMode, "Unknown Access mode: '%d'", {access_mode});
  }
  if (share_mode < smExclusive || share_mode > smDenyWrite) {
    throw EABSException(kUnknownShareMode, "Unknown Share mode: '%d'", {share_mode});
  }
  auto raise = [&](int error) {
    throw EABSException(kOpenFile, "Cannot open file:'%s' Error code: %d. ErrorMessage: %s",
                        {name, error, platform::ErrorText(error)});
  };
  const auto access = access_mode == amRead ? platform::Access::kRead : platform::Access::kReadWrite;
  if (const int error = file_.Open(name, access, false)) raise(error);
  // Linux has no share modes: an exclusive open holds the presence byte for
  // writing, every other open holds it shared, so each excludes the other.
  const bool exclusive = share_mode == smExclusive && access_mode == amReadWrite;
  if (!file_.SetPresence(exclusive ? platform::Presence::kExclusive : platform::Presence::kShared)) {
    file_.Close();
    raise(EBUSY);
  }
  name_ = name;
  access_mode_ = access_mode;
  share_mode_ = share_mode;
}

void TABSDatabaseFile::CloseFile() {
  CheckOpened("CloseFile");
  if (const int error = file_.Close()) {
    throw EABSException(kCloseFile, "Cannot close file:'%s' Error code: %d. ErrorMessage: %s",
                        {name_, error, platform::ErrorText(error)});
  }
}

int64_t TABSDatabaseFile::GetSize() {
  CheckOpened("GetSize");
  int64_t size = 0;
  if (const int error = file_.Size(&size)) {
    throw EABSException(kGetSize, "Cannot Get File Size for file: '%s'. ErrorCode:%d. ErrorMessage: %s",
                        {name_, error, platform::ErrorText(error)});
  }
  return size;
}

void TABSDatabaseFile::SetSize(int64_t size) {
  CheckOpened("SetSize");
  if (size < 0) {
    throw EABSException(kSetPosition,
                        "Cannot Set File Position to %d. FileName='%s'. FilePosition = %d, FileSize = %d",
                        {size, name_, int64_t{0}, GetSize()});
  }
  if (const int error = file_.Truncate(size)) {
    throw EABSException(kTruncate, "Cannot Truncate File '%s' to %d bytes. ErrorCode:%d. ErrorMessage: %s",
                        {name_, size, error, platform::ErrorText(error)});
  }
}

bool TABSDatabaseFile::ReadBuffer(void* buffer, int64_t position, int64_t count) {
  if (!IsOpened() || position < 0 || count < 0) return false;
  int64_t done = 0;
  return file_.ReadAt(buffer, count, position, &done) == 0 && done == count;
}

void TABSDatabaseFile::RaiseIo(int32_t native_code, const char* verb, int64_t position,
                               int64_t count, int error) {
  int64_t size = 0;
  file_.Size(&size);
  const std::string format = std::string("Cannot ") + verb +
                             " file: '%s' Position = %d, Count = %d, FilePosition = %d, "
                             "FileSize = %d, ErrorCode:%d. ErrorMessage: %s";
  throw EABSException(native_code, format,
                      {name_, position, count, position, size, error, platform::ErrorText(error)});
}

void TABSDatabaseFile::ReadBufferOrRaise(void* buffer, int32_t native_code, int64_t position,
                                         int64_t count) {
  CheckOpened("ReadBuffer");
  int64_t done = 0;
  int error = position < 0 || count < 0 ? EINVAL : file_.ReadAt(buffer, count, position, &done);
  if (error == 0 && done != count) error = EIO;  // the file ends inside the range
  if (error != 0) RaiseIo(native_code, "Read from", position, count, error);
}

void TABSDatabaseFile::WriteBuffer(const void* buffer, int32_t native_code, int64_t position,
                                   int64_t count) {
  CheckOpened("WriteBuffer");
  const int error = file_.WriteAt(buffer, count, position);
  if (error != 0) RaiseIo(native_code, "Write to", position, count, error);
}

void TABSDatabaseFile::FlushFileBuffers() {
  CheckOpened("FlushFileBuffers");
  if (const int error = file_.Sync()) {
    throw EABSException(kFlush, "Cannot flush file buffers for file: '%s'. ErrorCode:%d. ErrorMessage: %s",
                        {name_, error, platform::ErrorText(error)});
  }
}

bool TABSDatabaseFile::LockByte(int64_t count, int64_t position) {
  return file_.LockRange(position, count);
}

bool TABSDatabaseFile::UnlockByte(int64_t count, int64_t position) {
  return file_.UnlockRange(position, count);
}

bool TABSDatabaseFile::IsByteLocked(int64_t position) { return file_.IsRangeLocked(position, 1); }

bool TABSDatabaseFile::IsRegionLocked(int64_t count, int64_t position) {
  return file_.IsRangeLocked(position, count);
}

bool TABSDatabaseFile::LockByteWithRetry(int64_t count, int64_t position) {
  const TABSLockRetryPolicy& policy = LockRetryPolicy();
  for (int attempt = 0; attempt < policy.tries; ++attempt) {
    if (LockByte(count, position)) return true;
    if (policy.sleep) {
      policy.sleep(policy.interval_ms);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(policy.interval_ms));
    }
  }
  return false;
}

bool TABSDatabaseFile::IsSoleOpener() { return file_.IsSoleOpener(); }

}  // namespace kelvorin
