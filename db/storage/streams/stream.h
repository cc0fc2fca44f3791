// TABSStream: the engine's abstract byte stream (BLOB values, temporary
// results, copies). A stream has a size and a position, and reads, writes,
// seeks and resizes like a file: reading at or beyond the end gives 0 bytes,
// writing beyond the end fills the gap with zeros. It adds a block size for
// copies, a lock for callers that share one stream between threads, and a
// progress event for copies.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

namespace kelvorin {

enum class TABSSeekOrigin { kBeginning, kCurrent, kEnd };

// base + offset, or -1 (an invalid position) when the sum overflows.
inline int64_t StreamOffset(int64_t base, int64_t offset) {
  int64_t sum;
  return __builtin_add_overflow(base, offset, &sum) ? -1 : sum;
}

class TABSStream {
 public:
  static constexpr int32_t kDefaultBlockSize = 102400;

  TABSStream() = default;
  TABSStream(const TABSStream&) = delete;
  TABSStream& operator=(const TABSStream&) = delete;
  virtual ~TABSStream() = default;

  // Reads up to count bytes at the position and advances it; returns the
  // number of bytes read.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes count bytes at the position and advances it; returns the number
  // of bytes written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position and returns it. A negative position is an error.
  virtual int64_t Seek(int64_t offset, TABSSeekOrigin origin) = 0;
  virtual void SetSize(int64_t size) = 0;
  virtual int64_t Size();

  int64_t Position() { return Seek(0, TABSSeekOrigin::kCurrent); }
  void SetPosition(int64_t position) { Seek(position, TABSSeekOrigin::kBeginning); }

  int32_t BlockSize() const { return block_size_; }
  void SetBlockSize(int32_t block_size) { block_size_ = block_size; }

  void Enter() { lock_.lock(); }
  void Leave() { lock_.unlock(); }

  // Receives 0 before a copy, the percentage copied after each block and 100
  // at the end.
  std::function<void(int percent)> on_progress;

  // Copies the whole stream, block by block, to the start of `destination`;
  // both positions are restored afterwards.
  void SaveToStream(TABSStream& destination);
  // Replaces the contents by a copy of the whole `source`.
  void LoadFromStream(TABSStream& source);

 private:
  void Progress(int percent);

  int32_t block_size_ = kDefaultBlockSize;
  std::recursive_mutex lock_;
};

}  // namespace kelvorin
