// Slab layout: a 16-byte slab header, then the placed nodes, each after a
// 16-byte prefix that points back to its slab. A slab counts two for every
// live node and one while a thread still places nodes in it; it is freed
// when the count reaches zero. A node too large for a slab gets a block of
// its own, marked by a null slab pointer.
#include "db/query/expressions/node_arena.h"

#include <atomic>
#include <cstdint>
#include <new>

#include "db/storage/memory/memory_manager.h"

#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#endif
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

namespace kelvorin {
namespace {

constexpr size_t kSlabBytes = 32 * 1024;
constexpr size_t kPrefix = 16;

struct Slab {
  std::atomic<uint32_t> count;
  uint32_t used;  // bytes placed after the header
};
static_assert(sizeof(Slab) <= kPrefix);

constexpr size_t kRoom = kSlabBytes - kPrefix;

// The bytes a node of `size` takes in a slab, its prefix included.
size_t NeedFor(size_t size) { return kPrefix + (size + 15) / 16 * 16; }

char* DataOf(Slab* slab) { return reinterpret_cast<char*>(slab) + kPrefix; }

void* GetBlock(size_t size) {
  try {
    return MemoryManager().GetMem(static_cast<int64_t>(size));
  } catch (...) {
    throw std::bad_alloc();
  }
}

void FreeBlock(void* block) noexcept {
  try {
    MemoryManager().FreeAndNillMem(block);
  } catch (...) {
    // Only a damaged guard raises here, and nodes never write outside
    // themselves; a destructor has nowhere to report it.
  }
}

void FreeSlab(Slab* slab) noexcept {
  ASAN_UNPOISON_MEMORY_REGION(DataOf(slab), kRoom);
  FreeBlock(slab);
}

void Drop(Slab* slab, uint32_t amount) noexcept {
  if (slab->count.fetch_sub(amount, std::memory_order_acq_rel) == amount) FreeSlab(slab);
}

// The slab this thread places nodes in. A plain pointer, so that it stays
// readable while other thread-local objects are destroyed; the closer
// hands the slab back when the thread ends.
thread_local Slab* placing = nullptr;
thread_local bool closed = false;
thread_local int64_t placed = 0;

struct Closer {
  ~Closer() {
    closed = true;
    if (placing != nullptr) Drop(placing, 1);
    placing = nullptr;
  }
};
thread_local Closer closer;

Slab* NewSlab() {
  auto* slab = static_cast<Slab*>(GetBlock(kSlabBytes));
  slab->count.store(1, std::memory_order_relaxed);
  slab->used = 0;
  ASAN_POISON_MEMORY_REGION(DataOf(slab), kRoom);
  return slab;
}

}  // namespace

int64_t ExprNodesPlaced() { return placed; }

void* AllocateExprNode(size_t size) {
  ++placed;
  const size_t need = NeedFor(size);
  if (need > kRoom / 4 || closed) {
    char* block = static_cast<char*>(GetBlock(need));
    *reinterpret_cast<Slab**>(block) = nullptr;
    return block + kPrefix;
  }
  (void)&closer;  // constructs the closer of this thread
  if (placing == nullptr || placing->used + need > kRoom) {
    Slab* fresh = NewSlab();
    if (placing != nullptr) Drop(placing, 1);
    placing = fresh;
  }
  char* at = DataOf(placing) + placing->used;
  placing->used += static_cast<uint32_t>(need);
  ASAN_UNPOISON_MEMORY_REGION(at, need);
  *reinterpret_cast<Slab**>(at) = placing;
  placing->count.fetch_add(2, std::memory_order_relaxed);
  return at + kPrefix;
}

void ReleaseExprNode(void* p, size_t size) noexcept {
  if (p == nullptr) return;
  char* at = static_cast<char*>(p) - kPrefix;
  Slab* slab = *reinterpret_cast<Slab**>(at);
  if (slab == nullptr) {
    FreeBlock(at);
    return;
  }
  ASAN_POISON_MEMORY_REGION(at, NeedFor(size));
  const uint32_t left = slab->count.fetch_sub(2, std::memory_order_acq_rel) - 2;
  if (left == 0) {
    FreeSlab(slab);
  } else if (left == 1 && slab == placing) {
    // This thread's slab holds nothing any more: give it back rather than
    // keep it for the next expression.
    placing = nullptr;
    Drop(slab, 1);
  }
}

}  // namespace kelvorin
