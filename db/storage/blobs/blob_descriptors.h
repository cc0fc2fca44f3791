// TABSBlobDescriptors: the BLOB values a BLOB manager holds in memory for
// the records that use them: values read from storage (cached) and values
// written but not yet stored (modified). A memory record keeps a 32-bit
// handle beside each BLOB reference, never an address: the slot number in
// its low 16 bits and the slot's generation in its high 16 bits, so a
// handle that was released, or never handed out, finds nothing (and 0 is
// no handle at all).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "db/storage/blobs/blob_value.h"

namespace kelvorin {

struct TABSBlobDescriptor {
  TABSBlobValue value;
  // Written and not yet stored.
  bool modified = false;
  // The stored value a cached descriptor holds.
  TABSBlobReference source;
};

class TABSBlobDescriptors {
 public:
  static constexpr uint32_t kNoHandle = 0;
  static constexpr int32_t kMaxDescriptors = 0xFFFF;

  // Raises "Too many blob values in use" when every slot is taken.
  uint32_t Add(TABSBlobDescriptor descriptor);
  // The descriptor of a live handle, else none. The pointer is valid until
  // the next Add.
  TABSBlobDescriptor* Find(uint32_t handle);
  // Frees the descriptor; an unknown handle is left alone.
  void Release(uint32_t handle);
  // Frees every descriptor that holds no written value.
  void ReleaseCached();
  void Clear();
  int32_t Count() const { return count_; }

 private:
  struct Slot {
    uint16_t generation = 1;
    std::optional<TABSBlobDescriptor> descriptor;
  };

  std::vector<Slot> slots_;
  std::vector<uint16_t> free_;
  int32_t count_ = 0;
};

}  // namespace kelvorin
