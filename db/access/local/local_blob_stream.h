// The BLOB streams of a cursor. A cursor keeps the state of every stream
// it opened (the field's value, loaded into a container and read and
// written through a compressed BLOB stream) in its stream list; the caller
// holds a TABSLocalBLOBStream, a handle naming one entry of that list.
// When the cursor detaches a record's streams (cancel, post, navigation,
// close) their entries go, and a handle left behind reads and writes
// nothing: a write stream can never reach another record.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "db/storage/streams/compressed_blob_stream.h"
#include "db/storage/streams/memory_stream.h"
#include "db/storage/streams/stream.h"

namespace kelvorin {

class TABSBlobManager;

enum class TABSBlobStreamMode : uint8_t { kRead, kWrite, kReadWrite };

class TABSBlobStreamList {
 public:
  struct Entry {
    uint32_t id = 0;
    int32_t field_no = -1;
    TABSBlobStreamMode mode = TABSBlobStreamMode::kRead;
    // The record buffer whose field the stream reads and, closed, writes.
    uint8_t* record = nullptr;
    TABSMemoryStream container;
    std::unique_ptr<TABSCompressedBLOBStream> stream;
    bool modified = false;
  };

  explicit TABSBlobStreamList(TABSBlobManager* blobs) : blobs_(blobs) {}
  TABSBlobStreamList(const TABSBlobStreamList&) = delete;
  TABSBlobStreamList& operator=(const TABSBlobStreamList&) = delete;

  Entry& Add(int32_t field_no, TABSBlobStreamMode mode, uint8_t* record);
  Entry* Find(uint32_t id);
  // An open stream of the field that reads (read or read-write mode).
  bool HasReader(int32_t field_no) const;
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }

  // Hands a written value back to its record, then drops the entry.
  void Close(uint32_t id);
  void CloseField(int32_t field_no);
  // Drops every entry without handing anything back.
  void DetachAll() { entries_.clear(); }

 private:
  void HandBack(Entry& entry);

  TABSBlobManager* blobs_;
  uint32_t next_id_ = 1;
  std::vector<std::unique_ptr<Entry>> entries_;
};

// A handle of one stream of a cursor. Reading, writing, seeking and
// resizing go to the stream while it is attached; a stream in read mode
// refuses writes and resizing. Destroying the handle closes its stream.
class TABSLocalBLOBStream : public TABSStream {
 public:
  TABSLocalBLOBStream() = default;
  TABSLocalBLOBStream(std::weak_ptr<TABSBlobStreamList> list, uint32_t id) : list_(std::move(list)), id_(id) {}
  ~TABSLocalBLOBStream() override;

  // Whether the stream is still attached to its record.
  bool Attached() const;
  // Hands a written value back to the record and detaches.
  void Close();

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TABSSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override;

 private:
  TABSBlobStreamList::Entry* Entry() const;

  std::weak_ptr<TABSBlobStreamList> list_;
  uint32_t id_ = 0;
};

}  // namespace kelvorin
