#include "db/access/local/local_blob_stream.h"

#include <algorithm>

#include "db/access/local/access_errors.h"
#include "db/storage/blobs/blob_manager.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {

// --- The list ---

TABSBlobStreamList::Entry& TABSBlobStreamList::Add(int32_t field_no, TABSBlobStreamMode mode, uint8_t* record) {
  auto entry = std::make_unique<Entry>();
  entry->id = next_id_++;
  entry->field_no = field_no;
  entry->mode = mode;
  entry->record = record;
  entries_.push_back(std::move(entry));
  return *entries_.back();
}

TABSBlobStreamList::Entry* TABSBlobStreamList::Find(uint32_t id) {
  const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const auto& e) { return e->id == id; });
  return it == entries_.end() ? nullptr : it->get();
}

bool TABSBlobStreamList::HasReader(int32_t field_no) const {
  return std::any_of(entries_.begin(), entries_.end(), [&](const auto& e) {
    return e->field_no == field_no && e->mode != TABSBlobStreamMode::kWrite;
  });
}

void TABSBlobStreamList::HandBack(Entry& entry) {
  if (entry.mode == TABSBlobStreamMode::kRead || !entry.modified) return;
  const TABSCompressedStreamSettings settings = entry.stream->Settings();
  const int64_t start = settings.start_position;
  blobs_->TakeWrittenValue(entry.record, entry.field_no, settings, entry.container.Memory() + start,
                           entry.container.Size() - start);
}

void TABSBlobStreamList::Close(uint32_t id) {
  const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const auto& e) { return e->id == id; });
  if (it == entries_.end()) return;
  // The entry goes even when its value cannot be taken.
  const std::unique_ptr<Entry> entry = std::move(*it);
  entries_.erase(it);
  HandBack(*entry);
}

void TABSBlobStreamList::CloseField(int32_t field_no) {
  std::vector<uint32_t> ids;
  for (const auto& entry : entries_) {
    if (entry->field_no == field_no) ids.push_back(entry->id);
  }
  std::exception_ptr failure;
  for (const uint32_t id : ids) {
    try {
      Close(id);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

// --- The handle ---

TABSLocalBLOBStream::~TABSLocalBLOBStream() {
  try {
    Close();
  } catch (...) {
    // A value that cannot be handed back leaves the field as it was.
  }
}

TABSBlobStreamList::Entry* TABSLocalBLOBStream::Entry() const {
  const std::shared_ptr<TABSBlobStreamList> list = list_.lock();
  return list ? list->Find(id_) : nullptr;
}

bool TABSLocalBLOBStream::Attached() const { return Entry() != nullptr; }

void TABSLocalBLOBStream::Close() {
  if (const std::shared_ptr<TABSBlobStreamList> list = list_.lock()) list->Close(id_);
  list_.reset();
}

int64_t TABSLocalBLOBStream::Read(void* buffer, int64_t count) {
  TABSBlobStreamList::Entry* entry = Entry();
  return entry != nullptr ? entry->stream->Read(buffer, count) : 0;
}

int64_t TABSLocalBLOBStream::Write(const void* buffer, int64_t count) {
  TABSBlobStreamList::Entry* entry = Entry();
  if (entry == nullptr) return 0;
  if (entry->mode == TABSBlobStreamMode::kRead) throw EABSException(native::kReadOnlyStreamWrite);
  const int64_t written = entry->stream->Write(buffer, count);
  if (written > 0) entry->modified = true;
  return written;
}

int64_t TABSLocalBLOBStream::Seek(int64_t offset, TABSSeekOrigin origin) {
  TABSBlobStreamList::Entry* entry = Entry();
  return entry != nullptr ? entry->stream->Seek(offset, origin) : 0;
}

void TABSLocalBLOBStream::SetSize(int64_t size) {
  TABSBlobStreamList::Entry* entry = Entry();
  if (entry == nullptr) return;
  if (entry->mode == TABSBlobStreamMode::kRead) throw EABSException(native::kReadOnlyStreamSize);
  entry->stream->SetSize(size);
  entry->modified = true;
}

int64_t TABSLocalBLOBStream::Size() {
  TABSBlobStreamList::Entry* entry = Entry();
  return entry != nullptr ? entry->stream->Size() : 0;
}

}  // namespace kelvorin
