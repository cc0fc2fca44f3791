// Operating-system files behind the engine's file streams: a file opened by
// name or created anew, or an unnamed temporary file that has no entry in any
// directory and so disappears when it is closed (also when the process dies).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class StreamFile {
 public:
  enum class Access { kRead, kWrite, kReadWrite };

  StreamFile() = default;
  ~StreamFile();
  StreamFile(const StreamFile&) = delete;
  StreamFile& operator=(const StreamFile&) = delete;

  // Each returns 0 or the error code (errno).
  int Open(const std::string& path, Access access);
  // Creates the file anew (truncating an existing one) for reading and writing.
  int Create(const std::string& path);
  // An unnamed temporary file in the system's temporary directory.
  int CreateTemporary();
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Reads or writes at the offset; *done gets the bytes transferred.
  int ReadAt(void* buffer, int64_t count, int64_t offset, int64_t* done);
  int WriteAt(const void* buffer, int64_t count, int64_t offset, int64_t* done);
  int Size(int64_t* size) const;
  int Truncate(int64_t size);

 private:
  int fd_ = -1;
};

// The system's temporary directory ($TMPDIR or /tmp).
std::string TemporaryDirectory();

}  // namespace platform
