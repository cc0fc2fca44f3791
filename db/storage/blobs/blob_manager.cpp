#include "db/storage/blobs/blob_manager.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "db/storage/blobs/blob_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/streams/compressed_blob_stream.h"
#include "db/storage/streams/memory_stream.h"

namespace kelvorin {
namespace {

constexpr int32_t kHandleOffset = TABSBlobReference::kStoredSize;
constexpr int64_t kCopyChunk = 1 << 20;

uint32_t HandleAt(const uint8_t* field) { return LoadLE<uint32_t>(field + kHandleOffset); }
void SetHandle(uint8_t* field, uint32_t handle) { StoreLE(field + kHandleOffset, handle); }

TABSCompressedStreamSettings SettingsOf(const TABSBlobFieldSlot& slot) {
  TABSCompressedStreamSettings settings;
  settings.block_size = slot.block_size;
  settings.algorithm = slot.compression_algorithm;
  settings.level = slot.compression_level;
  return settings;
}

void WriteAll(TABSStream& stream, const uint8_t* bytes, int64_t size) {
  if (size > 0 && stream.Write(bytes, size) != size) throw EABSException(native::kCannotReadBlob);
}

}  // namespace

// --- Reading ---

TABSBlobDescriptor* TABSBlobManager::ValueOf(int32_t session, uint8_t* record, const TABSBlobFieldSlot& slot) {
  if (TABSRecordLayout::IsNull(record, slot.field_no)) return nullptr;
  uint8_t* field = record + slot.memory_offset;
  const TABSBlobReference reference = TABSBlobReference::Load(field);
  // A handle copied along with a record may belong to another value.
  if (TABSBlobDescriptor* held = descriptors_.Find(HandleAt(field))) {
    if (held->modified || held->source == reference) return held;
  }
  if (!reference.NamesStoredValue()) throw EABSException(native::kCannotReadBlob);
  TABSBlobDescriptor read;
  read.source = reference;
  ReadStoredValue(session, reference, read.value);
  const uint32_t handle = descriptors_.Add(std::move(read));
  SetHandle(field, handle);
  return descriptors_.Find(handle);
}

TABSCompressedStreamSettings TABSBlobManager::LoadBlob(int32_t session, uint8_t* record, int32_t field_no,
                                                       TABSStream& container) {
  const TABSBlobFieldSlot& slot = layout_.BlobField(field_no);
  TABSCompressedStreamSettings settings = SettingsOf(slot);
  settings.start_position = container.Position();
  if (const TABSBlobDescriptor* descriptor = ValueOf(session, record, slot)) {
    WriteAll(container, descriptor->value.bytes.bytes(), descriptor->value.StoredSize());
    settings.block_count = descriptor->value.block_count;
    settings.uncompressed_size = descriptor->value.uncompressed_size;
  }
  return settings;
}

void TABSBlobManager::ReadValue(int32_t session, uint8_t* record, int32_t field_no, TABSStream& value) {
  const TABSBlobFieldSlot& slot = layout_.BlobField(field_no);
  if (TABSRecordLayout::IsNull(record, field_no)) return;
  uint8_t* field = record + slot.memory_offset;
  const TABSBlobReference reference = TABSBlobReference::Load(field);
  const TABSBlobDescriptor* held = descriptors_.Find(HandleAt(field));
  if (held != nullptr && (held->modified || held->source == reference)) return WriteValueOf(slot, held->value, value);
  if (!reference.NamesStoredValue()) throw EABSException(native::kCannotReadBlob);
  if (slot.compression_algorithm == 0) {
    // Plain bytes go straight from storage into the stream.
    const TABSBlobEntryHeader header = CopyStoredValue(session, reference, value);
    if (header.uncompressed_size != header.stored_size) {
      throw EABSException(native::kInvalidBlobValue, {header.block_count, header.uncompressed_size});
    }
    return;
  }
  TABSBlobValue stored;
  ReadStoredValue(session, reference, stored);
  WriteValueOf(slot, stored, value);
}

void TABSBlobManager::WriteValueOf(const TABSBlobFieldSlot& slot, const TABSBlobValue& stored, TABSStream& value) {
  if (stored.uncompressed_size == 0) return;
  if (slot.compression_algorithm == 0) {
    if (stored.uncompressed_size != stored.StoredSize()) {
      throw EABSException(native::kInvalidBlobValue, {stored.block_count, stored.uncompressed_size});
    }
    WriteAll(value, stored.bytes.bytes(), stored.StoredSize());
    return;
  }
  TABSMemoryStream container;
  WriteAll(container, stored.bytes.bytes(), stored.StoredSize());
  TABSCompressedStreamSettings settings = SettingsOf(slot);
  settings.block_count = stored.block_count;
  settings.uncompressed_size = stored.uncompressed_size;
  TABSCompressedBLOBStream stream(container, /*tolerate_truncation=*/false, /*new_stream=*/false, settings);
  TABSMemoryBlock buffer(std::min<int64_t>(kCopyChunk, stored.uncompressed_size));
  for (int64_t done = 0; done < stored.uncompressed_size;) {
    const int64_t count = stream.Read(buffer.bytes(), std::min(buffer.size(), stored.uncompressed_size - done));
    if (count <= 0) throw EABSException(native::kCannotReadBlob);
    WriteAll(value, buffer.bytes(), count);
    done += count;
  }
}

TABSBlobEntryHeader TABSBlobManager::CopyStoredValue(int32_t session, TABSBlobReference reference,
                                                     TABSStream& stream) {
  TABSBlobValue stored;
  ReadStoredValue(session, reference, stored);
  WriteAll(stream, stored.bytes.bytes(), stored.StoredSize());
  return stored.Header();
}

// --- Writing ---

void TABSBlobManager::TakeWrittenValue(uint8_t* record, int32_t field_no, const TABSCompressedStreamSettings& settings,
                                       const uint8_t* container, int64_t container_size) {
  if (settings.block_count < 0 || settings.block_count > std::numeric_limits<uint32_t>::max() ||
      settings.uncompressed_size < 0 || container_size < 0) {
    throw EABSException(native::kInvalidBlobValue, {settings.block_count, settings.uncompressed_size});
  }
  TABSBlobValue value;
  value.block_count = static_cast<uint32_t>(settings.block_count);
  value.uncompressed_size = settings.uncompressed_size;
  if (container_size > 0) {
    value.bytes.Allocate(container_size);
    std::memcpy(value.bytes.bytes(), container, container_size);
  }
  TakeValue(record, layout_.BlobField(field_no), std::move(value));
}

void TABSBlobManager::TakeValue(uint8_t* record, const TABSBlobFieldSlot& slot, TABSBlobValue value) {
  TABSBlobDescriptor written;
  written.modified = true;
  written.value = std::move(value);
  const bool empty = written.value.uncompressed_size == 0;
  uint8_t* field = record + slot.memory_offset;
  const uint32_t handle = descriptors_.Add(std::move(written));
  descriptors_.Release(HandleAt(field));
  SetHandle(field, handle);
  TABSRecordLayout::SetNull(record, slot.field_no, empty);
}

void TABSBlobManager::WriteValue(uint8_t* record, int32_t field_no, const void* data, int64_t size) {
  const TABSBlobFieldSlot& slot = layout_.BlobField(field_no);
  if (size < 0) throw EABSException(native::kInvalidBlobValue, {0, size});
  if (slot.compression_algorithm == 0) {
    // Stored as they are: the bytes are the stream's whole container.
    TABSBlobValue value;
    value.uncompressed_size = size;
    if (size > 0) {
      value.bytes.Allocate(size);
      std::memcpy(value.bytes.bytes(), data, size);
    }
    return TakeValue(record, slot, std::move(value));
  }
  TABSCompressedStreamSettings settings = SettingsOf(slot);
  TABSMemoryStream container;
  {
    TABSCompressedBLOBStream stream(container, /*tolerate_truncation=*/false, /*new_stream=*/true, settings);
    if (size > 0 && stream.Write(data, size) != size) {
      throw EABSException(native::kInvalidBlobValue, {stream.BlockCount(), size});
    }
    settings = stream.Settings();
  }
  TakeWrittenValue(record, field_no, settings, container.Memory(), container.Size());
}

void TABSBlobManager::ClearValue(uint8_t* record, int32_t field_no) {
  TakeWrittenValue(record, field_no, SettingsOf(layout_.BlobField(field_no)), nullptr, 0);
}

// --- Posting ---

TABSBlobReference TABSBlobManager::StoreField(int32_t session, uint8_t* record, const TABSBlobFieldSlot& slot,
                                              bool inserting, bool* changed) {
  uint8_t* field = record + slot.memory_offset;
  const TABSBlobReference reference = TABSBlobReference::Load(field);
  TABSBlobDescriptor* descriptor = descriptors_.Find(HandleAt(field));
  const bool written = descriptor != nullptr && descriptor->modified;
  *changed = true;
  if (TABSRecordLayout::IsNull(record, slot.field_no)) {
    // A NULL field keeps no value, whatever was written to it.
    *changed = written || reference.NamesStoredValue();
    return TABSBlobReference::None();
  }
  if (written) {
    return descriptor->value.uncompressed_size > 0 ? StoreValue(session, descriptor->value)
                                                   : TABSBlobReference::None();
  }
  if (inserting && reference.NamesStoredValue()) {
    // The value belongs to the record this one was copied from.
    if (descriptor != nullptr && descriptor->source == reference) return StoreValue(session, descriptor->value);
    TABSBlobValue copy;
    ReadStoredValue(session, reference, copy);
    return StoreValue(session, copy);
  }
  *changed = false;
  return reference;
}

TABSBlobStore TABSBlobManager::StoreBlobs(int32_t session, uint8_t* record, bool inserting) {
  TABSBlobStore store;
  store.fields.reserve(layout_.BlobFields().size());
  try {
    for (const TABSBlobFieldSlot& slot : layout_.BlobFields()) {
      const TABSBlobReference old_reference = TABSBlobReference::Load(record + slot.memory_offset);
      bool changed = false;
      const TABSBlobReference new_reference = StoreField(session, record, slot, inserting, &changed);
      if (changed) store.fields.push_back({slot.field_no, old_reference, new_reference, !inserting});
    }
  } catch (...) {
    try {
      DeleteNewValues(session, store);
    } catch (...) {
      // The session's rollback removes them.
    }
    throw;
  }
  for (const TABSBlobStore::Field& f : store.fields) {
    f.new_reference.Store(record + layout_.BlobField(f.field_no).memory_offset);
  }
  return store;
}

void TABSBlobManager::DeleteNewValues(int32_t session, const TABSBlobStore& store) {
  for (const TABSBlobStore::Field& f : store.fields) {
    if (f.new_reference.NamesStoredValue()) DeleteValue(session, f.new_reference);
  }
}

void TABSBlobManager::DeleteReplacedValues(int32_t session, const TABSBlobStore& store) {
  for (const TABSBlobStore::Field& f : store.fields) {
    if (f.replaces_old && f.old_reference.NamesStoredValue()) DeleteValue(session, f.old_reference);
  }
}

void TABSBlobManager::RestoreReferences(uint8_t* record, const TABSBlobStore& store) const noexcept {
  for (const TABSBlobFieldSlot& slot : layout_.BlobFields()) {
    for (const TABSBlobStore::Field& f : store.fields) {
      if (f.field_no == slot.field_no) f.old_reference.Store(record + slot.memory_offset);
    }
  }
}

void TABSBlobManager::ReleaseStored(uint8_t* record, const TABSBlobStore& store) noexcept {
  for (const TABSBlobStore::Field& f : store.fields) ReleaseDescriptor(record, f.field_no);
}

void TABSBlobManager::DeleteRecordBlobs(int32_t session, const uint8_t* record) {
  for (const TABSBlobFieldSlot& slot : layout_.BlobFields()) {
    if (TABSRecordLayout::IsNull(record, slot.field_no)) continue;
    const TABSBlobReference reference = TABSBlobReference::Load(record + slot.memory_offset);
    if (reference.NamesStoredValue()) DeleteValue(session, reference);
  }
}

// --- Descriptors ---

void TABSBlobManager::ReleaseDescriptor(uint8_t* record, int32_t field_no) noexcept {
  for (const TABSBlobFieldSlot& slot : layout_.BlobFields()) {
    if (slot.field_no != field_no) continue;
    uint8_t* field = record + slot.memory_offset;
    descriptors_.Release(HandleAt(field));
    SetHandle(field, TABSBlobDescriptors::kNoHandle);
  }
}

void TABSBlobManager::ReleaseDescriptors(uint8_t* record) noexcept {
  for (const TABSBlobFieldSlot& slot : layout_.BlobFields()) ReleaseDescriptor(record, slot.field_no);
}

void TABSBlobManager::CheckReleased() const {
  if (descriptors_.Count() > 0) throw EABSException(native::kBlobCacheNotReleased);
}

}  // namespace kelvorin
