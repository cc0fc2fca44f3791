#include "db/storage/journal.h"

#include <algorithm>
#include <cstring>

#include "db/storage/abs_exception.h"
#include "db/storage/crc32.h"
#include "db/storage/database_file_layout.h"
#include "db/storage/page_errors.h"

namespace kelvorin {

namespace {

constexpr std::string_view kMagic = "KELVORINJOURNAL1";
constexpr int64_t kHeaderBytes = 16 + 4 + 4 + 8 + 4 + kJournaledPrefixSize;
constexpr int64_t kHeaderSize = kHeaderBytes + 4;
constexpr int32_t kJournalWrite = 10469;
constexpr int32_t kJournalRead = 10464;
constexpr size_t kFlushThreshold = size_t{1} << 20;

void RaiseJournal(const std::string& path, const char* what, int error) {
  throw EABSException(page_errors::kCreateFile,
                      "Cannot create file: '%s' Error code: %d. ErrorMessage: %s",
                      {path, error, std::string(what)});
}

}  // namespace

void TABSJournal::Begin(const std::string& database, int32_t page_size, uint32_t salt,
                        int64_t file_size, int32_t commit_counter, const uint8_t* prefix) {
  path_ = PathFor(database);
  page_size_ = page_size;
  salt_ = salt;
  written_ = 0;
  pages_.clear();
  pending_.assign(kHeaderSize, 0);
  uint8_t* h = pending_.data();
  std::memcpy(h, kMagic.data(), 16);
  StoreU32(h + 16, static_cast<uint32_t>(page_size));
  StoreU32(h + 20, salt);
  StoreU64(h + 24, static_cast<uint64_t>(file_size));
  StoreI32(h + 32, commit_counter);
  std::memcpy(h + 36, prefix, kJournaledPrefixSize);
  StoreU32(h + kHeaderBytes, AbsCrc32(h, kHeaderBytes));
  platform::RemoveFile(path_);
  file_.CreateFile(path_);
}

bool TABSJournal::Contains(int32_t page_no) const {
  return std::binary_search(pages_.begin(), pages_.end(), page_no);
}

void TABSJournal::AddPage(int32_t page_no, const uint8_t* page) {
  const auto it = std::lower_bound(pages_.begin(), pages_.end(), page_no);
  if (it != pages_.end() && *it == page_no) return;
  pages_.insert(it, page_no);
  const size_t at = pending_.size();
  pending_.resize(at + 4 + page_size_ + 4);
  uint8_t* r = pending_.data() + at;
  StoreI32(r, page_no);
  std::memcpy(r + 4, page, page_size_);
  StoreU32(r + 4 + page_size_, AbsCrc32(r, 4 + page_size_, salt_));
  if (pending_.size() >= kFlushThreshold) Flush();
}

void TABSJournal::Flush() {
  if (pending_.empty()) return;
  file_.WriteBuffer(pending_.data(), kJournalWrite, written_, static_cast<int64_t>(pending_.size()));
  written_ += static_cast<int64_t>(pending_.size());
  pending_.clear();
}

void TABSJournal::Sync() {
  Flush();
  file_.FlushFileBuffers();
  if (const int error = platform::SyncDirectoryOf(path_)) RaiseJournal(path_, "directory sync", error);
}

void TABSJournal::Remove() {
  if (file_.IsOpened()) file_.CloseFile();
  if (const int error = platform::RemoveFile(path_)) RaiseJournal(path_, "remove", error);
  if (const int error = platform::SyncDirectoryOf(path_)) RaiseJournal(path_, "directory sync", error);
  pages_.clear();
  pending_.clear();
}

void TABSJournal::Close() noexcept {
  try {
    if (file_.IsOpened()) file_.CloseFile();
  } catch (const EABSException&) {
  }
  pages_.clear();
  pending_.clear();
}

void TABSJournal::RollBackInto(TABSDatabaseFile& database) {
  Flush();
  std::vector<uint8_t> record(4 + page_size_ + 4);
  std::vector<uint8_t> header(kHeaderSize);
  file_.ReadBufferOrRaise(header.data(), kJournalRead, 0, kHeaderSize);
  for (int64_t at = kHeaderSize; at < written_; at += static_cast<int64_t>(record.size())) {
    file_.ReadBufferOrRaise(record.data(), kJournalRead, at, static_cast<int64_t>(record.size()));
    const int32_t page_no = LoadI32(record.data());
    database.WriteBuffer(record.data() + 4, kJournalWrite,
                         kPageAreaOffset + int64_t{page_no} * page_size_, page_size_);
  }
  database.WriteBuffer(header.data() + 36, kJournalWrite, 0, kJournaledPrefixSize);
  database.SetSize(static_cast<int64_t>(LoadU64(header.data() + 24)));
  database.FlushFileBuffers();
}

bool TABSJournal::Recover(TABSDatabaseFile& database) {
  const std::string path = PathFor(database.FileName());
  if (!platform::FileExists(path)) return false;
  if (database.IsReadOnly()) {
    throw EABSException(page_errors::kOpenFile, "Cannot open file:'%s' Error code: %d. ErrorMessage: %s",
                        {database.FileName(), 30,
                         "an interrupted commit must first be rolled back by a writable open"});
  }
  TABSDatabaseFile journal;
  journal.OpenFile(path, TABSDatabaseFile::amRead, TABSDatabaseFile::smDenyNone);
  const int64_t size = journal.GetSize();
  std::vector<uint8_t> header(kHeaderSize);
  uint8_t counter[4];
  bool applies = size >= kHeaderSize && journal.ReadBuffer(header.data(), 0, kHeaderSize) &&
                 std::memcmp(header.data(), kMagic.data(), 16) == 0 &&
                 LoadU32(header.data() + kHeaderBytes) == AbsCrc32(header.data(), kHeaderBytes) &&
                 LoadU32(header.data() + 16) >= kMinPageSize && LoadU32(header.data() + 16) <= kMaxPageSize &&
                 database.ReadBuffer(counter, 38, 4) &&
                 LoadI32(counter) == LoadI32(header.data() + 32);
  // A journal that does not check was never synced, so the commit it
  // belonged to had not touched the file; one with another counter is stale.
  if (applies) {
    const int32_t page_size = static_cast<int32_t>(LoadU32(header.data() + 16));
    const uint32_t salt = LoadU32(header.data() + 20);
    std::vector<uint8_t> record(4 + page_size + 4);
    for (int64_t at = kHeaderSize; at + static_cast<int64_t>(record.size()) <= size;
         at += static_cast<int64_t>(record.size())) {
      if (!journal.ReadBuffer(record.data(), at, static_cast<int64_t>(record.size()))) break;
      if (LoadU32(record.data() + 4 + page_size) != AbsCrc32(record.data(), 4 + page_size, salt)) break;
      const int32_t page_no = LoadI32(record.data());
      if (page_no < 0) break;
      database.WriteBuffer(record.data() + 4, kJournalWrite,
                           kPageAreaOffset + int64_t{page_no} * page_size, page_size);
    }
    database.WriteBuffer(header.data() + 36, kJournalWrite, 0, kJournaledPrefixSize);
    database.SetSize(static_cast<int64_t>(LoadU64(header.data() + 24)));
    database.FlushFileBuffers();
  }
  journal.CloseFile();
  if (const int error = platform::RemoveFile(path)) RaiseJournal(path, "remove", error);
  platform::SyncDirectoryOf(path);
  return true;
}

}  // namespace kelvorin
