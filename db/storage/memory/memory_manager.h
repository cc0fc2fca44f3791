// The engine's guarded allocator. Every engine buffer (pages, records, BLOB
// values, work areas) comes from the one process-wide TABSMemoryManager: it
// surrounds each block with guards to catch overruns, keeps a registry of the
// live blocks so that foreign or already freed addresses are refused before
// they are touched, counts the bytes in use against an optional limit and
// reports the memory still available for caches.
#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_set>

namespace kelvorin {

class TABSMemoryManager {
 public:
  // Largest size one block may have (the signed 32-bit range less the guards);
  // larger requests, for example sizes read from a damaged file, fail with
  // the allocation error.
  static constexpr int64_t kMaxBlockSize = 0x7FFFFFFF - 64;

  TABSMemoryManager() = default;
  TABSMemoryManager(const TABSMemoryManager&) = delete;
  TABSMemoryManager& operator=(const TABSMemoryManager&) = delete;
  ~TABSMemoryManager();

  // A block of `size` uninitialised bytes, 16-byte aligned.
  void* GetMem(int64_t size);
  // A block of `size` zero bytes.
  void* AllocMem(int64_t size);
  // Frees the block and sets p to nullptr. A nullptr is left alone. Raises
  // "Invalid pointer" for an address the manager did not hand out, and
  // "Memory overrun detected" (after freeing) when the trailer was overwritten.
  void FreeAndNillMem(void*& p);
  // Moves the block to one of new_size bytes, keeping min(old, new) bytes and
  // zeroing the grown part when zero_fill is set. p holds the new block
  // before the old one is freed. A nullptr gets a fresh block.
  void ReallocMem(void*& p, int64_t new_size, bool zero_fill);
  // Requested size of the block; 0 for nullptr.
  int64_t GetSize(const void* p);

  // Available physical memory (at most the largest signed 32-bit value),
  // and no more than the memory limit when one is set.
  int64_t AvailableMemory();
  // 0 removes the limit.
  void SetMemoryLimit(int64_t bytes);
  int64_t MemoryLimit();
  // Sum of the requested sizes of all live blocks.
  int64_t AllocatedBytes();
  int64_t LastAvailableMemory();

 private:
  void ReserveBytes(int64_t size);
  // A registered block, or nullptr with the reason in *failure.
  void* NewBlock(int64_t size, const char** failure);
  // Size of a registered block (raising "Invalid pointer" with the given code
  // for any other address), optionally taking it out of the registry.
  int64_t RegisteredSize(const void* p, int32_t invalid_code, bool unregister);
  // Unregisters and releases the block; false when its trailer guard had
  // been overwritten.
  bool ReleaseBlock(void* p, int32_t invalid_code);

  std::mutex mutex_;
  int64_t memory_limit_ = 0;
  int64_t allocated_bytes_ = 0;
  int64_t last_available_memory_ = 0;
  // Addresses of the live blocks, stored disguised so that leak checkers do
  // not count a forgotten block as reachable through this registry.
  std::unordered_set<uintptr_t> live_blocks_;
};

// The process's memory manager.
TABSMemoryManager& MemoryManager();

// Owns one block of the memory manager and frees it on destruction.
class TABSMemoryBlock {
 public:
  TABSMemoryBlock() = default;
  // A block of `size` bytes, zeroed when zero_fill is set.
  explicit TABSMemoryBlock(int64_t size, bool zero_fill = false);
  TABSMemoryBlock(TABSMemoryBlock&& other) noexcept;
  TABSMemoryBlock& operator=(TABSMemoryBlock&& other) noexcept;
  TABSMemoryBlock(const TABSMemoryBlock&) = delete;
  TABSMemoryBlock& operator=(const TABSMemoryBlock&) = delete;
  ~TABSMemoryBlock();

  void* data() const { return data_; }
  uint8_t* bytes() const { return static_cast<uint8_t*>(data_); }
  char* chars() const { return static_cast<char*>(data_); }
  int64_t size() const { return size_; }
  bool empty() const { return data_ == nullptr; }

  // Replaces the block by a new one of `size` bytes (the old one is freed).
  void Allocate(int64_t size, bool zero_fill = false);
  // Resizes keeping the contents (see ReallocMem).
  void Resize(int64_t new_size, bool zero_fill = false);
  // Frees the block; raises "Memory overrun detected" if it was overrun.
  void Free();
  // Gives up ownership: the caller must free the result through the manager.
  void* Release();

 private:
  void* data_ = nullptr;
  int64_t size_ = 0;
};

}  // namespace kelvorin
