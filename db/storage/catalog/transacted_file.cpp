#include "db/storage/catalog/transacted_file.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "db/storage/catalog/catalog_errors.h"
#include "db/storage/compression/compression.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_hold.h"

namespace kelvorin {
namespace {

// Deflate never expands data more than 1032 times; a header claiming more
// is damage, refused before anything is allocated for it.
constexpr int64_t kZlibMaxExpansion = 1032;
constexpr int64_t kZlibExpansionSlack = 64;

bool IsStoredAlgorithm(uint8_t algorithm) {
  return algorithm == static_cast<uint8_t>(TABSCompressionAlgorithm::kNone) ||
         algorithm == static_cast<uint8_t>(TABSCompressionAlgorithm::kZlib);
}

}  // namespace

void TABSInternalDBTransactedAccessFile::CheckOpen(std::string_view operation) const {
  if (!IsOpen()) throw EABSException(native::kTransactedFileClosed, {operation});
}

TABSInternalFileHeader TABSInternalDBTransactedAccessFile::CheckedHeader(const uint8_t* data) const {
  const TABSInternalFileHeader h = TABSInternalFileHeader::Decode(data);
  bool valid = h.header_size == kInternalFileHeaderSize && h.stored_size >= 0 && h.uncompressed_size >= 0 &&
               IsStoredAlgorithm(h.algorithm);
  if (valid && h.algorithm == 0) valid = h.uncompressed_size == h.stored_size;
  if (valid && h.algorithm != 0) {
    valid = h.stored_size > 0 &&
            h.uncompressed_size <= int64_t{h.stored_size} * kZlibMaxExpansion + kZlibExpansionSlack;
  }
  if (!valid) {
    throw EABSException(native::kInvalidInternalFileHeader,
                        {start_page_, h.header_size, h.stored_size, h.uncompressed_size, h.algorithm});
  }
  return h;
}

void TABSInternalDBTransactedAccessFile::Create(int32_t session) {
  if (IsOpen()) throw EABSException(native::kTransactedFileExists, {start_page_});
  TABSPageHold page = TABSPageHold::Add(*manager_, session, page_type_);
  TABSInternalFileHeader().Encode(page->Data());
  page.MarkDirty();
  start_page_ = page->PageNo();
}

TABSInternalFileHeader TABSInternalDBTransactedAccessFile::GetSize(int32_t session) {
  CheckOpen("GetSize");
  TABSPageHold page = TABSPageHold::Get(*manager_, session, start_page_, page_type_);
  return CheckedHeader(page->Data());
}

std::vector<int32_t> TABSInternalDBTransactedAccessFile::WalkChain(int32_t session, int32_t stored_size) {
  std::vector<int32_t> pages;
  std::unordered_set<int32_t> seen;
  for (int32_t no = start_page_; no != -1;) {
    if (!seen.insert(no).second) throw EABSException(native::kInternalFileChainLoops, {start_page_, no});
    pages.push_back(no);
    TABSPageHold page = TABSPageHold::Get(*manager_, session, no, page_type_);
    no = page->NextPage();
  }
  if (static_cast<int64_t>(pages.size()) != InternalFilePagesFor(stored_size, manager_->DataSize())) {
    throw EABSException(native::kInternalFileChainLength,
                        {start_page_, stored_size, static_cast<int64_t>(pages.size())});
  }
  return pages;
}

std::vector<int32_t> TABSInternalDBTransactedAccessFile::ChainPages(int32_t session) {
  return WalkChain(session, GetSize(session).stored_size);
}

int64_t TABSInternalDBTransactedAccessFile::ReadStored(int32_t session, uint8_t* out, int64_t count) {
  const int32_t data_size = manager_->DataSize();
  std::unordered_set<int32_t> seen;
  int64_t done = 0;
  int32_t offset = kInternalFileHeaderSize;
  for (int32_t no = start_page_; no != -1 && done < count;) {
    if (!seen.insert(no).second) throw EABSException(native::kInternalFileChainLoops, {start_page_, no});
    TABSPageHold page = TABSPageHold::Get(*manager_, session, no, page_type_);
    const int64_t n = std::min<int64_t>(data_size - offset, count - done);
    if (out != nullptr) std::memcpy(out + done, page->Data() + offset, static_cast<size_t>(n));
    done += n;
    offset = 0;
    no = page->NextPage();
  }
  return done;
}

void TABSInternalDBTransactedAccessFile::ReadFile(int32_t session, void* buffer, int32_t count) {
  CheckOpen("ReadFile");
  const TABSInternalFileHeader h = GetSize(session);
  if (count < 0 || h.uncompressed_size < count) {
    throw EABSException(native::kCannotReadInternalFile30387, {h.uncompressed_size, count});
  }
  auto short_read = [&](int64_t read, int64_t wanted) {
    return EABSException(native::kCannotReadBytesInternalFile30388, {h.stored_size, read, wanted});
  };
  if (h.algorithm == 0) {
    const int64_t read = ReadStored(session, static_cast<uint8_t*>(buffer), count);
    if (read < count) throw short_read(read, count);
    return;
  }
  // The chain must hold the stored bytes before a buffer is sized by them.
  if (const int64_t held = ReadStored(session, nullptr, h.stored_size); held < h.stored_size) {
    throw short_read(held, h.stored_size);
  }
  TABSMemoryBlock stored(h.stored_size);
  ReadStored(session, stored.bytes(), h.stored_size);
  TABSMemoryBlock plain;
  int64_t produced = 0;
  if (!DecompressBuffer(h.algorithm, stored.bytes(), h.stored_size, h.uncompressed_size, &plain, &produced) ||
      produced != h.uncompressed_size) {
    throw EABSException(native::kTableFileDecompressionError20189);
  }
  if (count > 0) std::memcpy(buffer, plain.bytes(), static_cast<size_t>(count));
}

TABSMemoryBlock TABSInternalDBTransactedAccessFile::ReadAll(int32_t session, int32_t* size) {
  CheckOpen("ReadFile");
  const TABSInternalFileHeader h = GetSize(session);
  *size = h.uncompressed_size;
  TABSMemoryBlock content;
  if (h.uncompressed_size == 0) return content;
  if (const int64_t held = ReadStored(session, nullptr, h.stored_size); held < h.stored_size) {
    throw EABSException(native::kCannotReadBytesInternalFile30388, {h.stored_size, held, h.stored_size});
  }
  content.Allocate(h.uncompressed_size);
  ReadFile(session, content.bytes(), h.uncompressed_size);
  return content;
}

void TABSInternalDBTransactedAccessFile::SetSize(int32_t session, int32_t stored_size, uint8_t algorithm,
                                                 int32_t uncompressed_size) {
  CheckOpen("SetSize");
  const std::vector<int32_t> chain = ChainPages(session);
  const int32_t data_size = manager_->DataSize();
  const int64_t needed = InternalFilePagesFor(std::max(stored_size, 0), data_size);
  const int64_t have = static_cast<int64_t>(chain.size());
  if (needed < have) {
    TABSPageHold last = TABSPageHold::Get(*manager_, session, chain[needed - 1], page_type_);
    last->SetNextPage(-1);
    last.MarkDirty();
    for (int64_t i = needed; i < have; ++i) manager_->RemovePage(session, chain[i]);
  } else {
    TABSPageHold last = TABSPageHold::Get(*manager_, session, chain.back(), page_type_);
    for (int64_t i = have; i < needed; ++i) {
      TABSPageHold added = TABSPageHold::Add(*manager_, session, page_type_);
      added->SetNextPage(-1);
      last->SetNextPage(added->PageNo());
      last.MarkDirty();
      last = std::move(added);
      last.MarkDirty();
    }
  }
  TABSPageHold first = TABSPageHold::Get(*manager_, session, start_page_, page_type_);
  TABSInternalFileHeader h;
  h.stored_size = stored_size;
  h.uncompressed_size = uncompressed_size;
  h.algorithm = algorithm;
  h.Encode(first->Data());
  first.MarkDirty();
}

void TABSInternalDBTransactedAccessFile::WriteFile(int32_t session, const void* data, int32_t size,
                                                   uint8_t algorithm, int level) {
  CheckOpen("WriteFile");
  if (size <= 0) algorithm = 0;
  const uint8_t* stored = static_cast<const uint8_t*>(data);
  int64_t stored_size = std::max(size, 0);
  TABSMemoryBlock compressed;
  if (algorithm != 0) {
    if (!IsStoredAlgorithm(algorithm) ||
        !CompressBuffer(algorithm, level, data, size, &compressed, &stored_size) || stored_size > INT32_MAX) {
      throw EABSException(native::kTableFileCompressionError20187);
    }
    stored = compressed.bytes();
  }
  SetSize(session, static_cast<int32_t>(stored_size), algorithm, std::max(size, 0));
  const int32_t data_size = manager_->DataSize();
  int64_t done = 0;
  int32_t offset = kInternalFileHeaderSize;
  for (int32_t no = start_page_; no != -1 && done < stored_size;) {
    TABSPageHold page = TABSPageHold::Get(*manager_, session, no, page_type_);
    const int64_t n = std::min<int64_t>(data_size - offset, stored_size - done);
    std::memcpy(page->Data() + offset, stored + done, static_cast<size_t>(n));
    page.MarkDirty();
    done += n;
    offset = 0;
    no = page->NextPage();
  }
}

void TABSInternalDBTransactedAccessFile::Delete(int32_t session) {
  CheckOpen("Delete");
  // The whole chain is checked before the first page is given up.
  for (const int32_t no : ChainPages(session)) manager_->RemovePage(session, no);
  Close();
}

}  // namespace kelvorin
