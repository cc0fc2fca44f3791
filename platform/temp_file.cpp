#include "platform/temp_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

StreamFile::~StreamFile() { Close(); }

int StreamFile::Open(const std::string& path, Access access) {
  Close();
  int flags = access == Access::kRead ? O_RDONLY : access == Access::kWrite ? O_WRONLY : O_RDWR;
  fd_ = ::open(path.c_str(), flags | O_CLOEXEC);
  return fd_ < 0 ? errno : 0;
}

int StreamFile::Create(const std::string& path) {
  Close();
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return fd_ < 0 ? errno : 0;
}

std::string TemporaryDirectory() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

int StreamFile::CreateTemporary() {
  Close();
  std::string dir = TemporaryDirectory();
  fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd_ >= 0) return 0;
  // File systems without unnamed files: a unique name, removed at once.
  std::string pattern = dir + "/kelvorinXXXXXX";
  fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) return errno;
  ::unlink(pattern.c_str());
  return 0;
}

void StreamFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int StreamFile::ReadAt(void* buffer, int64_t count, int64_t offset, int64_t* done) {
  *done = 0;
  char* bytes = static_cast<char*>(buffer);
  while (*done < count) {
    ssize_t n = ::pread(fd_, bytes + *done, static_cast<size_t>(count - *done), offset + *done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) break;
    *done += n;
  }
  return 0;
}

int StreamFile::WriteAt(const void* buffer, int64_t count, int64_t offset, int64_t* done) {
  *done = 0;
  const char* bytes = static_cast<const char*>(buffer);
  while (*done < count) {
    ssize_t n = ::pwrite(fd_, bytes + *done, static_cast<size_t>(count - *done), offset + *done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    *done += n;
  }
  return 0;
}

int StreamFile::Size(int64_t* size) const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return errno;
  *size = st.st_size;
  return 0;
}

int StreamFile::Truncate(int64_t size) { return ::ftruncate(fd_, size) == 0 ? 0 : errno; }

}  // namespace platform
