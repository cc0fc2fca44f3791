#include "db/storage/pages/disk_page_manager.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/crc32.h"
#include "db/storage/pages/page_errors.h"

namespace kelvorin {

using namespace page_errors;

namespace {

constexpr uint8_t kPlainPageCipher = 0xFF;  // page data stored unencrypted
// Most pages read at once for the journal's old images.
constexpr int32_t kOldImageRunPages = 32;

class HeaderLockGuard {
 public:
  explicit HeaderLockGuard(TABSDiskPageManager& manager) : manager_(manager) {}
  ~HeaderLockGuard() { manager_.UnlockHeader(); }
  HeaderLockGuard(const HeaderLockGuard&) = delete;
  HeaderLockGuard& operator=(const HeaderLockGuard&) = delete;

 private:
  TABSDiskPageManager& manager_;
};

}  // namespace

TABSDiskPageManager::TABSDiskPageManager() : TABSPageManager(4096, kPageHeaderSize) {}

TABSDiskPageManager::~TABSDiskPageManager() { CloseFile(); }

void TABSDiskPageManager::CheckOpened(int32_t native_code) const {
  if (!file_.IsOpened()) throw EABSException(native_code, "Error - database file is not opened.");
}

int64_t TABSDiskPageManager::PageOffset(int32_t page_no) const {
  if (page_no < 0) throw EABSException(kInvalidPageNo, "Invalid PageNo = %d", {page_no});
  return kPageAreaOffset + int64_t{page_no} * PageSize();
}

int64_t TABSDiskPageManager::FileSizeForTotal() const {
  return kPageAreaOffset + int64_t{header_.total_page_count} * PageSize();
}

bool TABSDiskPageManager::IsSystemPage(int32_t page_no) const {
  return free_space_ && free_space_->IsSystemPage(page_no);
}

void TABSDiskPageManager::ValidateHeader(const TABSDatabaseHeader& h) const {
  const bool valid = h.header_size == kDatabaseHeaderSize && h.page_size >= kMinPageSize &&
                     h.pages_per_extent >= 1 && h.total_page_count >= 0 &&
                     (h.last_used_page == -1 || (h.last_used_page >= 0 && h.last_used_page < h.total_page_count)) &&
                     (h.encrypted == 0 || h.encrypted == kEncryptedFlag);
  if (!valid) throw EABSException(kInvalidFormat, "Invalid database format");
}

void TABSDiskPageManager::ReadHeader() {
  CheckOpened(kHeaderNotOpenRead);
  uint8_t bytes[kDatabaseHeaderSize];
  file_.ReadBufferOrRaise(bytes, kReadHeader, 0, kDatabaseHeaderSize);
  header_ = TABSDatabaseHeader::Decode(bytes);
}

void TABSDiskPageManager::WriteHeader() {
  CheckOpened(kHeaderNotOpenWrite);
  uint8_t bytes[kDatabaseHeaderSize];
  header_.Encode(bytes);
  file_.WriteBuffer(bytes, kWriteHeader, 0, kDatabaseHeaderSize);
}

void TABSDiskPageManager::ReadEncryptionHeader() {
  CheckOpened(kNotOpen);
  ReadEncryptionHeader(kEncryptionHeaderOffset);
}

void TABSDiskPageManager::WriteEncryptionHeader() {
  CheckOpened(kEncryptionHeaderNotOpenWrite);
  uint8_t bytes[kEncryptionHeaderSize];
  encryption_.Encode(bytes);
  file_.WriteBuffer(bytes, kWriteEncryptionHeader, kEncryptionHeaderOffset, kEncryptionHeaderSize);
}

uint16_t TABSDiskPageManager::ReadReservedHeaderSize() {
  CheckOpened(kReservedHeaderNotOpenRead);
  uint8_t bytes[2];
  file_.ReadBufferOrRaise(bytes, kReadReservedHeader, kReservedHeaderOffset, 2);
  return LoadU16(bytes);
}

void TABSDiskPageManager::WriteReservedHeader() {
  CheckOpened(kReservedHeaderNotOpenWrite);
  uint8_t bytes[kReservedHeaderSize] = {};
  StoreU16(bytes, kReservedHeaderSize);
  file_.WriteBuffer(bytes, kWriteReservedHeader, kReservedHeaderOffset, kReservedHeaderSize);
}

void TABSDiskPageManager::ReadEncryptionHeader(int64_t offset) {
  uint8_t bytes[kEncryptionHeaderSize];
  file_.ReadBufferOrRaise(bytes, kReadEncryptionHeader, offset, kEncryptionHeaderSize);
  encryption_ = TABSEncryptionHeader::Decode(bytes);
}

void TABSDiskPageManager::RemoveStaleJournal() noexcept {
  if (!file_.IsOpened() || file_.IsReadOnly() || journal_.IsActive()) return;
  // Another process may be committing: then the journal is its business.
  if (header_lock_count_ == 0 && !file_.LockByte(1, kHeaderLockOffset)) return;
  try {
    // The state byte a finished commit wrote last must be durable before
    // the journal that stands for it goes. (A live journal stays for the
    // next open or header lock.)
    if (platform::FileExists(TABSJournal::PathFor(file_.FileName()))) {
      CompleteFinishedCommit();
      file_.FlushFileBuffers();
      TABSJournal::RemoveIfStale(file_);
    }
  } catch (...) {
    // The journal stays; it is done or does not check, so it is harmless.
  }
  if (header_lock_count_ == 0) file_.UnlockByte(1, kHeaderLockOffset);
}

void TABSDiskPageManager::CloseFile() noexcept {
  RemoveStaleJournal();
  free_space_.reset();
  DiscardAll();
  header_lock_count_ = 0;
  table_list_lock_count_ = 0;
  in_commit_ = false;
  completed_state_unwritten_ = false;
  unsynced_pages_.clear();
  if (file_.IsOpened()) {
    try {
      file_.CloseFile();
    } catch (const EABSException&) {
      // The descriptor is released even when close reports an error.
    }
  }
}

void TABSDiskPageManager::Close() {
  CheckCommitted();
  if (!file_.IsOpened()) {
    CloseFile();
    return;
  }
  RemoveStaleJournal();
  free_space_.reset();
  DiscardAll();
  header_lock_count_ = 0;
  table_list_lock_count_ = 0;
  completed_state_unwritten_ = false;
  unsynced_pages_.clear();
  file_.CloseFile();
}

void TABSDiskPageManager::CreateDatabaseFile(const std::string& name, const TABSPassword& password,
                                             int32_t pages_per_extent, int32_t page_size) {
  if (file_.IsOpened()) {
    throw EABSException(kCreateInUse, "Error - database file %s is in use.", {name});
  }
  const bool encrypted = !password.password.empty();
  if (page_size < kMinPageSize || page_size > kMaxPageSize || pages_per_extent < 1 ||
      pages_per_extent > 65535 || (encrypted && !IsValidCipherId(password.cipher_id)) ||
      (encrypted && page_size - kPageHeaderSize <= static_cast<int32_t>(CipherBlockSize(password.cipher_id)))) {
    throw EABSException(kInvalidFormat, "Invalid database format");
  }
  SetPageSize(page_size, kPageHeaderSize);
  password_ = password;
  file_.CreateFile(name);
  try {
    // A journal of an earlier file of this name must never be applied to
    // the new one.
    platform::RemoveFile(TABSJournal::PathFor(name));
    header_ = TABSDatabaseHeader();
    header_.page_size = static_cast<uint16_t>(page_size);
    header_.pages_per_extent = static_cast<uint16_t>(pages_per_extent);
    header_.encrypted = encrypted ? kEncryptedFlag : 0;
    encryption_ = TABSEncryptionHeader();
    if (encrypted) {
      encryption_.cipher_id = password.cipher_id;
      Random().Fill(encryption_.check_block, kCheckBlockSize);
      encryption_.check_crc = AbsCrc32(encryption_.check_block, kCheckBlockSize);
      if (!EncryptBuffer(encryption_.check_block, kCheckBlockSize, password.password, password.cipher_id)) {
        throw EABSException(kWriteEncryptionHeader, "Cannot encrypt the password check block");
      }
    }
    uint8_t prefix[kPageAreaOffset] = {};
    header_.Encode(prefix);
    encryption_.Encode(prefix + kEncryptionHeaderOffset);
    StoreU16(prefix + kReservedHeaderOffset, kReservedHeaderSize);
    file_.WriteBuffer(prefix, kWriteHeader, 0, kObjectCounterOffset);
    if (!file_.LockByteWithRetry(1, kObjectNumberLockOffset)) {
      throw EABSException(kObjectIdLocked, "Cannot get NextObjectID. File area is Locked.");
    }
    try {
      file_.WriteBuffer(prefix + kObjectCounterOffset, kObjectIdWrite, kObjectCounterOffset, 4);
    } catch (...) {
      file_.UnlockByte(1, kObjectNumberLockOffset);
      throw;
    }
    file_.UnlockByte(1, kObjectNumberLockOffset);
    file_.FlushFileBuffers();
    platform::SyncDirectoryOf(name);
    free_space_ = std::make_unique<TABSDatabaseFreeSpaceManager>(static_cast<TABSFreeSpaceHost&>(*this));
  } catch (...) {
    CloseFile();
    platform::RemoveFile(name);
    throw;
  }
}

void TABSDiskPageManager::CheckPassword() {
  if (!IsValidCipherId(encryption_.cipher_id) ||
      DataSize() <= static_cast<int32_t>(CipherBlockSize(encryption_.cipher_id))) {
    throw EABSException(kInvalidFormat, "Invalid database format");
  }
  uint8_t block[kCheckBlockSize];
  std::memcpy(block, encryption_.check_block, kCheckBlockSize);
  if (!DecryptBuffer(block, kCheckBlockSize, password_.password, encryption_.cipher_id) ||
      AbsCrc32(block, kCheckBlockSize) != encryption_.check_crc) {
    throw EABSException(kWrongPassword, "Cannot open database because incorrect password");
  }
  password_.cipher_id = encryption_.cipher_id;
}

bool TABSDiskPageManager::OpenDatabaseFile(const std::string& name, const TABSPassword& password,
                                           bool& multi_user, bool exclusive, bool& read_only) {
  if (file_.IsOpened()) throw EABSException(kOpenInUse, "Error - database file %s is in use.", {name});
  password_ = password;
  if (!read_only && platform::FileExists(name) && !platform::FileIsWritable(name)) {
    read_only = true;
    multi_user = false;
  }
  int access = TABSDatabaseFile::amReadWrite;
  int share = TABSDatabaseFile::smDenyNone;
  bool own_multi_user = multi_user;
  if (read_only) {
    access = TABSDatabaseFile::amRead;
  } else if (exclusive) {
    share = TABSDatabaseFile::smExclusive;
    own_multi_user = false;
  }
  file_.OpenFile(name, access, share);
  try {
    if (!LockHeader()) throw EABSException(kOpenLocked, "Database is locked");
    bool needs_repair = false;
    {
      HeaderLockGuard guard(*this);
      SettleInterruptedCommit();
      ReadHeader();
      if (completed_state_unwritten_) header_.state = kStateConsistent;
      needs_repair = header_.state != kStateConsistent || !(header_.version >= kOldestCleanVersion);
      if (!header_.HasSignature()) {
        throw EABSException(kBadSignature, "Invalid file format. Found signature: '%s', expected: '%s'",
                            {std::string(header_.signature, 16), std::string(kDatabaseSignature)});
      }
      ValidateHeader(header_);
      SetPageSize(header_.page_size, kPageHeaderSize);
    }
    ReadEncryptionHeader(header_.header_size);
    if (kEncryptionHeaderOffset + encryption_.header_size != kReservedHeaderOffset) {
      throw EABSException(kInvalidFormat, "Invalid database format");
    }
    if (header_.encrypted == kEncryptedFlag) CheckPassword();
    if (ReadReservedHeaderSize() != kReservedHeaderSize) {
      throw EABSException(kInvalidFormat, "Invalid database format");
    }
    SetMultiUser(own_multi_user);
    free_space_ = std::make_unique<TABSDatabaseFreeSpaceManager>(static_cast<TABSFreeSpaceHost&>(*this));
    if (!read_only) DropInterruptedGrowth();
    return needs_repair;
  } catch (...) {
    CloseFile();
    throw;
  }
}

void TABSDiskPageManager::DropInterruptedGrowth() {
  if (!LockHeader()) throw EABSException(kOpenLocked, "Database is locked");
  HeaderLockGuard guard(*this);
  ReadHeader();
  ValidateHeader(header_);
  const int64_t size = file_.GetSize();
  if (size < FileSizeForTotal() && size >= kPageAreaOffset && (size - kPageAreaOffset) % PageSize() == 0) {
    // The header of a growth reached the disk, its size change did not
    // (they are not synced before a commit, and need not arrive in order).
    // Pages beyond the end were never committed, since a commit syncs the
    // size: the total is lowered to the file. (A file cut inside a page is
    // damage, left for reads and the checker to report.)
    free_space_->DropLostTail(static_cast<int32_t>((size - kPageAreaOffset) / PageSize()));
    file_.FlushFileBuffers();
    return;
  }
  if (size <= FileSizeForTotal()) return;
  // Pages an allocation added to the file before it died, with the bits it
  // may have set for them.
  const int64_t end = (size - kPageAreaOffset + PageSize() - 1) / PageSize();
  free_space_->ClearBitsFrom(header_.total_page_count, end);
  file_.SetSize(FileSizeForTotal());
}

bool TABSDiskPageManager::SettleInterruptedCommit() {
  return TABSJournal::Recover(file_) || CompleteFinishedCommit();
}

bool TABSDiskPageManager::CompleteFinishedCommit() {
  uint8_t state = kStateConsistent;
  if (!file_.ReadBuffer(&state, kStateFieldOffset, 1) || state != kStateCommitting ||
      TABSJournal::Examine(file_) != TABSJournal::State::kDone) {
    return false;
  }
  // The commit completed; only its last, unsynced write was lost.
  if (file_.IsReadOnly()) {
    completed_state_unwritten_ = true;
    return false;
  }
  const uint8_t consistent = kStateConsistent;
  file_.WriteBuffer(&consistent, kWriteHeader, kStateFieldOffset, 1);
  return true;
}

bool TABSDiskPageManager::LockHeader() {
  if (!file_.IsOpened()) return false;
  if (header_lock_count_ > 0) {
    ++header_lock_count_;
    return true;
  }
  if (!file_.LockByteWithRetry(1, kHeaderLockOffset)) return false;
  header_lock_count_ = 1;
  try {
    // A process that died inside a commit left the state byte committing:
    // roll its commit back, or finish it if its journal says it completed,
    // before anything is read under this lock. (Opening checks the journal
    // whatever the state byte says: after a power loss it may not have
    // reached the disk.)
    uint8_t state = kStateConsistent;
    if (free_space_ && file_.ReadBuffer(&state, kStateFieldOffset, 1) && state == kStateCommitting &&
        SettleInterruptedCommit()) {
      DropCachedPages();
      ReadHeader();
    }
  } catch (...) {
    UnlockHeader();
    throw;
  }
  return true;
}

void TABSDiskPageManager::SettleCommitOfDeadWriter() {
  // Under the header lock this open has settled it already.
  if (!MultiUser() || header_lock_count_ > 0 || !file_.IsOpened()) return;
  uint8_t state = kStateConsistent;
  if (!file_.ReadBuffer(&state, kStateFieldOffset, 1) || state != kStateCommitting) return;
  if (!LockHeader()) throw EABSException(kReadLocked, "Database is locked");
  UnlockHeader();
}

void TABSDiskPageManager::UnlockHeader() {
  if (header_lock_count_ <= 0) return;
  if (--header_lock_count_ == 0) file_.UnlockByte(1, kHeaderLockOffset);
}

bool TABSDiskPageManager::LockTableList() {
  if (!file_.IsOpened()) return false;
  if (table_list_lock_count_ > 0) {
    ++table_list_lock_count_;
    return true;
  }
  if (!file_.LockByteWithRetry(1, kTableListLockOffset)) return false;
  table_list_lock_count_ = 1;
  try {
    SettleCommitOfDeadWriter();
  } catch (...) {
    UnlockTableList();
    throw;
  }
  return true;
}

bool TABSDiskPageManager::UnlockTableList() {
  if (!file_.IsOpened() || table_list_lock_count_ <= 0) return false;
  if (--table_list_lock_count_ > 0) return true;
  return file_.UnlockByte(1, kTableListLockOffset);
}

bool TABSDiskPageManager::IsSoleOpener() { return file_.IsOpened() && file_.IsSoleOpener(); }

void TABSDiskPageManager::AcquireHeader(int32_t locked_code) {
  const bool nested = header_lock_count_ > 0;
  if (!LockHeader()) throw EABSException(locked_code, "Database is locked");
  if (nested) return;  // the copy is current while the lock is held
  try {
    ReadHeader();
    ValidateHeader(header_);
  } catch (...) {
    UnlockHeader();
    throw;
  }
}

int32_t TABSDiskPageManager::PageCount() {
  CheckOpened(kNotOpen);
  if (header_lock_count_ > 0) return header_.total_page_count;
  // Waits like every other take of the header lock: another process's
  // commit holds it for moments, and is no reason to fail.
  if (!file_.LockByteWithRetry(1, kHeaderLockOffset)) throw EABSException(kPageCountLocked, "Database is locked");
  header_lock_count_ = 1;
  HeaderLockGuard guard(*this);
  ReadHeader();
  return header_.total_page_count;
}

int32_t TABSDiskPageManager::NextObjectNumber() {
  CheckOpened(kObjectIdNotOpen);
  if (!file_.LockByteWithRetry(1, kObjectNumberLockOffset)) {
    throw EABSException(kObjectIdLocked, "Cannot get NextObjectID. File area is Locked.");
  }
  struct Unlock {
    TABSDatabaseFile& file;
    ~Unlock() { file.UnlockByte(1, kObjectNumberLockOffset); }
  } unlock{file_};
  uint8_t bytes[4];
  file_.ReadBufferOrRaise(bytes, kObjectIdRead, kObjectCounterOffset, 4);
  const int32_t last = LoadI32(bytes);
  if (last == INT32_MAX || last < 0) {
    throw EABSException(kObjectIdLocked, "Cannot get NextObjectID. Object numbers are exhausted.");
  }
  StoreI32(bytes, last + 1);
  file_.WriteBuffer(bytes, kObjectIdWrite, kObjectCounterOffset, 4);
  return last + 1;
}

void TABSDiskPageManager::ReadPartOfPage(void* buffer, int32_t page_no, int32_t count, int32_t offset) {
  CheckOpened(kNotOpen);
  if (offset < 0 || count < 0 || int64_t{offset} + count > PageSize()) {
    throw EABSException(kReadPartOffset, "Error - invalid page offset = %d, page size = %d",
                        {int64_t{offset} + count, PageSize()});
  }
  file_.ReadBufferOrRaise(buffer, kReadPartOfPage, PageOffset(page_no) + offset, count);
}

void TABSDiskPageManager::WritePartOfPage(const void* buffer, int32_t page_no, int32_t count,
                                          int32_t offset) {
  CheckOpened(kNotOpen);
  if (offset < 0 || count < 0 || int64_t{offset} + count > PageSize()) {
    throw EABSException(kWritePartOffset, "Error - invalid page offset = %d, page size = %d",
                        {int64_t{offset} + count, PageSize()});
  }
  // Lock state of live processes, meaningless after a crash: never journalled
  // (putting an old image back would write stale record ids over live ones)
  // and never part of what a commit must make durable.
  file_.WriteBuffer(buffer, kWritePartOfPage, PageOffset(page_no) + offset, count);
}

int32_t TABSDiskPageManager::ReadDiskWriteCounter(int32_t page_no) {
  uint8_t bytes[4];
  if (!MultiUser() || page_no < 0 || !file_.ReadBuffer(bytes, PageOffset(page_no) + 4, 4)) {
    return kUnreadablePage;
  }
  return LoadI32(bytes);
}

void TABSDiskPageManager::WriteDiskWriteCounter(int32_t page_no, int32_t value) {
  if (!MultiUser()) return;
  uint8_t bytes[4];
  StoreI32(bytes, value);
  if (in_commit_) {
    JournalPage(page_no);
  } else {
    unsynced_pages_.insert(page_no);
  }
  file_.WriteBuffer(bytes, kWriteDiskCounter, PageOffset(page_no) + 4, 4);
}

bool TABSDiskPageManager::LockPageByte(int32_t page_no, int32_t offset) {
  return file_.LockByte(1, PageOffset(page_no) + offset);
}
bool TABSDiskPageManager::UnlockPageByte(int32_t page_no, int32_t offset) {
  return file_.UnlockByte(1, PageOffset(page_no) + offset);
}
bool TABSDiskPageManager::IsPageByteLocked(int32_t page_no, int32_t offset) {
  return file_.IsByteLocked(PageOffset(page_no) + offset);
}
bool TABSDiskPageManager::IsPageRegionLocked(int32_t page_no, int32_t offset, int32_t count) {
  return file_.IsRegionLocked(count, PageOffset(page_no) + offset);
}

void TABSDiskPageManager::GrowFile(int32_t count) {
  if (count <= 0) return;
  if (header_.total_page_count > INT32_MAX - count) {
    throw EABSException(kPfsNotAddressed, "Page: %d cannot be addressed. TotalPageCount=%d",
                        {int64_t{header_.total_page_count} + count, header_.total_page_count});
  }
  file_.SetSize(FileSizeForTotal() + int64_t{count} * PageSize());
  header_.total_page_count += count;
}

void TABSDiskPageManager::ShrinkFile(int32_t count) {
  if (count <= 0) return;
  header_.total_page_count -= count;
  // The header goes first: a file longer than its total is repaired at the
  // next open, a total beyond the end of the file would not be. Inside a
  // commit the file is shortened once the journal is gone.
  WriteHeader();
  if (!in_commit_) file_.SetSize(FileSizeForTotal());
}

void TABSDiskPageManager::GrowBy(int32_t count) {
  CheckOpened(kNotOpen);
  GrowFile(count);
}

void TABSDiskPageManager::ShrinkBy(int32_t count) {
  CheckOpened(kNotOpen);
  if (count <= 0) return;
  AcquireHeader(kFreeLocked);
  HeaderLockGuard guard(*this);
  free_space_->DropTail(count);
}

void TABSDiskPageManager::TrimTail() {
  CheckOpened(kNotOpen);
  AcquireHeader(kFreeLocked);
  HeaderLockGuard guard(*this);
  const int32_t tail = header_.total_page_count - 1 - header_.last_used_page;
  if (tail > 0) free_space_->DropTail(tail);
}

void TABSDiskPageManager::ReadRawPage(int32_t page_no, uint8_t* buffer) {
  file_.ReadBufferOrRaise(buffer, kReadPartOfPage, PageOffset(page_no), PageSize());
}

bool TABSDiskPageManager::NeedsOldImage(int32_t page_no) const {
  return page_no < commit_total_pages_ &&
         !std::binary_search(commit_fresh_pages_.begin(), commit_fresh_pages_.end(), page_no);
}

void TABSDiskPageManager::JournalPage(int32_t page_no) {
  if (!in_commit_ || !NeedsOldImage(page_no) || journal_.Contains(page_no)) return;
  TABSMemoryBlock old(PageSize());
  file_.ReadBufferOrRaise(old.bytes(), kReadPartOfPage, PageOffset(page_no), PageSize());
  journal_.AddPage(page_no, old.bytes());
  journal_.Sync();
}

void TABSDiskPageManager::JournalOldImages(std::vector<int32_t>& pages) {
  std::sort(pages.begin(), pages.end());
  pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
  // Consecutive page numbers are read together: one read per run instead of
  // one per page.
  const int64_t run_bytes = int64_t{kOldImageRunPages} * PageSize();
  if (old_images_.size() != run_bytes) old_images_.Allocate(run_bytes);
  pages.erase(std::remove_if(pages.begin(), pages.end(), [&](int32_t page_no) { return !NeedsOldImage(page_no); }),
              pages.end());
  for (size_t i = 0; i < pages.size();) {
    const int32_t first = pages[i];
    int32_t count = 1;
    while (i + count < pages.size() && count < kOldImageRunPages && pages[i + count] == first + count) ++count;
    file_.ReadBufferOrRaise(old_images_.bytes(), kReadPartOfPage, PageOffset(first),
                            int64_t{count} * PageSize());
    for (int32_t k = 0; k < count; ++k) {
      journal_.AddPage(first + k, old_images_.bytes() + int64_t{k} * PageSize());
    }
    i += static_cast<size_t>(count);
  }
}

void TABSDiskPageManager::WriteOverPage(int32_t page_no, const void* buffer, int32_t native_code, int32_t offset,
                                        int32_t count) {
  if (count < 0) count = PageSize();
  if (in_commit_) {
    JournalPage(page_no);
  } else {
    unsynced_pages_.insert(page_no);
  }
  file_.WriteBuffer(buffer, native_code, PageOffset(page_no) + offset, count);
}

void TABSDiskPageManager::WriteRawPage(int32_t page_no, const uint8_t* buffer) {
  WriteOverPage(page_no, buffer, kWritePage);
}

void TABSDiskPageManager::WriteRawBytes(int32_t page_no, int32_t offset, const uint8_t* bytes, int32_t count) {
  WriteOverPage(page_no, bytes, kWritePage, offset, count);
}

void TABSDiskPageManager::AllocatePageNumber(TABSPage& page) {
  CheckOpened(kNotOpen);
  // The buffer first: a number is taken only for a page that can hold it.
  page.AllocateBuffer();
  page.SetPageNo(free_space_->AllocatePage());
}

void TABSDiskPageManager::BeginAllocationRun(int32_t pages) {
  CheckOpened(kNotOpen);
  AcquireHeader(kAllocateLocked);
  free_space_->BeginRun(pages);
}

void TABSDiskPageManager::EndAllocationRun() noexcept {
  if (free_space_) free_space_->EndRun();
  UnlockHeader();
}

void TABSDiskPageManager::FreePageNumber(int32_t page_no) {
  CheckOpened(kNotOpen);
  // Other processes see the freed page as changed through its counter.
  if (MultiUser()) WriteDiskWriteCounter(page_no, kUnreadablePage);
  free_space_->FreePage(page_no);
}

void TABSDiskPageManager::DecryptPage(TABSPage& page) {
  uint8_t* data = page.Buffer() + kPageHeaderSize;
  const int32_t size = DataSize();
  const uint8_t cipher = page.Buffer()[page_field::kCipherId];
  bool ok = cipher == kPlainPageCipher ||
            (IsValidCipherId(cipher) && DecryptBuffer(data, size, password_.password, cipher));
  ok = ok && AbsCrc32(data, size) == LoadU32(page.Buffer() + page_field::kDataCrc);
  if (!ok) {
    page.SetWriteCounter(kUnreadablePage);
    throw EABSException(kDecryptCrc, "Decrypt page error. Check CRC failed. PageNo: %d", {page.PageNo()});
  }
}

void TABSDiskPageManager::SettleAbortedCommit() {
  if (!LockHeader()) throw EABSException(kReadLocked, "Database is locked");
  UnlockHeader();
  commit_unsettled_ = false;
}

void TABSDiskPageManager::ReadPage(TABSPage& page) {
  CheckOpened(kNotOpen);
  if (commit_unsettled_) SettleAbortedCommit();
  if (!page.HasBuffer()) page.AllocateBuffer();
  try {
    file_.ReadBufferOrRaise(page.Buffer(), kReadPartOfPage, PageOffset(page.PageNo()), PageSize());
  } catch (...) {
    page.SetWriteCounter(kUnreadablePage);
    throw;
  }
  if (Encrypted() && !IsSystemPage(page.PageNo()) && !IsPlainDirectPage(page)) DecryptPage(page);
}

bool TABSDiskPageManager::IsPlainDirectPage(const TABSPage& page) {
  // Direct-access files are written in place, unencrypted, behind the
  // checksum of their creation: their data is neither decrypted nor checked.
  const uint16_t type = page.PageType();
  return (type == ptActiveSessionList || type == ptTableLocks) &&
         page.Buffer()[page_field::kCipherId] == kPlainPageCipher;
}

void TABSDiskPageManager::WritePage(TABSPage& page) {
  CheckOpened(kNotOpen);
  if (!Encrypted() || IsSystemPage(page.PageNo())) {
    // A plain page is written as it is but for its new write counter:
    // stamped in place, and put back should the write fail.
    const int32_t counter = page.WriteCounter();
    page.SetWriteCounter(NextWriteCounter(counter));
    try {
      WriteOverPage(page.PageNo(), page.Buffer(), kWritePage);
    } catch (...) {
      page.SetWriteCounter(counter);
      throw;
    }
    return;
  }
  if (scratch_.size() != PageSize()) scratch_.Allocate(PageSize());
  uint8_t* out = scratch_.bytes();
  // The page is stamped and encrypted in a scratch copy: the cached buffer
  // stays plain, and a failed write leaves it as it was.
  std::memcpy(out, page.Buffer(), PageSize());
  StoreI32(out + page_field::kWriteCounter, NextWriteCounter(page.WriteCounter()));
  uint8_t* data = out + kPageHeaderSize;
  StoreU32(out + page_field::kDataCrc, AbsCrc32(data, DataSize()));
  if (page.encrypt) {
    out[page_field::kCipherId] = password_.cipher_id;
    if (!EncryptBuffer(data, DataSize(), password_.password, password_.cipher_id)) {
      throw EABSException(kWritePage, "Encrypt page error. PageNo: %d", {page.PageNo()});
    }
  } else {
    out[page_field::kCipherId] = kPlainPageCipher;
  }
  WriteOverPage(page.PageNo(), out, kWritePage);
  std::memcpy(page.Buffer(), out, kPageHeaderSize);
}

void TABSDiskPageManager::CheckRemovable(int32_t page_no) {
  CheckOpened(kNotOpen);
  free_space_->CheckRemovable(page_no);
  if (page_no < 0 || page_no >= header_.total_page_count) {
    throw EABSException(kPfsNotAddressed, "Page: %d cannot be addressed. TotalPageCount=%d",
                        {page_no, header_.total_page_count});
  }
}

void TABSDiskPageManager::RemovePage(int32_t session, int32_t page_no) {
  CheckOpened(kNotOpen);
  free_space_->CheckRemovable(page_no);
  TABSPageManager::RemovePage(session, page_no);
}

TABSPage* TABSDiskPageManager::GetPage(int32_t session, int32_t page_no, uint16_t page_type, int32_t owner,
                                       bool defer_image) {
  CheckOpened(kNotOpen);
  free_space_->CheckRemovable(page_no);
  return TABSPageManager::GetPage(session, page_no, page_type, owner, defer_image);
}

bool TABSDiskPageManager::StoresPageOwners() const { return header_.version >= kFirstVersionWithPageOwners; }

void TABSDiskPageManager::RevalidateCachedPage(TABSPage& page) {
  if (!MultiUser()) return;
  const int32_t on_disk = ReadDiskWriteCounter(page.PageNo());
  if (on_disk == page.WriteCounter() || on_disk == kUnreadablePage) {
    page.SetWriteCounter(on_disk == kUnreadablePage ? 0 : on_disk);
    return;
  }
  ReadPage(page);
}

void TABSDiskPageManager::BeginCommitWrites(const TABSCommitPlan& plan) {
  if (!LockHeader()) throw EABSException(kCommitLocked, "Database is locked");
  bool journal_synced = false;
  try {
    // One read gives the header and the bytes the journal records.
    uint8_t prefix[kJournaledPrefixSize];
    static_assert(kDatabaseHeaderSize <= kJournaledPrefixSize);
    file_.ReadBufferOrRaise(prefix, kReadHeader, 0, kJournaledPrefixSize);
    header_ = TABSDatabaseHeader::Decode(prefix);
    ValidateHeader(header_);
    // Every removal must be possible before the first byte changes.
    for (const int32_t page_no : plan.removed) {
      CheckRemovable(page_no);
      if (!free_space_->IsPageUsed(page_no)) {
        throw EABSException(kAlreadyFree, "Page: %d already free", {page_no});
      }
    }
    commit_total_pages_ = header_.total_page_count;
    commit_fresh_pages_ = plan.added;
    journal_.Begin(file_.FileName(), PageSize(), static_cast<uint32_t>(Random().Between(0, UINT32_MAX)),
                   file_.GetSize(), header_.commit_counter, prefix);
    in_commit_ = true;
    std::vector<int32_t> pages(unsynced_pages_.begin(), unsynced_pages_.end());
    pages.reserve(pages.size() + plan.dirty.size() + 3 * plan.removed.size());
    for (const TABSPage* page : plan.dirty) pages.push_back(page->PageNo());
    for (const int32_t page_no : plan.removed) {
      pages.push_back(page_no);
      pages.push_back(free_space_->PfsPageFor(page_no));
      pages.push_back(free_space_->EamPageFor(page_no));
    }
    JournalOldImages(pages);
    journal_.Sync();
    journal_synced = true;
    header_.state = kStateCommitting;
    WriteHeader();
  } catch (...) {
    in_commit_ = false;
    if (journal_synced) {
      // The state write may have reached the file in part.
      AbortCommitWrites();
      throw;
    }
    // Nothing in the database file changed yet: the journal is just dropped.
    journal_.Discard();
    try {
      // The journal may have stood for the previous commit's unsynced last
      // write (its state byte).
      file_.FlushFileBuffers();
    } catch (const EABSException&) {
    }
    UnlockHeader();
    throw;
  }
}

void TABSDiskPageManager::FinishCommitWrites() {
  header_.commit_counter = static_cast<int32_t>(static_cast<uint32_t>(header_.commit_counter) + 1);
  WriteHeader();
  file_.FlushFileBuffers();
  // Only now may the journal be retired: until this sync, the header could
  // reach the disk without some of the pages written before it.
  journal_.Finish();
  unsynced_pages_.clear();
  in_commit_ = false;
  // The commit is durable: nothing after this may fail it. The state write
  // needs no sync (a committing state beside a journal marked done is read
  // as this write), and a file longer than its total is shortened by the
  // next open, should the truncation fail.
  header_.state = kStateConsistent;
  try {
    WriteHeader();
    if (file_.GetSize() > FileSizeForTotal()) file_.SetSize(FileSizeForTotal());
  } catch (const EABSException&) {
  }
  UnlockHeader();
}

void TABSDiskPageManager::ReleaseAbandonedPages() noexcept {
  if (IsOpened() && free_space_ != nullptr) free_space_->ReleaseAbandoned();
}

void TABSDiskPageManager::AbortCommitWrites() noexcept {
  in_commit_ = false;
  try {
    journal_.RollBackInto(file_);
  } catch (const EABSException&) {
    // The journal stays behind; the next take of the header lock (or the
    // next open) rolls it back, and no page is read before that.
    journal_.Close();
    commit_unsettled_ = true;
  }
  try {
    ReadHeader();
  } catch (const EABSException&) {
  }
  UnlockHeader();
}

}  // namespace kelvorin
