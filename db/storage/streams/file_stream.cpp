#include "db/storage/streams/file_stream.h"

#include "db/storage/errors/abs_exception.h"
#include "db/storage/streams/stream_errors.h"

namespace kelvorin {
namespace {

// Operating-system failures after opening are reported with the stream
// messages of the failing operation.
constexpr TABSNativeError kFileSeek = native::kCannotSetStreamPosition10079;

}  // namespace

TABSFileStream::TABSFileStream(const std::string& file_name, uint32_t mode)
    : file_name_(file_name) {
  if (mode == kCreate) {
    if (file_.Create(file_name) != 0) throw EABSException(native::kFileCreate, {file_name});
    return;
  }
  uint32_t access = mode & 3;
  platform::StreamFile::Access kind = access == kOpenRead    ? platform::StreamFile::Access::kRead
                                      : access == kOpenWrite ? platform::StreamFile::Access::kWrite
                                                             : platform::StreamFile::Access::kReadWrite;
  if (access > kOpenReadWrite || file_.Open(file_name, kind) != 0) {
    throw EABSException(native::kFileOpen, {file_name, static_cast<int32_t>(mode)});
  }
}

TABSFileStream::TABSFileStream(Temporary) {
  if (file_.CreateTemporary() != 0) {
    throw EABSException(native::kFileCreate, {platform::TemporaryDirectory()});
  }
}

int64_t TABSFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t done = 0;
  if (file_.ReadAt(buffer, count, position_, &done) != 0 && done == 0) return 0;
  position_ += done;
  return done;
}

int64_t TABSFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t done = 0;
  file_.WriteAt(buffer, count, position_, &done);
  position_ += done;
  return done;
}

int64_t TABSFileStream::Seek(int64_t offset, TABSSeekOrigin origin) {
  int64_t base = origin == TABSSeekOrigin::kBeginning ? 0
                 : origin == TABSSeekOrigin::kCurrent ? position_
                                                      : Size();
  int64_t target = StreamOffset(base, offset);
  if (target < 0) throw EABSException(kFileSeek, {target, position_, Size()});
  position_ = target;
  return position_;
}

void TABSFileStream::SetSize(int64_t size) {
  if (size < 0 || file_.Truncate(size) != 0) {
    throw EABSException(kFileSeek, {size, position_, Size()});
  }
  if (position_ > size) position_ = size;
}

int64_t TABSFileStream::Size() {
  int64_t size = 0;
  return file_.Size(&size) == 0 ? size : 0;
}

}  // namespace kelvorin
