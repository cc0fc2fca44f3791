// TABSTemporaryStream: a stream for temporary data that stays in memory while
// it is small and moves into an unnamed temporary file as soon as a write
// would make it larger than kMemoryLimit bytes. The file disappears when the
// stream is freed.
#pragma once

#include <memory>

#include "db/storage/streams/file_stream.h"
#include "db/storage/streams/memory_stream.h"

namespace kelvorin {

class TABSTemporaryStream : public TABSStream {
 public:
  static constexpr int64_t kMemoryLimit = 1048576;

  TABSTemporaryStream();
  ~TABSTemporaryStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TABSSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override;

  bool InMemory() const { return file_ == nullptr; }

 private:
  // Moves the contents into a temporary file when `size` bytes would not
  // fit in memory.
  void MakeRoomFor(int64_t size);
  TABSStream& Current();

  std::unique_ptr<TABSMemoryStream> memory_;
  std::unique_ptr<TABSFileStream> file_;
};

}  // namespace kelvorin
