// Memory adapters of the value streams.
#include "db/tables/values/value_stream.h"

#include <algorithm>
#include <cstring>

namespace kelvorin {

int32_t TABSStringValueOutput::Write(const void* data, int32_t count) {
  if (count <= 0) return 0;
  bytes_->append(static_cast<const char*>(data), static_cast<size_t>(count));
  return count;
}

int32_t TABSBufferValueInput::Read(void* data, int32_t count) {
  // An empty buffer may have no address at all.
  if (count <= 0 || position_ >= bytes_.size()) return 0;
  const size_t n = std::min(static_cast<size_t>(count), bytes_.size() - position_);
  std::memcpy(data, bytes_.data() + position_, n);
  position_ += n;
  return static_cast<int32_t>(n);
}

}  // namespace kelvorin
