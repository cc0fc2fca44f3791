// POSIX implementation of the engine's file layer.
#include "platform/file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

FileObserver* g_observer = nullptr;

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

void SetFileObserver(FileObserver* observer) { g_observer = observer; }

std::string ErrorText(int code) {
  char buffer[256];
  // GNU strerror_r returns the text, which need not be in the buffer.
  const char* text = strerror_r(code, buffer, sizeof buffer);
  return text;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

int IdentifyFile(const std::string& path, FileIdentity* identity) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return errno;
  identity->device = static_cast<uint64_t>(st.st_dev);
  identity->inode = static_cast<uint64_t>(st.st_ino);
  return 0;
}

bool FileIsWritable(const std::string& path) { return ::access(path.c_str(), W_OK) == 0; }

int RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return errno;
  if (g_observer) g_observer->AfterRemove(path);
  return 0;
}

int RenameFile(const std::string& from, const std::string& to) {
  if (g_observer) g_observer->BeforeRename(from, to);
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int SyncDirectoryOf(const std::string& path) {
  const std::string directory = DirectoryOf(path);
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int result = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  if (result == 0 && g_observer) g_observer->AfterDirectorySync(directory);
  return result;
}

File::~File() { Close(); }

int File::Open(const std::string& path, Access access, bool create_new) {
  if (IsOpen()) return EBUSY;
  int flags = (access == Access::kRead ? O_RDONLY : O_RDWR) | O_CLOEXEC;
  if (create_new) flags |= O_CREAT | O_TRUNC;
  const int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) return errno;
  fd_ = fd;
  path_ = path;
  access_ = access;
  presence_ = Presence::kNone;
  held_.clear();
  return 0;
}

int File::Close() {
  if (!IsOpen()) return 0;
  // Closing the descriptor releases every lock of this open description.
  const int result = ::close(fd_) == 0 ? 0 : errno;
  fd_ = -1;
  held_.clear();
  presence_ = Presence::kNone;
  return result;
}

int File::ReadAt(void* buffer, int64_t count, int64_t offset, int64_t* done) const {
  *done = 0;
  if (count < 0 || offset < 0) return EINVAL;
  auto* out = static_cast<char*>(buffer);
  while (*done < count) {
    const ssize_t n = ::pread(fd_, out + *done, static_cast<size_t>(count - *done), offset + *done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    *done += n;
  }
  return 0;
}

int File::WriteAt(const void* buffer, int64_t count, int64_t offset) {
  if (count < 0 || offset < 0) return EINVAL;
  if (g_observer) g_observer->BeforeWrite(path_, offset, buffer, count);
  const auto* in = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pwrite(fd_, in + done, static_cast<size_t>(count - done), offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += n;
  }
  return 0;
}

int File::Sync() {
  if (::fdatasync(fd_) != 0) return errno;
  if (g_observer) g_observer->AfterSync(path_);
  return 0;
}

int File::Size(int64_t* size) const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return errno;
  *size = st.st_size;
  return 0;
}

int File::Truncate(int64_t size) {
  if (size < 0) return EINVAL;
  if (g_observer) g_observer->BeforeTruncate(path_, size);
  return ::ftruncate(fd_, size) == 0 ? 0 : errno;
}

bool File::KernelLock(short type, int64_t offset, int64_t count) {
  struct flock lock;
  std::memset(&lock, 0, sizeof lock);
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = offset;
  lock.l_len = count;
  return ::fcntl(fd_, F_OFD_SETLK, &lock) == 0;
}

bool File::OverlapsHeld(int64_t offset, int64_t count) const {
  for (const Range& r : held_) {
    if (offset < r.offset + r.count && r.offset < offset + count) return true;
  }
  return false;
}

bool File::LockRange(int64_t offset, int64_t count) {
  if (!IsOpen() || offset < 0 || count <= 0 || OverlapsHeld(offset, count)) return false;
  // A write lock needs a writable descriptor; read-only opens take read locks,
  // which still exclude every writer.
  const short type = access_ == Access::kReadWrite ? F_WRLCK : F_RDLCK;
  if (!KernelLock(type, offset, count)) return false;
  held_.push_back({offset, count});
  return true;
}

bool File::UnlockRange(int64_t offset, int64_t count) {
  for (auto it = held_.begin(); it != held_.end(); ++it) {
    if (it->offset == offset && it->count == count) {
      if (!KernelLock(F_UNLCK, offset, count)) return false;
      held_.erase(it);
      return true;
    }
  }
  return false;
}

bool File::IsRangeLocked(int64_t offset, int64_t count) {
  if (!IsOpen() || offset < 0 || count <= 0) return false;
  if (OverlapsHeld(offset, count)) return true;
  const short type = access_ == Access::kReadWrite ? F_WRLCK : F_RDLCK;
  if (!KernelLock(type, offset, count)) return true;
  KernelLock(F_UNLCK, offset, count);
  return false;
}

bool File::SetPresence(Presence presence) {
  if (!IsOpen()) return false;
  if (presence == presence_) return true;
  short type = F_UNLCK;
  if (presence == Presence::kShared) type = F_RDLCK;
  if (presence == Presence::kExclusive) {
    if (access_ != Access::kReadWrite) return false;
    type = F_WRLCK;
  }
  if (!KernelLock(type, kPresenceOffset, 1)) return false;
  presence_ = presence;
  return true;
}

bool File::IsSoleOpener() {
  if (presence_ == Presence::kExclusive) return true;
  const Presence before = presence_;
  if (!SetPresence(Presence::kExclusive)) return false;
  SetPresence(before == Presence::kNone ? Presence::kNone : Presence::kShared);
  return true;
}

}  // namespace platform
