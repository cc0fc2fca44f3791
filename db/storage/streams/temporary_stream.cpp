#include "db/storage/streams/temporary_stream.h"

#include "db/storage/errors/abs_exception.h"
#include "db/storage/streams/stream_errors.h"

namespace kelvorin {

TABSTemporaryStream::TABSTemporaryStream() : memory_(std::make_unique<TABSMemoryStream>()) {}

TABSTemporaryStream::~TABSTemporaryStream() = default;

TABSStream& TABSTemporaryStream::Current() {
  if (file_ != nullptr) return *file_;
  return *memory_;
}

void TABSTemporaryStream::MakeRoomFor(int64_t size) {
  if (file_ != nullptr || size <= kMemoryLimit) return;
  auto file = std::make_unique<TABSFileStream>(TABSFileStream::Temporary{});
  int64_t position = memory_->Position();
  int64_t used = memory_->Size();
  if (used > 0 && file->Write(memory_->Memory(), used) != used) {
    throw EABSException(native::kCopyWrite, {int64_t{0}, used, BlockSize(), int64_t{0}});
  }
  file->SetPosition(position);
  file_ = std::move(file);
  memory_.reset();
}

int64_t TABSTemporaryStream::Read(void* buffer, int64_t count) { return Current().Read(buffer, count); }

int64_t TABSTemporaryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t end = StreamOffset(Current().Position(), count);
  if (end < 0) return 0;  // no stream reaches beyond the largest position
  MakeRoomFor(end);
  return Current().Write(buffer, count);
}

int64_t TABSTemporaryStream::Seek(int64_t offset, TABSSeekOrigin origin) {
  return Current().Seek(offset, origin);
}

void TABSTemporaryStream::SetSize(int64_t size) {
  MakeRoomFor(size);
  Current().SetSize(size);
}

int64_t TABSTemporaryStream::Size() { return Current().Size(); }

}  // namespace kelvorin
