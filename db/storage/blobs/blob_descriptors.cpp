#include "db/storage/blobs/blob_descriptors.h"

#include "db/storage/blobs/blob_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {
namespace {

uint32_t HandleOf(uint16_t slot, uint16_t generation) { return (uint32_t{generation} << 16) | (slot + 1u); }

}  // namespace

uint32_t TABSBlobDescriptors::Add(TABSBlobDescriptor descriptor) {
  uint16_t slot;
  if (!free_.empty()) {
    slot = free_.back();
    free_.pop_back();
  } else {
    if (static_cast<int32_t>(slots_.size()) >= kMaxDescriptors) {
      throw EABSException(native::kTooManyBlobValues, {kMaxDescriptors});
    }
    slots_.emplace_back();
    slot = static_cast<uint16_t>(slots_.size() - 1);
  }
  slots_[slot].descriptor = std::move(descriptor);
  ++count_;
  return HandleOf(slot, slots_[slot].generation);
}

TABSBlobDescriptor* TABSBlobDescriptors::Find(uint32_t handle) {
  const uint32_t low = handle & 0xFFFF;
  if (low == 0 || low > slots_.size()) return nullptr;
  Slot& slot = slots_[low - 1];
  if (slot.generation != (handle >> 16) || !slot.descriptor) return nullptr;
  return &*slot.descriptor;
}

void TABSBlobDescriptors::Release(uint32_t handle) {
  if (Find(handle) == nullptr) return;
  const auto index = static_cast<uint16_t>((handle & 0xFFFF) - 1);
  Slot& slot = slots_[index];
  slot.descriptor.reset();
  // Generation 0 is skipped, so that no live handle is ever 0 in its high half.
  slot.generation = static_cast<uint16_t>(slot.generation == 0xFFFF ? 1 : slot.generation + 1);
  free_.push_back(index);
  --count_;
}

void TABSBlobDescriptors::ReleaseCached() {
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].descriptor && !slots_[i].descriptor->modified) {
      Release(HandleOf(static_cast<uint16_t>(i), slots_[i].generation));
    }
  }
}

void TABSBlobDescriptors::Clear() {
  // Slots keep their generations: a handle once given out never comes back.
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].descriptor) Release(HandleOf(static_cast<uint16_t>(i), slots_[i].generation));
  }
}

}  // namespace kelvorin
