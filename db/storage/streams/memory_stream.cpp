#include "db/storage/streams/memory_stream.h"

#include <algorithm>
#include <cstring>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/streams/stream_errors.h"

namespace kelvorin {

int64_t TABSMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ >= size_) return 0;
  int64_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, buffer_.bytes() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

void TABSMemoryStream::Reserve(int64_t size) {
  if (size <= buffer_.size()) return;
  buffer_.Resize(std::max(size, std::min(2 * buffer_.size(), TABSMemoryManager::kMaxBlockSize)), false);
}

int64_t TABSMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t end = StreamOffset(position_, count);
  if (end < 0) return 0;
  if (end > size_) {
    Reserve(end);
    // A gap reads as zeros: nothing uninitialised may reach a stored value.
    if (position_ > size_) std::memset(buffer_.bytes() + size_, 0, static_cast<size_t>(position_ - size_));
    size_ = end;
  }
  std::memcpy(buffer_.bytes() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TABSMemoryStream::Seek(int64_t offset, TABSSeekOrigin origin) {
  int64_t base = origin == TABSSeekOrigin::kBeginning ? 0
                 : origin == TABSSeekOrigin::kCurrent ? position_
                                                      : size_;
  int64_t target = StreamOffset(base, offset);
  if (target < 0) throw EABSException(native::kMemorySeek, {target, position_, size_});
  position_ = target;
  return position_;
}

void TABSMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw EABSException(native::kMemorySeek, {size, position_, size_});
  if (size == 0) {
    buffer_.Free();
  } else if (size < size_) {
    buffer_.Resize(size, false);
  } else if (size > size_) {
    if (size > buffer_.size()) buffer_.Resize(size, false);
    // A grown part is zeroed: nothing uninitialised may reach a stored value.
    std::memset(buffer_.bytes() + size_, 0, static_cast<size_t>(size - size_));
  }
  size_ = size;
  if (position_ > size_) position_ = size_;
}

}  // namespace kelvorin
