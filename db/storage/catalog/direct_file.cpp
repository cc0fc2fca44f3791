#include "db/storage/catalog/direct_file.h"

#include <algorithm>
#include <unordered_set>

#include "db/storage/catalog/catalog_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_hold.h"

namespace kelvorin {

void TABSInternalDBDirectAccessFile::CheckOpen(std::string_view operation) const {
  if (!IsOpen()) throw EABSException(native::kDirectFileClosed, {operation});
}

void TABSInternalDBDirectAccessFile::Create(int32_t size) {
  if (IsOpen()) throw EABSException(native::kDirectFileExists, {StartPage()});
  const int64_t count = InternalFilePagesFor(std::max(size, 0), manager_->DataSize());
  std::vector<int32_t> pages;
  TABSPageHold previous;
  for (int64_t i = 0; i < count; ++i) {
    TABSPageHold page = TABSPageHold::Add(*manager_, kSystemSessionId, page_type_);
    // Read and written in place on disk, so never encrypted.
    page->encrypt = false;
    page->SetNextPage(-1);
    if (previous) previous->SetNextPage(page->PageNo());
    pages.push_back(page->PageNo());
    previous = std::move(page);
  }
  TABSPageHold first = TABSPageHold::Get(*manager_, kSystemSessionId, pages.front(), page_type_);
  TABSInternalFileHeader header;
  header.stored_size = std::max(size, 0);
  header.Encode(first->Data());
  first.MarkDirty();
  pages_ = std::move(pages);
  size_ = header.stored_size;
}

void TABSInternalDBDirectAccessFile::Open(int32_t start_page) {
  const int32_t total = manager_->PageCount();
  std::vector<int32_t> pages;
  std::unordered_set<int32_t> seen;
  // Page header bytes 1..39: the first byte may be another process's lock.
  uint8_t header[kPageHeaderSize];
  for (int32_t no = start_page; no != -1;) {
    if (no < 0 || no >= total) throw EABSException(native::kDirectFileOutsideFile, {start_page, no});
    if (!seen.insert(no).second) throw EABSException(native::kInternalFileChainLoops, {start_page, no});
    manager_->ReadPartOfPage(header + 1, no, kPageHeaderSize - 1, 1);
    const uint16_t type = LoadU16(header + page_field::kPageType);
    if (type != page_type_) throw EABSException(native::kInvalidPageTypeFound20155, {type, page_type_});
    pages.push_back(no);
    no = LoadI32(header + page_field::kNextPage);
  }
  if (pages.empty()) throw EABSException(native::kDirectFileOutsideFile, {start_page, start_page});
  const int32_t size = ReadCheckedSize(start_page, static_cast<int64_t>(pages.size()));
  pages_ = std::move(pages);
  size_ = size;
}

int32_t TABSInternalDBDirectAccessFile::ReadCheckedSize(int32_t start_page, int64_t pages) {
  uint8_t bytes[kInternalFileHeaderSize];
  manager_->ReadPartOfPage(bytes, start_page, kInternalFileHeaderSize, kPageHeaderSize);
  const TABSInternalFileHeader h = TABSInternalFileHeader::Decode(bytes);
  if (h.header_size != kInternalFileHeaderSize || h.stored_size < 0 ||
      InternalFilePagesFor(h.stored_size, manager_->DataSize()) != pages) {
    throw EABSException(native::kInvalidDirectFileHeader,
                        {start_page, h.header_size, h.stored_size,
                         InternalFileCapacity(pages, manager_->DataSize())});
  }
  return h.stored_size;
}

int32_t TABSInternalDBDirectAccessFile::GetSize() {
  CheckOpen("GetSize");
  size_ = ReadCheckedSize(StartPage(), static_cast<int64_t>(pages_.size()));
  return size_;
}

std::vector<TABSInternalDBDirectAccessFile::Span> TABSInternalDBDirectAccessFile::Spans(int64_t position,
                                                                                        int64_t count) const {
  std::vector<Span> spans;
  const int32_t data_size = manager_->DataSize();
  int64_t at = position + kInternalFileHeaderSize;
  const int64_t end = at + count;
  while (at < end) {
    const int64_t index = at / data_size;
    if (index >= static_cast<int64_t>(pages_.size())) break;
    const int32_t offset = static_cast<int32_t>(at % data_size);
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(data_size - offset, end - at));
    spans.push_back({pages_[index], kPageHeaderSize + offset, n});
    at += n;
  }
  return spans;
}

int32_t TABSInternalDBDirectAccessFile::DirectReadBuffer(void* buffer, int32_t count, int32_t position) {
  CheckOpen("DirectReadBuffer");
  if (position < 0 || position > size_) {
    throw EABSException(native::kSeekBeyondFileSize20159, {size_, position});
  }
  const int64_t wanted = std::clamp<int64_t>(count, 0, int64_t{size_} - position);
  int32_t done = 0;
  for (const Span& span : Spans(position, wanted)) {
    manager_->ReadPartOfPage(static_cast<uint8_t*>(buffer) + done, span.page_no, span.count, span.offset);
    done += span.count;
  }
  return done;
}

int32_t TABSInternalDBDirectAccessFile::DirectWriteBuffer(const void* buffer, int32_t count, int32_t position) {
  CheckOpen("DirectWriteBuffer");
  if (position < 0 || count < 0 || int64_t{position} + count > size_) {
    throw EABSException(native::kWriteAfterEndOfFile20158, {size_, position, count});
  }
  int32_t done = 0;
  for (const Span& span : Spans(position, count)) {
    manager_->WritePartOfPage(static_cast<const uint8_t*>(buffer) + done, span.page_no, span.count,
                              span.offset);
    done += span.count;
  }
  return done;
}

bool TABSInternalDBDirectAccessFile::LockFile() { return IsOpen() && manager_->LockPageByte(StartPage(), 0); }
bool TABSInternalDBDirectAccessFile::LockFileWithRetry() {
  return IsOpen() && manager_->File().LockByteWithRetry(1, manager_->PageOffset(StartPage()));
}
bool TABSInternalDBDirectAccessFile::UnlockFile() {
  return IsOpen() && manager_->UnlockPageByte(StartPage(), 0);
}

bool TABSInternalDBDirectAccessFile::LockByte(int32_t position) { return LockRegion(position, 1); }
bool TABSInternalDBDirectAccessFile::UnlockByte(int32_t position) { return UnlockRegion(position, 1); }
bool TABSInternalDBDirectAccessFile::IsByteLocked(int32_t position) { return IsRegionLocked(position, 1); }

bool TABSInternalDBDirectAccessFile::LockRegion(int32_t position, int32_t count) {
  if (!IsOpen() || position < 0 || count <= 0 || int64_t{position} + count > size_) return false;
  const std::vector<Span> spans = Spans(position, count);
  for (size_t i = 0; i < spans.size(); ++i) {
    if (!manager_->File().LockByte(spans[i].count, manager_->PageOffset(spans[i].page_no) + spans[i].offset)) {
      // All or nothing: the parts already locked are given back.
      for (size_t k = 0; k < i; ++k) {
        manager_->File().UnlockByte(spans[k].count, manager_->PageOffset(spans[k].page_no) + spans[k].offset);
      }
      return false;
    }
  }
  return true;
}

bool TABSInternalDBDirectAccessFile::UnlockRegion(int32_t position, int32_t count) {
  if (!IsOpen() || position < 0 || count <= 0 || int64_t{position} + count > size_) return false;
  bool ok = true;
  for (const Span& span : Spans(position, count)) {
    ok = manager_->File().UnlockByte(span.count, manager_->PageOffset(span.page_no) + span.offset) && ok;
  }
  return ok;
}

bool TABSInternalDBDirectAccessFile::IsRegionLocked(int32_t position, int32_t count) {
  if (!IsOpen() || count <= 0 || position < 0 || int64_t{position} + count > size_) return false;
  for (const Span& span : Spans(position, count)) {
    if (manager_->IsPageRegionLocked(span.page_no, span.offset, span.count)) return true;
  }
  return false;
}

void TABSInternalDBDirectAccessFile::Delete() {
  CheckOpen("Delete");
  // The chain as it is on disk now, checked before the first page goes.
  const int32_t start = StartPage();
  Open(start);
  for (const int32_t no : pages_) manager_->RemovePage(kSystemSessionId, no);
  Close();
}

}  // namespace kelvorin
