// TABSDiskPageManager: the page manager of a database file. It creates, opens
// and closes the file, reads and writes whole pages and parts of pages,
// encrypts pages of a password-protected database, hands out object numbers,
// takes the byte-range locks that serialise writers in different processes
// and makes every commit atomic and durable with a rollback journal.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "db/storage/file/database_file.h"
#include "db/storage/file/database_file_layout.h"
#include "db/storage/free_space/free_space.h"
#include "db/storage/file/journal.h"
#include "db/storage/file/page_cipher.h"
#include "db/storage/pages/page_manager.h"

namespace kelvorin {

class TABSDiskPageManager : public TABSPageManager, private TABSFreeSpaceHost {
 public:
  TABSDiskPageManager();
  ~TABSDiskPageManager() override;

  void CreateDatabaseFile(const std::string& name, const TABSPassword& password,
                          int32_t pages_per_extent = 8, int32_t page_size = 4096);
  // Returns the needs-repair flag (a commit was interrupted or the format is
  // old). multi_user and read_only may be changed to what the open got.
  bool OpenDatabaseFile(const std::string& name, const TABSPassword& password, bool& multi_user,
                        bool exclusive, bool& read_only);
  // Raises "Cannot free not commited pages" (and stays open) while a session
  // has uncommitted changes.
  void Close();
  // Closes at once, dropping whatever sessions have not committed (their
  // allocated pages stay marked used: leaks, never damage).
  void CloseDiscarding() noexcept { CloseFile(); }
  bool IsOpened() const { return file_.IsOpened(); }

  const TABSDatabaseHeader& Header() const { return header_; }
  const TABSEncryptionHeader& EncryptionHeader() const { return encryption_; }
  bool Encrypted() const { return header_.encrypted == kEncryptedFlag; }
  TABSDatabaseFile& File() { return file_; }
  TABSDatabaseFreeSpaceManager* FreeSpace() { return free_space_.get(); }

  void ReadHeader();
  void WriteHeader();
  void ReadEncryptionHeader();
  void WriteEncryptionHeader();
  uint16_t ReadReservedHeaderSize();
  void WriteReservedHeader();
  int64_t PageOffset(int32_t page_no) const;

  void ReadPartOfPage(void* buffer, int32_t page_no, int32_t count, int32_t offset);
  // Writes in place, outside any commit: for the lock state of direct-access
  // internal files, which bypasses the rollback journal and never has to be
  // made durable.
  void WritePartOfPage(const void* buffer, int32_t page_no, int32_t count, int32_t offset);
  int32_t ReadDiskWriteCounter(int32_t page_no);
  void WriteDiskWriteCounter(int32_t page_no, int32_t value);

  bool LockPageByte(int32_t page_no, int32_t offset);
  bool UnlockPageByte(int32_t page_no, int32_t offset);
  bool IsPageByteLocked(int32_t page_no, int32_t offset);
  bool IsPageRegionLocked(int32_t page_no, int32_t offset, int32_t count);
  // Nested within this object: only the outermost take and release touch
  // the file. The outermost take of a writable open also rolls back a
  // journal another process left behind.
  bool LockHeader();
  void UnlockHeader();
  // Called once a lock that kept other writers off some pages was taken
  // (a table lock in the file, the table-list lock), before those pages are
  // read: a writer killed inside its commit freed its locks with its death
  // but left its pages half written beside the journal. In multi-user mode
  // such a commit is rolled back first, under the header lock (which waits
  // for a live commit to end); nothing is read or built on its pages.
  void SettleCommitOfDeadWriter();
  // Nested within this object like the header lock, so that a table opened
  // while a catalogue change holds the lock takes it again at once.
  bool LockTableList();
  bool UnlockTableList();
  bool TableListLocked() const { return table_list_lock_count_ > 0; }
  int32_t NextObjectNumber();
  // True when no other open of the file exists.
  bool IsSoleOpener();
  // From now on cached pages are checked against the disk before use, as
  // in multi-user mode: for a read-only open while another process writes.
  void WatchForOtherWriters() { SetMultiUser(true); }

  int32_t PageCount() override;
  void GrowBy(int32_t count);
  void ShrinkBy(int32_t count);
  void TrimTail();

  void AllocatePageNumber(TABSPage& page) override;
  // Holds the header lock for the run, so that the free space map may keep
  // the bitmap pages it reads.
  void BeginAllocationRun(int32_t pages) override;
  void EndAllocationRun() noexcept override;
  void FreePageNumber(int32_t page_no) override;
  void ReadPage(TABSPage& page) override;
  void WritePage(TABSPage& page) override;
  void RemovePage(int32_t session, int32_t page_no) override;
  TABSPage* GetPage(int32_t session, int32_t page_no, uint16_t page_type, int32_t owner = kAnyPageOwner,
                    bool defer_image = false) override;

 protected:
  void CheckRemovable(int32_t page_no) override;
  void BeginCommitWrites(const TABSCommitPlan& plan) override;
  void FinishCommitWrites() override;
  void AbortCommitWrites() noexcept override;
  void ReleaseAbandonedPages() noexcept override;
  void RevalidateCachedPage(TABSPage& page) override;
  bool StoresPageOwners() const override;

 private:
  // TABSFreeSpaceHost
  TABSDatabaseHeader& SharedHeader() override { return header_; }
  void AcquireHeader(int32_t locked_code) override;
  void ReleaseHeader() noexcept override { UnlockHeader(); }
  void WriteSharedHeader() override { WriteHeader(); }
  void ReadRawPage(int32_t page_no, uint8_t* buffer) override;
  void WriteRawPage(int32_t page_no, const uint8_t* buffer) override;
  void WriteRawBytes(int32_t page_no, int32_t offset, const uint8_t* bytes, int32_t count) override;
  void GrowFile(int32_t count) override;
  void ShrinkFile(int32_t count) override;
  int64_t RandomBetween(int64_t low, int64_t high) override { return Random().Between(low, high); }

  void CheckOpened(int32_t native_code) const;
  void ValidateHeader(const TABSDatabaseHeader& header) const;
  void ReadEncryptionHeader(int64_t offset);
  void CheckPassword();
  void CloseFile() noexcept;
  void RemoveStaleJournal() noexcept;
  // Under the header lock: rolls back a commit that died part-way, or
  // completes the state byte of one that finished. True when the file
  // changed.
  bool SettleInterruptedCommit();
  // Applies the journal of a commit whose own undoing failed, before any
  // page is read from the file again.
  void SettleAbortedCommit();
  // Writes the consistent state of a commit whose journal is marked done but
  // whose last write was lost; true when it wrote.
  bool CompleteFinishedCommit();
  void DropInterruptedGrowth();
  bool IsSystemPage(int32_t page_no) const;
  // Writes bytes over a page, first saving its old image in the journal
  // when a commit is being written.
  void WriteOverPage(int32_t page_no, const void* buffer, int32_t native_code, int32_t offset = 0,
                     int32_t count = -1);
  void JournalPage(int32_t page_no);
  bool NeedsOldImage(int32_t page_no) const;
  // Journals the old image of every page below the commit's starting total
  // (duplicates allowed; the list is sorted in place).
  void JournalOldImages(std::vector<int32_t>& pages);
  void DecryptPage(TABSPage& page);
  static bool IsPlainDirectPage(const TABSPage& page);
  int64_t FileSizeForTotal() const;

  TABSDatabaseFile file_;
  TABSDatabaseHeader header_;
  TABSEncryptionHeader encryption_;
  TABSPassword password_;
  std::unique_ptr<TABSDatabaseFreeSpaceManager> free_space_;
  TABSMemoryBlock scratch_;
  TABSMemoryBlock old_images_;  // a run of old page images for the journal
  int32_t header_lock_count_ = 0;
  int32_t table_list_lock_count_ = 0;

  // The commit being written.
  bool in_commit_ = false;
  // A commit could not undo its writes: the file holds pages of it beside
  // its journal until the journal is applied.
  bool commit_unsettled_ = false;
  int32_t commit_total_pages_ = 0;
  // Pages its session allocated: what they held before is nobody's, so
  // their old images need no journal.
  std::vector<int32_t> commit_fresh_pages_;
  TABSJournal journal_;
  // A read-only open found a finished commit whose state byte was lost.
  bool completed_state_unwritten_ = false;
  // Pages written outside a commit since the file was last synced
  // (allocation and freeing): the next commit journals them too, so that
  // rolling it back after a power loss restores them with the header.
  std::unordered_set<int32_t> unsynced_pages_;
};

}  // namespace kelvorin
