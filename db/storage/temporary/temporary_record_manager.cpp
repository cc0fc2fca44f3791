#include "db/storage/temporary/temporary_record_manager.h"

#include <algorithm>
#include <cstring>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/temporary/sequence_navigation.h"
#include "db/storage/temporary/temporary_errors.h"

namespace kelvorin {

TABSTemporaryRecordManager::TABSTemporaryRecordManager(const TABSRecordLayout& layout)
    : layout_(layout),
      record_size_(layout.StoredSize()),
      buffer_records_(static_cast<int32_t>(
          std::max<int64_t>(kMinBufferRecords, kBufferBytes / std::max(layout.StoredSize(), 1)))),
      memory_(layout.StoredSize()) {
  if (record_size_ <= 0) throw EABSException(native::kInvalidRecordSize10124);
}

int64_t TABSTemporaryRecordManager::MemoryRecordCount() const {
  return Spilled() ? std::min(RecordCount(), memory_limit_) : RecordCount();
}

// --- Appending ---

bool TABSTemporaryRecordManager::MakeRoomInMemory(int64_t number) {
  if (InMemory(number)) return true;
  if (Spilled()) return false;
  const int64_t bytes = memory_.GrowthBytes(forced_limit_);
  if (bytes <= 0 || !budget_.TryGrow(bytes)) return false;
  try {
    memory_.Grow(forced_limit_);
  } catch (const EABSException&) {
    // Memory the memory manager refuses goes to the file like memory the
    // budget refuses.
    budget_.Shrink(bytes);
    return false;
  }
  return InMemory(number);
}

void TABSTemporaryRecordManager::StartSpilling() {
  auto file = std::make_unique<TABSFileStream>(TABSFileStream::Temporary{});
  TABSMemoryBlock write_buffer(int64_t{buffer_records_} * record_size_);
  TABSMemoryBlock read_buffer(int64_t{buffer_records_} * record_size_);
  file_ = std::move(file);
  write_buffer_ = std::move(write_buffer);
  read_buffer_ = std::move(read_buffer);
  memory_limit_ = memory_.Capacity();
  buffered_ = 0;
  read_count_ = 0;
}

void TABSTemporaryRecordManager::FlushWriteBuffer() {
  if (buffered_ == 0) return;
  if (buffered_ > buffer_records_) throw EABSException(native::kInvalidRecordCount10126, {buffered_, buffer_records_});
  const int64_t offset = (RecordCount() - buffered_ - memory_limit_) * record_size_;
  if (file_->Seek(offset, TABSSeekOrigin::kBeginning) != offset) {
    throw EABSException(native::kCannotSetStreamPosition10128, {offset, file_->Position(), file_->Size()});
  }
  const int64_t size = int64_t{buffered_} * record_size_;
  if (file_->Write(write_buffer_.data(), size) != size) throw EABSException(native::kErrorWritingToStream10125);
  buffered_ = 0;
}

bool TABSTemporaryRecordManager::Insert(int32_t, const uint8_t* record, TABSRecordId& id) {
  const int64_t number = RecordCount();
  if (number >= kMaxSequenceNumber) return false;
  if (MakeRoomInMemory(number)) {
    layout_.ToStored(record, memory_.At(number));
  } else {
    if (!Spilled()) StartSpilling();
    if (buffered_ == buffer_records_) FlushWriteBuffer();
    layout_.ToStored(record, write_buffer_.bytes() + int64_t{buffered_} * record_size_);
    ++buffered_;
  }
  id = SequenceRecordId(number);
  CountInsert();
  return true;
}

void TABSTemporaryRecordManager::Empty(int32_t) {
  memory_.Clear();
  budget_.ReleaseAll();
  file_.reset();
  write_buffer_.Free();
  read_buffer_.Free();
  buffered_ = 0;
  read_count_ = 0;
  memory_limit_ = 0;
  CountEmptied();
  KeepChanges();
}

// --- Reading ---

const uint8_t* TABSTemporaryRecordManager::ReadFromFile(int64_t number) {
  if (number < read_first_ || number >= read_first_ + read_count_) {
    const int64_t first = memory_limit_ + (number - memory_limit_) / buffer_records_ * buffer_records_;
    const int64_t count = std::min<int64_t>(buffer_records_, memory_limit_ + FileRecordCount() - first);
    const int64_t offset = (first - memory_limit_) * record_size_;
    read_count_ = 0;
    if (file_->Seek(offset, TABSSeekOrigin::kBeginning) != offset) {
      throw EABSException(native::kCannotSetStreamPosition10129, {offset, file_->Position(), file_->Size()});
    }
    const int64_t size = count * record_size_;
    const int64_t read = file_->Read(read_buffer_.data(), size);
    if (read != size) {
      throw EABSException(native::kCannotReadFromStream10130, {offset, file_->Size(), size, read});
    }
    read_first_ = first;
    read_count_ = count;
  }
  return read_buffer_.bytes() + (number - read_first_) * record_size_;
}

const uint8_t* TABSTemporaryRecordManager::StoredRecord(int64_t number) {
  if (InMemory(number)) return memory_.At(number);
  const int64_t first_buffered = RecordCount() - buffered_;
  if (number >= first_buffered) return write_buffer_.bytes() + (number - first_buffered) * record_size_;
  return ReadFromFile(number);
}

void TABSTemporaryRecordManager::Navigate(int32_t, TABSNavigateRequest& request) {
  const int64_t count = RecordCount();
  int64_t number = SequenceNumber(request.record_id);
  if (!sequence_navigation::SettleEdges(request, count, 0, count - 1, number)) {
    if (request.direction == TABSNavigateDirection::kNext) {
      if (number >= count - 1) request.status = TABSNavigateStatus::kAfterLast;
      number = std::max<int64_t>(number + 1, 0);
    } else if (request.direction == TABSNavigateDirection::kPrior) {
      if (number <= 0) request.status = TABSNavigateStatus::kBeforeFirst;
      number = std::min(number - 1, count - 1);
    } else if (number < 0 || number >= count) {
      request.status = TABSNavigateStatus::kNotFound;
    }
  }
  if (request.status != TABSNavigateStatus::kFound) return;
  sequence_navigation::Reach(request, number, layout_, native::kErrorRetrievingRecord10127,
                             [this](int64_t n) { return StoredRecord(n); });
}

int64_t TABSTemporaryRecordManager::EstimatedPosition(int32_t, TABSRecordId id) {
  const int64_t number = SequenceNumber(id);
  return number >= 0 && number < RecordCount() ? number + 1 : -1;
}

// --- The journal ---

void TABSTemporaryRecordManager::KeepChanges() noexcept {
  kept_count_ = RecordCount();
  kept_counter_ = ChangeCounter();
}

void TABSTemporaryRecordManager::UndoChanges() noexcept {
  const int64_t count = RecordCount();
  if (count > kept_count_ && buffered_ > 0) {
    const int64_t first_buffered = count - buffered_;
    buffered_ = static_cast<int32_t>(std::max<int64_t>(0, kept_count_ - first_buffered));
  }
  // Records past the kept count that reached the file are overwritten by
  // the next appends; the read buffer may hold them.
  read_count_ = 0;
  SetCounters(std::min(count, kept_count_), kept_counter_);
}

}  // namespace kelvorin
