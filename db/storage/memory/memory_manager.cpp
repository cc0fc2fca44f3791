// Block layout (in memory only, never stored): a 16-byte prefix holding the
// requested size (i64 at 0), the source (u8 at 8, always 0 = process heap) and
// the guard 0xACCACCAC (u32 at 12); then the caller's bytes, 16-byte aligned;
// then the trailer guard 0xACCEACCE (u32, unaligned, accessed by memcpy).
#include "db/storage/memory/memory_manager.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/errors/native_errors.h"
#include "platform/system_memory.h"

namespace kelvorin {
namespace {

constexpr uint32_t kPrefixGuard = 0xACCACCACu;
constexpr uint32_t kTrailerGuard = 0xACCEACCEu;
constexpr int64_t kPrefixSize = 16;
constexpr int64_t kTrailerSize = 4;
constexpr size_t kAlignment = 16;
constexpr uint8_t kSourceHeap = 0;

struct BlockPrefix {
  int64_t size;
  uint8_t source;
  uint8_t reserved[3];
  uint32_t guard;
};
static_assert(sizeof(BlockPrefix) == kPrefixSize);

uint8_t* BlockStart(const void* p) {
  return static_cast<uint8_t*>(const_cast<void*>(p)) - kPrefixSize;
}

BlockPrefix* PrefixOf(const void* p) { return reinterpret_cast<BlockPrefix*>(BlockStart(p)); }

bool TrailerIntact(const void* p, int64_t size) {
  uint32_t guard = 0;
  std::memcpy(&guard, static_cast<const uint8_t*>(p) + size, sizeof guard);
  return guard == kTrailerGuard;
}

constexpr uintptr_t kDisguise = ~uintptr_t{0};
uintptr_t Key(const void* p) { return reinterpret_cast<uintptr_t>(p) ^ kDisguise; }

}  // namespace

TABSMemoryManager::~TABSMemoryManager() {
  // Blocks still alive at shutdown are leaks of their owners; release them so
  // the process ends clean.
  for (uintptr_t key : live_blocks_)
    std::free(BlockStart(reinterpret_cast<void*>(key ^ kDisguise)));
}

void TABSMemoryManager::ReserveBytes(int64_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (memory_limit_ > 0 && size > memory_limit_ - allocated_bytes_) {
    throw EABSException(native::kMemoryLimitExceeded30004, {memory_limit_});
  }
  allocated_bytes_ += size;
}

void* TABSMemoryManager::NewBlock(int64_t size, const char** failure) {
  if (size == 0) throw EABSException(native::kCannotAllocateZero30286);
  if (size < 0 || size > kMaxBlockSize) {
    *failure = "Invalid block size";
    return nullptr;
  }
  ReserveBytes(size);
  const int64_t total = (size + kPrefixSize + kTrailerSize + kAlignment - 1) /
                        static_cast<int64_t>(kAlignment) * static_cast<int64_t>(kAlignment);
  auto* start = static_cast<uint8_t*>(std::aligned_alloc(kAlignment, static_cast<size_t>(total)));
  if (start != nullptr) {
    void* data = start + kPrefixSize;
    try {
      std::lock_guard<std::mutex> lock(mutex_);
      live_blocks_.insert(Key(data));
    } catch (const std::bad_alloc&) {
      std::free(start);
      start = nullptr;
    }
  }
  if (start == nullptr) {
    std::lock_guard<std::mutex> lock(mutex_);
    allocated_bytes_ -= size;
    *failure = "Out of memory";
    return nullptr;
  }
  BlockPrefix prefix{size, kSourceHeap, {0, 0, 0}, kPrefixGuard};
  std::memcpy(start, &prefix, sizeof prefix);
  void* data = start + kPrefixSize;
  std::memcpy(static_cast<uint8_t*>(data) + size, &kTrailerGuard, sizeof kTrailerGuard);
  return data;
}

void* TABSMemoryManager::GetMem(int64_t size) {
  const char* failure = nullptr;
  void* p = NewBlock(size, &failure);
  if (p == nullptr) throw EABSException(native::kGetMemError30015, {failure});
  return p;
}

void* TABSMemoryManager::AllocMem(int64_t size) {
  void* p = GetMem(size);
  std::memset(p, 0, static_cast<size_t>(size));
  return p;
}

int64_t TABSMemoryManager::RegisteredSize(const void* p, int32_t invalid_code, bool unregister) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = live_blocks_.find(Key(p));
  // Only a registered address is ever read: anything else may not be ours.
  if (it == live_blocks_.end() || PrefixOf(p)->guard != kPrefixGuard) {
    throw EABSException(invalid_code, native::kTextInvalidPointer);
  }
  const int64_t size = PrefixOf(p)->size;
  if (unregister) {
    live_blocks_.erase(it);
    allocated_bytes_ -= size;
  }
  return size;
}

bool TABSMemoryManager::ReleaseBlock(void* p, int32_t invalid_code) {
  const int64_t size = RegisteredSize(p, invalid_code, true);
  const bool intact = TrailerIntact(p, size);
  // Clearing the guard makes a stale copy of the address fail loudly even
  // without the registry.
  PrefixOf(p)->guard = 0;
  std::free(BlockStart(p));
  return intact;
}

void TABSMemoryManager::FreeAndNillMem(void*& p) {
  if (p == nullptr) return;
  void* block = p;
  const bool intact = ReleaseBlock(block, native::kMemoryFreeInvalidPointer.code);
  p = nullptr;
  if (!intact) throw EABSException(native::kMemoryOverrun30137);
}

void TABSMemoryManager::ReallocMem(void*& p, int64_t new_size, bool zero_fill) {
  if (p == nullptr) {
    p = zero_fill ? AllocMem(new_size) : GetMem(new_size);
    return;
  }
  const int64_t old_size = RegisteredSize(p, native::kMemoryReallocInvalidPointer.code, false);
  const char* failure = nullptr;
  void* fresh = NewBlock(new_size, &failure);
  if (fresh == nullptr) throw EABSException(native::kReallocMemError30014, {failure});
  const int64_t kept = std::min(old_size, new_size);
  std::memcpy(fresh, p, static_cast<size_t>(kept));
  if (zero_fill && new_size > kept) {
    std::memset(static_cast<uint8_t*>(fresh) + kept, 0, static_cast<size_t>(new_size - kept));
  }
  // The caller holds the new block before the old one can fail its check.
  void* old = p;
  p = fresh;
  if (!ReleaseBlock(old, native::kMemoryReallocInvalidPointer.code)) {
    throw EABSException(native::kMemoryOverrun30137);
  }
}

int64_t TABSMemoryManager::GetSize(const void* p) {
  if (p == nullptr) return 0;
  return RegisteredSize(p, native::kMemoryGetSizeInvalidPointer.code, false);
}

int64_t TABSMemoryManager::AvailableMemory() {
  int64_t available =
      std::min<int64_t>(platform::AvailablePhysicalMemory(), std::numeric_limits<int32_t>::max());
  std::lock_guard<std::mutex> lock(mutex_);
  last_available_memory_ = available;
  if (memory_limit_ > 0 && memory_limit_ < available) return memory_limit_;
  return available;
}

void TABSMemoryManager::SetMemoryLimit(int64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  memory_limit_ = bytes > 0 ? bytes : 0;
}

int64_t TABSMemoryManager::MemoryLimit() {
  std::lock_guard<std::mutex> lock(mutex_);
  return memory_limit_;
}

int64_t TABSMemoryManager::AllocatedBytes() {
  std::lock_guard<std::mutex> lock(mutex_);
  return allocated_bytes_;
}

int64_t TABSMemoryManager::LastAvailableMemory() {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_available_memory_;
}

TABSMemoryManager& MemoryManager() {
  // Never destroyed: blocks may be freed by static objects after main.
  static TABSMemoryManager* manager = new TABSMemoryManager();
  return *manager;
}

TABSMemoryBlock::TABSMemoryBlock(int64_t size, bool zero_fill) { Allocate(size, zero_fill); }

TABSMemoryBlock::TABSMemoryBlock(TABSMemoryBlock&& other) noexcept
    : data_(other.data_), size_(other.size_) {
  other.data_ = nullptr;
  other.size_ = 0;
}

TABSMemoryBlock& TABSMemoryBlock::operator=(TABSMemoryBlock&& other) noexcept {
  if (this != &other) {
    try {
      Free();
    } catch (...) {
      // An overrun of the old block was already released; nothing to keep.
    }
    data_ = other.data_;
    size_ = other.size_;
    other.data_ = nullptr;
    other.size_ = 0;
  }
  return *this;
}

TABSMemoryBlock::~TABSMemoryBlock() {
  try {
    Free();
  } catch (...) {
    // Destructors must not throw; the block is released either way.
  }
}

void TABSMemoryBlock::Allocate(int64_t size, bool zero_fill) {
  Free();
  data_ = zero_fill ? MemoryManager().AllocMem(size) : MemoryManager().GetMem(size);
  size_ = size;
}

void TABSMemoryBlock::Resize(int64_t new_size, bool zero_fill) {
  void* old = data_;
  try {
    MemoryManager().ReallocMem(data_, new_size, zero_fill);
  } catch (...) {
    // An overrun of the old block is reported after the move succeeded.
    if (data_ != old) size_ = new_size;
    throw;
  }
  size_ = new_size;
}

void TABSMemoryBlock::Free() {
  size_ = 0;
  MemoryManager().FreeAndNillMem(data_);
}

void* TABSMemoryBlock::Release() {
  void* p = data_;
  data_ = nullptr;
  size_ = 0;
  return p;
}

}  // namespace kelvorin
