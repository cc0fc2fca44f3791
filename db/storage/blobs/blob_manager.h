// TABSBlobManager: the BLOB values of a table's records, for every kind of
// table storage. It keeps the values records use in memory (descriptors,
// reached through the handle beside each BLOB reference of a memory
// record), loads a field's value for a compressed BLOB stream, takes a value
// written through one, and stores, replaces and deletes the values of a
// record when it is posted. Where values live is the storage's: the disk
// BLOB manager keeps them in BLOB pages of the database file.
//
// Posting a record is whole or nothing. StoreBlobs stores the record's new
// values first (a failure removes what it stored) and writes their
// references into the record; the values they replace stay until the
// record is safely written:
//
//   TABSBlobStore store = blobs.StoreBlobs(session, record, inserting);
//   if (!records.Insert(session, record, id) || …) {
//     blobs.DeleteNewValues(session, store);   // unless the session's pages
//     blobs.RestoreReferences(record, store);  // are rolled back instead
//     …fail
//   }
//   blobs.DeleteReplacedValues(session, store);
//   blobs.ReleaseStored(record, store);
//
// A failed post thus keeps the caller's written values, so that a retry
// stores them again. A record never shares a value: an insert stores a
// copy of every value the record names but did not write.
#pragma once

#include <cstdint>
#include <vector>

#include "db/storage/blobs/blob_descriptors.h"
#include "db/storage/blobs/blob_value.h"
#include "db/storage/records/record_layout.h"
#include "db/storage/streams/compressed_blob_settings.h"
#include "db/storage/streams/stream.h"

namespace kelvorin {

// The values one post stored, and those they replace.
struct TABSBlobStore {
  struct Field {
    int32_t field_no;
    TABSBlobReference old_reference;
    TABSBlobReference new_reference;
    // Whether the old value is the record's own (an update's), to go once
    // the record is written.
    bool replaces_old;
  };
  std::vector<Field> fields;
};

class TABSBlobManager {
 public:
  explicit TABSBlobManager(const TABSRecordLayout& layout) : layout_(layout) {}
  // Frees every descriptor left (see CheckReleased).
  virtual ~TABSBlobManager() = default;
  TABSBlobManager(const TABSBlobManager&) = delete;
  TABSBlobManager& operator=(const TABSBlobManager&) = delete;

  const TABSRecordLayout& Layout() const { return layout_; }

  // --- Reading (memory records) ---
  // Writes the field's stored bytes into `container` at its position and
  // returns the settings of a compressed BLOB stream over them (a NULL
  // field: none, an empty stream). The value is read from storage once and
  // then kept for the record. Raises "Cannot read BLOB field value" for a
  // field that names no value.
  TABSCompressedStreamSettings LoadBlob(int32_t session, uint8_t* record, int32_t field_no, TABSStream& container);
  // Appends the field's value, uncompressed, to `value` (nothing for NULL).
  void ReadValue(int32_t session, uint8_t* record, int32_t field_no, TABSStream& value);

  // --- Writing (memory records) ---
  // Takes a value written through a compressed BLOB stream: its container
  // bytes and settings become the field's written value, and the field is
  // NULL when the value is empty.
  void TakeWrittenValue(uint8_t* record, int32_t field_no, const TABSCompressedStreamSettings& settings,
                        const uint8_t* container, int64_t container_size);
  // Compresses the bytes as the field's settings say and takes them.
  void WriteValue(uint8_t* record, int32_t field_no, const void* data, int64_t size);
  // The field becomes NULL; its stored value goes when the record is posted.
  void ClearValue(uint8_t* record, int32_t field_no);

  // --- Posting (memory records) ---
  // Stores the written values of the record (and, inserting, copies of the
  // values it names without owning them), and writes their references into
  // the record. A NULL field keeps no value. A failure stores nothing.
  TABSBlobStore StoreBlobs(int32_t session, uint8_t* record, bool inserting);
  // Removes the values a store stored (undoing it).
  void DeleteNewValues(int32_t session, const TABSBlobStore& store);
  // Removes the values a store replaced (once the record is written).
  void DeleteReplacedValues(int32_t session, const TABSBlobStore& store);
  // Puts the references the record had before the store back.
  void RestoreReferences(uint8_t* record, const TABSBlobStore& store) const noexcept;
  // After a post: the stored values are no longer pending; their
  // descriptors go.
  void ReleaseStored(uint8_t* record, const TABSBlobStore& store) noexcept;
  // Removes the stored values of a record that is deleted (NULL fields
  // keep none).
  void DeleteRecordBlobs(int32_t session, const uint8_t* record);
  // Removes every value of the table.
  virtual void DeleteAll(int32_t session) = 0;

  // --- Descriptors ---
  void ReleaseDescriptor(uint8_t* record, int32_t field_no) noexcept;
  void ReleaseDescriptors(uint8_t* record) noexcept;
  int32_t DescriptorCount() const { return descriptors_.Count(); }
  // Raises "Blob cache not released" while descriptors remain.
  void CheckReleased() const;
  // Forgets the values read from storage (after a rollback of pages); the
  // written ones stay.
  void InvalidateCaches() { descriptors_.ReleaseCached(); }

 protected:
  // The storage of values. A stored value gets a reference that names it;
  // storing leaves nothing behind when it fails.
  virtual TABSBlobReference StoreValue(int32_t session, const TABSBlobValue& value) = 0;
  virtual void ReadStoredValue(int32_t session, TABSBlobReference reference, TABSBlobValue& value) = 0;
  // Writes a stored value's bytes into the stream at its position and
  // returns its header (plain values are read without a copy in between).
  virtual TABSBlobEntryHeader CopyStoredValue(int32_t session, TABSBlobReference reference, TABSStream& stream);
  virtual void DeleteValue(int32_t session, TABSBlobReference reference) = 0;

 private:
  // The descriptor that holds the field's value, read on first use; none
  // for a NULL field.
  TABSBlobDescriptor* ValueOf(int32_t session, uint8_t* record, const TABSBlobFieldSlot& slot);
  // Writes the value, uncompressed, into the stream.
  static void WriteValueOf(const TABSBlobFieldSlot& slot, const TABSBlobValue& stored, TABSStream& value);
  // The value becomes the field's written value.
  void TakeValue(uint8_t* record, const TABSBlobFieldSlot& slot, TABSBlobValue value);
  TABSBlobReference StoreField(int32_t session, uint8_t* record, const TABSBlobFieldSlot& slot, bool inserting,
                               bool* store);

  TABSRecordLayout layout_;
  TABSBlobDescriptors descriptors_;
};

}  // namespace kelvorin
