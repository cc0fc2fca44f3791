#include "db/storage/temporary/memory_page_manager.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/little_endian.h"
#include "db/storage/temporary/temporary_errors.h"

namespace kelvorin {
namespace {

// Pages copied in or out of a stream at once.
constexpr int32_t kPagesPerCopy = 16;
// A few pages are enough to keep: every page is in memory anyway.
constexpr int32_t kCacheCapacity = 256;

void WriteExact(TABSStream& stream, const void* data, int64_t size, const TABSNativeError& error) {
  const int64_t position = stream.Position();
  const int64_t written = stream.Write(data, size);
  if (written != size) throw EABSException(error, {position, stream.Size(), size, written});
}

void ReadExact(TABSStream& stream, void* data, int64_t size, const TABSNativeError& error) {
  const int64_t position = stream.Position();
  const int64_t read = stream.Read(data, size);
  if (read != size) throw EABSException(error, {position, stream.Size(), size, read});
}

template <typename T>
T ReadField(TABSStream& stream, const TABSNativeError& error) {
  uint8_t bytes[sizeof(T)];
  ReadExact(stream, bytes, sizeof(T), error);
  return LoadLE<T>(bytes);
}

template <typename T>
void WriteField(TABSStream& stream, T value, const TABSNativeError& error) {
  uint8_t bytes[sizeof(T)];
  StoreLE(bytes, value);
  WriteExact(stream, bytes, sizeof(T), error);
}

[[noreturn]] void Damaged(const std::string& reason) { throw EABSException(native::kInvalidPageStream, {reason}); }

}  // namespace

TABSMemoryPageManager::TABSMemoryPageManager() : TABSPageManager(kPageSize, 0) {
  SetCacheCapacity(std::min(CacheCapacity(), kCacheCapacity));
}

TABSMemoryPageManager::~TABSMemoryPageManager() { DiscardAll(); }

void TABSMemoryPageManager::AllocatePageNumber(TABSPage& page) {
  const int32_t page_no = allocated_.LowestFree();
  if (page_no == std::numeric_limits<int32_t>::max()) {
    throw EABSException(native::kInvalidPageNumber20064);
  }
  if (allocated_.IsAllocated(page_no)) throw EABSException(native::kNotReleasedPageAllocated20037);
  // Everything that can fail comes before the number is taken.
  TABSMemoryBlock stored(kPageSize, true);
  page.AllocateBuffer();
  if (static_cast<size_t>(page_no) >= pages_.size()) {
    pages_.resize((static_cast<size_t>(page_no) / kGrowthStep + 1) * kGrowthStep);
  }
  pages_[static_cast<size_t>(page_no)] = std::move(stored);
  allocated_.Allocate(page_no);
  highest_ = std::max(highest_, page_no);
  page.SetPageNo(page_no);
}

void TABSMemoryPageManager::FreePageNumber(int32_t page_no) {
  StoredPage(page_no, native::kNotReleasedPageAllocated10393).Free();
  allocated_.Free(page_no);
}

TABSMemoryBlock& TABSMemoryPageManager::StoredPage(int32_t page_no, const TABSNativeError& unallocated) {
  if (!allocated_.IsAllocated(page_no) || static_cast<size_t>(page_no) >= pages_.size()) {
    throw EABSException(unallocated);
  }
  return pages_[static_cast<size_t>(page_no)];
}

void TABSMemoryPageManager::ReadPage(TABSPage& page) {
  const TABSMemoryBlock& stored = StoredPage(page.PageNo(), native::kNotReleasedPageAllocated10392);
  if (!page.HasBuffer()) page.AllocateBuffer();
  std::memcpy(page.Buffer(), stored.data(), kPageSize);
}

void TABSMemoryPageManager::WritePage(TABSPage& page) {
  TABSMemoryBlock& stored = StoredPage(page.PageNo(), native::kNotReleasedPageAllocated10393);
  std::memcpy(stored.data(), page.Buffer(), kPageSize);
}

void TABSMemoryPageManager::Close() {
  CheckCommitted();
  if (allocated_.Count() > 0) throw EABSException(native::kIndexPagesNotReleased20023);
  DiscardAll();
  pages_.clear();
  allocated_.Clear();
  highest_ = -1;
}

void TABSMemoryPageManager::SaveToStream(TABSStream& stream) {
  const auto page_count = static_cast<int32_t>(pages_.size());
  WriteField<int32_t>(stream, page_count, native::kSavePageCount10362);
  WriteField<int32_t>(stream, highest_, native::kSaveHighestPage10363);
  WriteField<int32_t>(stream, kGrowthStep, native::kSaveGrowthStep10364);
  WriteField<uint16_t>(stream, kPageSize, native::kSavePageSize10365);
  WriteField<uint16_t>(stream, 0, native::kSaveHeaderSize10366);
  WriteField<int32_t>(stream, allocated_.Count(), native::kSaveAllocatedCount10367);
  const std::vector<uint8_t> bits = allocated_.ToBytes(page_count);
  WriteExact(stream, bits.data(), static_cast<int64_t>(bits.size()), native::kSavePages10368);
  TABSMemoryBlock run(int64_t{kPageSize} * kPagesPerCopy);
  for (int32_t first = 0; first < page_count; first += kPagesPerCopy) {
    const int32_t count = std::min(kPagesPerCopy, page_count - first);
    for (int32_t i = 0; i < count; ++i) {
      uint8_t* target = run.bytes() + int64_t{i} * kPageSize;
      const TABSMemoryBlock& stored = pages_[static_cast<size_t>(first + i)];
      if (stored.empty()) {
        std::memset(target, 0, kPageSize);
      } else {
        std::memcpy(target, stored.data(), kPageSize);
      }
    }
    WriteExact(stream, run.data(), int64_t{count} * kPageSize, native::kSavePages10368);
  }
}

void TABSMemoryPageManager::LoadFromStream(TABSStream& stream) {
  if (HasHeldPages() || HasUncommittedPages()) throw EABSException(native::kPagesInUse, {"load"});
  const int64_t left = stream.Size() - stream.Position();
  const auto page_count = ReadField<int32_t>(stream, native::kLoadPageCount10369);
  const auto highest = ReadField<int32_t>(stream, native::kLoadHighestPage10370);
  const auto growth_step = ReadField<int32_t>(stream, native::kLoadGrowthStep10371);
  const auto page_size = ReadField<uint16_t>(stream, native::kLoadPageSize10372);
  const auto header_size = ReadField<uint16_t>(stream, native::kLoadHeaderSize10373);
  const auto allocated_count = ReadField<int32_t>(stream, native::kLoadAllocatedCount10374);
  if (page_size != kPageSize || header_size != 0) {
    Damaged("page size " + std::to_string(page_size) + ", header size " + std::to_string(header_size));
  }
  if (growth_step <= 0) Damaged("growth step " + std::to_string(growth_step));
  const int64_t bitmap_size = (int64_t{page_count} + 7) / 8;
  if (page_count < 0 || int64_t{page_count} * kPageSize + bitmap_size > left - kStreamHeaderSize) {
    Damaged("page count " + std::to_string(page_count) + " for " + std::to_string(left) + " bytes");
  }
  if (highest < -1 || highest >= page_count) Damaged("highest page " + std::to_string(highest));
  std::vector<uint8_t> bits(static_cast<size_t>(bitmap_size));
  ReadExact(stream, bits.data(), bitmap_size, native::kLoadPages10375);
  TABSPageNumbers allocated;
  allocated.FromBytes(bits.data(), page_count);
  if (allocated.Count() != allocated_count) {
    Damaged("allocated count " + std::to_string(allocated_count) + ", bit array " +
            std::to_string(allocated.Count()));
  }
  if (allocated.Highest() > highest) Damaged("page " + std::to_string(allocated.Highest()) + " above the highest");
  std::vector<TABSMemoryBlock> pages(static_cast<size_t>(page_count));
  TABSMemoryBlock run(int64_t{kPageSize} * kPagesPerCopy);
  for (int32_t first = 0; first < page_count; first += kPagesPerCopy) {
    const int32_t count = std::min(kPagesPerCopy, page_count - first);
    ReadExact(stream, run.data(), int64_t{count} * kPageSize, native::kLoadPages10375);
    for (int32_t i = 0; i < count; ++i) {
      if (!allocated.IsAllocated(first + i)) continue;
      TABSMemoryBlock& page = pages[static_cast<size_t>(first + i)];
      page.Allocate(kPageSize);
      std::memcpy(page.data(), run.bytes() + int64_t{i} * kPageSize, kPageSize);
    }
  }
  // Every cached copy and session list belongs to the pages that go.
  DiscardAll();
  pages_ = std::move(pages);
  allocated_ = std::move(allocated);
  highest_ = highest;
}

}  // namespace kelvorin
