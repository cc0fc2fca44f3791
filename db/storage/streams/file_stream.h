// TABSFileStream: a stream over an operating-system file, opened by name with
// an access mode, created anew (mode kCreate), or an unnamed temporary file
// that disappears when the stream is freed.
#pragma once

#include <string>

#include "db/storage/streams/stream.h"
#include "platform/temp_file.h"

namespace kelvorin {

class TABSFileStream : public TABSStream {
 public:
  // Access in the low two bits: 0 read, 1 write, 2 read and write.
  static constexpr uint32_t kOpenRead = 0;
  static constexpr uint32_t kOpenWrite = 1;
  static constexpr uint32_t kOpenReadWrite = 2;
  // Create anew for reading and writing, without sharing.
  static constexpr uint32_t kCreate = 0xFFFF;

  struct Temporary {};

  // Raises "Cannot create file" or "Cannot open file".
  TABSFileStream(const std::string& file_name, uint32_t mode);
  explicit TABSFileStream(Temporary);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TABSSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override;

  const std::string& FileName() const { return file_name_; }

 private:
  platform::StreamFile file_;
  std::string file_name_;
  int64_t position_ = 0;
};

}  // namespace kelvorin
