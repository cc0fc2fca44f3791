// TABSMemoryStream: a stream held in one buffer of the engine's memory
// manager. Writing grows the buffer by doubling, so that a stream written in
// many pieces is copied a few times only; setting a size sets the buffer to
// it. A gap left by writing beyond the end reads as zeros; a size of 0 frees
// the buffer.
#pragma once

#include "db/storage/memory/memory_manager.h"
#include "db/storage/streams/stream.h"

namespace kelvorin {

class TABSMemoryStream : public TABSStream {
 public:
  TABSMemoryStream() = default;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TABSSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override { return size_; }

  // The bytes of the stream (nullptr when empty).
  uint8_t* Memory() const { return buffer_.bytes(); }
  void Clear() { SetSize(0); position_ = 0; }

 private:
  // Makes room for `size` bytes (at least twice the room there was).
  void Reserve(int64_t size);

  TABSMemoryBlock buffer_;
  int64_t size_ = 0;
  int64_t position_ = 0;
};

}  // namespace kelvorin
