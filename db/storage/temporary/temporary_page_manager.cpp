#include "db/storage/temporary/temporary_page_manager.h"

#include <algorithm>
#include <cstring>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/temporary/temporary_errors.h"

namespace kelvorin {
namespace {

constexpr int32_t kCacheCapacity = 256;

int64_t FileOffset(int32_t page_no) { return int64_t{page_no} * TABSTemporaryPageManager::kPageSize; }

}  // namespace

TABSTemporaryPageManager::TABSTemporaryPageManager() : TABSPageManager(kPageSize, 0) {
  SetCacheCapacity(std::min(CacheCapacity(), kCacheCapacity));
}

TABSTemporaryPageManager::~TABSTemporaryPageManager() { DiscardAll(); }

bool TABSTemporaryPageManager::TryKeepInMemory(TABSMemoryBlock& buffer) {
  if (in_memory_ >= memory_page_limit_ || !budget_.TryGrow(kPageSize)) return false;
  try {
    buffer.Allocate(kPageSize, true);
  } catch (const EABSException&) {
    // Memory the manager refuses goes to the file like memory the budget
    // refuses.
    budget_.Shrink(kPageSize);
    return false;
  }
  return true;
}

TABSFileStream& TABSTemporaryPageManager::File() {
  if (!file_) file_ = std::make_unique<TABSFileStream>(TABSFileStream::Temporary{});
  return *file_;
}

void TABSTemporaryPageManager::AllocatePageNumber(TABSPage& page) {
  const int32_t page_no = allocated_.LowestFree();
  if (page_no == std::numeric_limits<int32_t>::max()) throw EABSException(native::kInvalidPageNumber20064);
  page.AllocateBuffer();
  TABSMemoryBlock buffer;
  if (!TryKeepInMemory(buffer)) {
    TABSFileStream& file = File();
    const int64_t needed = FileOffset(page_no) + kPageSize;
    if (file.Size() < needed) file.SetSize(needed + needed / 2);
  }
  if (static_cast<size_t>(page_no) >= memory_.size()) {
    try {
      memory_.resize(std::max(memory_.size() * 2, static_cast<size_t>(page_no) + 1));
    } catch (...) {
      if (!buffer.empty()) budget_.Shrink(kPageSize);
      throw;
    }
  }
  if (!buffer.empty()) ++in_memory_;
  memory_[static_cast<size_t>(page_no)] = std::move(buffer);
  allocated_.Allocate(page_no);
  next_page_no_ = std::max(next_page_no_, page_no + 1);
  page.SetPageNo(page_no);
}

void TABSTemporaryPageManager::CheckAllocated(int32_t page_no, const TABSNativeError& error) const {
  if (!allocated_.IsAllocated(page_no)) throw EABSException(error);
}

void TABSTemporaryPageManager::FreePageNumber(int32_t page_no) {
  CheckAllocated(page_no, native::kNotReleasedPageAllocated10397);
  TABSMemoryBlock& buffer = memory_[static_cast<size_t>(page_no)];
  if (!buffer.empty()) {
    buffer.Free();
    budget_.Shrink(kPageSize);
    --in_memory_;
  }
  allocated_.Free(page_no);
}

void TABSTemporaryPageManager::ReadPage(TABSPage& page) {
  const int32_t page_no = page.PageNo();
  CheckAllocated(page_no, native::kNotReleasedPageAllocated10396);
  if (!page.HasBuffer()) page.AllocateBuffer();
  const TABSMemoryBlock& buffer = memory_[static_cast<size_t>(page_no)];
  if (!buffer.empty()) {
    std::memcpy(page.Buffer(), buffer.data(), kPageSize);
    return;
  }
  TABSFileStream& file = File();
  file.SetPosition(FileOffset(page_no));
  const int64_t read = file.Read(page.Buffer(), kPageSize);
  if (read != kPageSize) {
    throw EABSException(native::kCannotReadFromStream10130, {FileOffset(page_no), file.Size(), kPageSize, read});
  }
}

void TABSTemporaryPageManager::WritePage(TABSPage& page) {
  const int32_t page_no = page.PageNo();
  CheckAllocated(page_no, native::kNotReleasedPageAllocated10397);
  TABSMemoryBlock& buffer = memory_[static_cast<size_t>(page_no)];
  if (!buffer.empty()) {
    std::memcpy(buffer.data(), page.Buffer(), kPageSize);
    return;
  }
  TABSFileStream& file = File();
  file.SetPosition(FileOffset(page_no));
  const int64_t written = file.Write(page.Buffer(), kPageSize);
  if (written != kPageSize) {
    throw EABSException(native::kTemporaryFileFailed, {"a page could not be written"});
  }
}

void TABSTemporaryPageManager::Close() {
  CheckCommitted();
  if (allocated_.Count() > 0) throw EABSException(native::kIndexPagesNotReleased20036);
  DiscardAll();
  memory_.clear();
  allocated_.Clear();
  in_memory_ = 0;
  next_page_no_ = 0;
  budget_.ReleaseAll();
  file_.reset();
}

}  // namespace kelvorin
