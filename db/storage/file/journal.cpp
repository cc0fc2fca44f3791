#include "db/storage/file/journal.h"

#include <algorithm>
#include <cstring>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/crc32.h"
#include "db/storage/file/database_file_layout.h"
#include "db/storage/pages/page_errors.h"

namespace kelvorin {

namespace {

constexpr std::string_view kMagic = "KELVORINJOURNAL2";
constexpr std::string_view kDoneMagic = "KELVORINJOURDONE";
constexpr int64_t kCounterBeforeAt = 32;
constexpr int64_t kCounterAfterAt = 36;
constexpr int64_t kPrefixAt = 40;
constexpr int64_t kHeaderBytes = kPrefixAt + kJournaledPrefixSize;
constexpr int64_t kHeaderSize = kHeaderBytes + 4;
// Database header fields a commit changes lie between these two.
constexpr int64_t kTotalPagesFieldOffset = 30;
constexpr int64_t kReservedFieldOffset = 44;
constexpr int32_t kJournalWrite = 10469;
constexpr size_t kFlushThreshold = size_t{1} << 20;

// A journal file read back: its header, if it checks, and what it is to
// the database.
struct JournalImage {
  TABSJournal::State state = TABSJournal::State::kNone;
  int32_t page_size = 0;
  uint32_t salt = 0;
  int64_t file_size = 0;
  std::vector<uint8_t> header;
};

JournalImage Inspect(const platform::File& journal, TABSDatabaseFile& database) {
  JournalImage image;
  image.header.resize(kHeaderSize);
  int64_t done = 0;
  if (journal.ReadAt(image.header.data(), kHeaderSize, 0, &done) != 0 || done != kHeaderSize) return image;
  const uint8_t* h = image.header.data();
  image.page_size = static_cast<int32_t>(LoadU32(h + 16));
  if (std::memcmp(h, kDoneMagic.data(), 16) == 0) {
    image.state = TABSJournal::State::kDone;
    return image;
  }
  if (std::memcmp(h, kMagic.data(), 16) != 0 || LoadU32(h + kHeaderBytes) != AbsCrc32(h, kHeaderBytes) ||
      image.page_size < kMinPageSize || image.page_size > kMaxPageSize) {
    return image;
  }
  image.salt = LoadU32(h + 20);
  image.file_size = static_cast<int64_t>(LoadU64(h + 24));
  uint8_t prefix[kJournaledPrefixSize];
  if (!database.ReadBuffer(prefix, 0, kJournaledPrefixSize)) {
    image.state = TABSJournal::State::kForeign;
    return image;
  }
  // What no commit changes must be the same: signature, version, page size,
  // pages per extent and the encryption and reserved headers (the random
  // check block of an encrypted file tells files apart).
  const uint8_t* recorded = h + kPrefixAt;
  const bool same_file = std::memcmp(prefix, recorded, kTotalPagesFieldOffset) == 0 &&
                         std::memcmp(prefix + kReservedFieldOffset, recorded + kReservedFieldOffset,
                                     kJournaledPrefixSize - kReservedFieldOffset) == 0 &&
                         LoadU16(prefix + 26) == image.page_size;
  const int32_t counter = LoadI32(prefix + kCommitCounterFieldOffset);
  // Before: the commit had not written its header yet. After: it had, but
  // pages of the same batch may not have reached the disk.
  const bool applicable =
      same_file && (counter == LoadI32(h + kCounterBeforeAt) || counter == LoadI32(h + kCounterAfterAt));
  image.state = applicable ? TABSJournal::State::kApplicable : TABSJournal::State::kForeign;
  return image;
}

}  // namespace

void TABSJournal::Raise(const char* what, int error) const {
  throw EABSException(page_errors::kCreateFile, "Cannot create file: '%s' Error code: %d. ErrorMessage: %s",
                      {path_, error, std::string(what) + ": " + platform::ErrorText(error)});
}

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
  StoreI32(h + kCounterBeforeAt, commit_counter);
  StoreI32(h + kCounterAfterAt, static_cast<int32_t>(static_cast<uint32_t>(commit_counter) + 1));
  std::memcpy(h + kPrefixAt, prefix, kJournaledPrefixSize);
  StoreU32(h + kHeaderBytes, AbsCrc32(h, kHeaderBytes));
  file_.Close();
  created_ = !platform::FileExists(path_);
  if (const int error = file_.Open(path_, platform::Access::kReadWrite, created_)) Raise("open", error);
}

bool TABSJournal::Contains(int32_t page_no) const {
  return std::binary_search(pages_.begin(), pages_.end(), page_no);
}

void TABSJournal::AddPage(int32_t page_no, const uint8_t* page) {
  const auto it = std::lower_bound(pages_.begin(), pages_.end(), page_no);
  if (it != pages_.end() && *it == page_no) return;
  pages_.insert(it, page_no);
  // Appended piece by piece: the buffer keeps its capacity from commit to
  // commit, and nothing is zeroed only to be overwritten.
  const size_t at = pending_.size();
  uint8_t field[4];
  StoreI32(field, page_no);
  pending_.insert(pending_.end(), field, field + 4);
  pending_.insert(pending_.end(), page, page + page_size_);
  StoreU32(field, AbsCrc32(pending_.data() + at, 4 + static_cast<size_t>(page_size_), salt_));
  pending_.insert(pending_.end(), field, field + 4);
  if (pending_.size() >= kFlushThreshold) Flush();
}

void TABSJournal::Flush() {
  if (pending_.empty()) return;
  if (const int error = file_.WriteAt(pending_.data(), static_cast<int64_t>(pending_.size()), written_)) {
    Raise("write", error);
  }
  written_ += static_cast<int64_t>(pending_.size());
  pending_.clear();
}

void TABSJournal::Sync() {
  Flush();
  if (const int error = file_.Sync()) Raise("sync", error);
  if (created_) {
    if (const int error = platform::SyncDirectoryOf(path_)) Raise("directory sync", error);
    created_ = false;
  }
}

void TABSJournal::Finish() {
  // Only the magic changes: a failure still leaves the records for
  // RollBackInto.
  marked_done_ = true;
  if (const int error = file_.WriteAt(kDoneMagic.data(), 16, 0)) Raise("write", error);
  if (const int error = file_.Sync()) Raise("sync", error);
  Close();
}

void TABSJournal::Discard() noexcept {
  if (file_.IsOpen() && written_ > 0) {
    const uint8_t zeros[16] = {};
    file_.WriteAt(zeros, sizeof zeros, 0);
  }
  Close();
}

void TABSJournal::Close() noexcept {
  file_.Close();
  marked_done_ = false;
  pages_.clear();
  pending_.clear();
  written_ = 0;
}

void TABSJournal::RollBackInto(TABSDatabaseFile& database) {
  Flush();
  if (marked_done_) {
    // The journal must be valid again before the file changes back.
    if (const int error = file_.WriteAt(kMagic.data(), 16, 0)) Raise("write", error);
    if (const int error = file_.Sync()) Raise("sync", error);
    marked_done_ = false;
  }
  std::vector<uint8_t> header(kHeaderSize);
  std::vector<uint8_t> record(4 + page_size_ + 4);
  int64_t done = 0;
  auto read = [&](std::vector<uint8_t>& into, int64_t at) {
    const int error = file_.ReadAt(into.data(), static_cast<int64_t>(into.size()), at, &done);
    if (error != 0 || done != static_cast<int64_t>(into.size())) Raise("read", error != 0 ? error : 5);
  };
  read(header, 0);
  for (int64_t at = kHeaderSize; at < written_; at += static_cast<int64_t>(record.size())) {
    read(record, at);
    const int32_t page_no = LoadI32(record.data());
    database.WriteBuffer(record.data() + 4, kJournalWrite,
                         kPageAreaOffset + int64_t{page_no} * page_size_, page_size_);
  }
  database.WriteBuffer(header.data() + kPrefixAt, kJournalWrite, 0, kJournaledPrefixSize);
  database.SetSize(static_cast<int64_t>(LoadU64(header.data() + 24)));
  database.FlushFileBuffers();
  Discard();
}

bool TABSJournal::Recover(TABSDatabaseFile& database) {
  const std::string path = PathFor(database.FileName());
  if (!platform::FileExists(path)) return false;
  platform::File journal;
  if (journal.Open(path, platform::Access::kRead, false) != 0) return false;
  const JournalImage image = Inspect(journal, database);
  if (image.state != State::kApplicable) return false;
  if (database.IsReadOnly()) {
    throw EABSException(page_errors::kOpenFile, "Cannot open file:'%s' Error code: %d. ErrorMessage: %s",
                        {database.FileName(), 30,
                         "an interrupted commit must first be rolled back by a writable open"});
  }
  const int32_t total = std::max(0, LoadI32(image.header.data() + kPrefixAt + kTotalPagesFieldOffset));
  std::vector<uint8_t> record(4 + image.page_size + 4);
  for (int64_t at = kHeaderSize;; at += static_cast<int64_t>(record.size())) {
    int64_t done = 0;
    if (journal.ReadAt(record.data(), static_cast<int64_t>(record.size()), at, &done) != 0 ||
        done != static_cast<int64_t>(record.size()) ||
        LoadU32(record.data() + 4 + image.page_size) != AbsCrc32(record.data(), 4 + image.page_size, image.salt)) {
      break;
    }
    // A commit journals only pages below the total it started from.
    const int32_t page_no = LoadI32(record.data());
    if (page_no < 0 || page_no >= total) break;
    database.WriteBuffer(record.data() + 4, kJournalWrite,
                         kPageAreaOffset + int64_t{page_no} * image.page_size, image.page_size);
  }
  database.WriteBuffer(image.header.data() + kPrefixAt, kJournalWrite, 0, kJournaledPrefixSize);
  // Never beyond the recorded total, whatever size the journal states:
  // opening shortens a file longer than its total anyway.
  database.SetSize(std::clamp<int64_t>(image.file_size, kPageAreaOffset,
                                       kPageAreaOffset + int64_t{total} * image.page_size));
  database.FlushFileBuffers();
  journal.Close();
  // The file holds its state from before the interrupted commit again, and
  // that is durable: the journal has served.
  if (const int error = platform::RemoveFile(path)) {
    throw EABSException(page_errors::kOpenFile, "Cannot open file:'%s' Error code: %d. ErrorMessage: %s",
                        {path, error, platform::ErrorText(error)});
  }
  platform::SyncDirectoryOf(path);
  return true;
}

TABSJournal::State TABSJournal::Examine(TABSDatabaseFile& database) {
  platform::File journal;
  if (journal.Open(PathFor(database.FileName()), platform::Access::kRead, false) != 0) return State::kNone;
  return Inspect(journal, database).state;
}

void TABSJournal::RemoveIfStale(TABSDatabaseFile& database) {
  const std::string path = PathFor(database.FileName());
  if (!platform::FileExists(path)) return;
  const State state = Examine(database);
  if (state != State::kNone && state != State::kDone) return;
  if (platform::RemoveFile(path) == 0) platform::SyncDirectoryOf(path);
}

}  // namespace kelvorin
