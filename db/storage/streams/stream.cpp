#include "db/storage/streams/stream.h"

#include <algorithm>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/memory/memory_manager.h"
#include "db/storage/streams/stream_errors.h"

namespace kelvorin {

int64_t TABSStream::Size() {
  int64_t position = Seek(0, TABSSeekOrigin::kCurrent);
  int64_t size = Seek(0, TABSSeekOrigin::kEnd);
  Seek(position, TABSSeekOrigin::kBeginning);
  return size;
}

void TABSStream::Progress(int percent) {
  if (on_progress) on_progress(percent);
}

void TABSStream::SaveToStream(TABSStream& destination) {
  if (block_size_ <= 0) throw EABSException(native::kCopyBlockSizeZero);
  int64_t own_position = Position();
  int64_t other_position = destination.Position();
  int64_t size = Size();
  TABSMemoryBlock buffer(std::min<int64_t>(block_size_, std::max<int64_t>(size, 1)));
  SetPosition(0);
  destination.SetPosition(0);
  Progress(0);
  int64_t copied = 0;
  while (copied < size) {
    int64_t chunk = std::min<int64_t>(buffer.size(), size - copied);
    int64_t read = Read(buffer.data(), chunk);
    if (read != chunk) {
      throw EABSException(native::kCopyRead, {copied, size, block_size_, read});
    }
    int64_t written = destination.Write(buffer.data(), chunk);
    if (written != chunk) {
      throw EABSException(native::kCopyWrite, {copied, size, block_size_, written});
    }
    copied += chunk;
    Progress(static_cast<int>(copied * 100 / size));
  }
  Progress(100);
  SetPosition(own_position);
  destination.SetPosition(other_position);
}

void TABSStream::LoadFromStream(TABSStream& source) {
  SetSize(0);
  source.SaveToStream(*this);
}

}  // namespace kelvorin
