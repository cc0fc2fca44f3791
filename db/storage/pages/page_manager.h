// TABSPageManager: the layer every storage structure reads and changes pages
// through. It keeps one shared cache of clean pages, gives every session its
// own list of changed pages and turns a session's changes into a transaction:
// a commit writes the changed pages and frees the removed ones, a rollback
// throws the changed pages away and frees the pages the session allocated.
//
// Storage is reached through four abstract operations (allocate and free a
// page number, read and write a page); the disk page manager implements them
// on the database file, the temporary and in-memory managers in memory.
// A commit is all or nothing: every precondition is checked before the first
// change, and the storage hooks around the writes make them atomic.
//
// A statement savepoint undoes one failed statement inside a longer
// transaction. It notes the lengths of the session's added and removed
// lists; from then on the first hold of each page the session had already
// changed keeps a copy of the page (or, for a holder that says so, its first
// change does), and every page that joins the session's changes is marked
// as new. Rolling the statement back restores the copies,
// drops the new pages, gives back the page numbers added since and forgets
// the removals asked for since; releasing it keeps the changes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "db/storage/pages/page.h"
#include "db/storage/pages/page_list.h"
#include "db/storage/pages/page_random.h"

namespace kelvorin {

inline constexpr int32_t kSystemSessionId = -2;
inline constexpr int32_t kInvalidSessionId = -1;
// A GetPage that names no owner accepts any.
inline constexpr int32_t kAnyPageOwner = -1;

// Sees the page operations of every page manager before they happen and may
// throw to fail one: tests inject a failure at any page of a structure's
// change through it. Not thread-safe: set while no page manager is in use.
class TABSPageObserver {
 public:
  enum class Operation { kGet, kAdd, kRemove };
  virtual ~TABSPageObserver() = default;
  // `page_no` is -1 for an added page (its number is not known yet).
  virtual void BeforePageOperation(Operation operation, int32_t session, int32_t page_no, uint16_t page_type) = 0;
};
// nullptr removes it.
void SetPageObserver(TABSPageObserver* observer);

// What one commit changes, checked before anything is written.
struct TABSCommitPlan {
  int32_t session = kInvalidSessionId;
  std::vector<int32_t> removed;       // page numbers to free, in request order
  std::vector<TABSPage*> dirty;       // pages to write, ascending page number
  std::vector<int32_t> added;         // pages the session allocated, ascending
};

class TABSPageManager {
 public:
  TABSPageManager(int32_t page_size, int32_t page_header_size);
  TABSPageManager(const TABSPageManager&) = delete;
  TABSPageManager& operator=(const TABSPageManager&) = delete;
  // Frees every page object; uncommitted changes are lost (see CheckCommitted).
  virtual ~TABSPageManager();

  int32_t PageSize() const { return page_size_; }
  int32_t PageHeaderSize() const { return page_header_size_; }
  int32_t DataSize() const { return page_size_ - page_header_size_; }
  int32_t CacheCapacity() const { return cache_capacity_; }
  void SetCacheCapacity(int32_t capacity) { cache_capacity_ = capacity; }
  int32_t CachedPageCount() const { return cache_.Count(); }
  bool MultiUser() const { return multi_user_; }
  TABSRandomSource& Random() { return random_; }

  virtual int32_t PageCount();
  virtual void AllocatePageNumber(TABSPage& page) = 0;
  virtual void FreePageNumber(int32_t page_no) = 0;
  // Fills the page's buffer from storage; raises on any failure.
  virtual void ReadPage(TABSPage& page) = 0;
  virtual void WritePage(TABSPage& page) = 0;
  virtual void RemovePage(int32_t session, int32_t page_no);
  // The page must have the type asked for (kAnyPageType: any) and, where
  // the storage keeps page owners, the owner asked for (kAnyPageOwner: any),
  // whether it comes from storage, the cache or the session's own changes:
  // a wrong reference must never hand one structure another's page.
  // `defer_image`: the caller calls PrepareChange before it changes the
  // page, so that a statement savepoint copies only pages that change.
  virtual TABSPage* GetPage(int32_t session, int32_t page_no, uint16_t page_type,
                            int32_t owner = kAnyPageOwner, bool defer_image = false);
  virtual void CommitSession(int32_t session);

  TABSPage* AddPage(int32_t session, uint16_t page_type);
  // Many pages are about to be added one after another (the pages of a
  // large value): storage may keep what it learns about its free space from
  // one allocation to the next until the run ends, and may take the `pages`
  // the run expects at once. Runs may nest.
  virtual void BeginAllocationRun(int32_t pages) { (void)pages; }
  virtual void EndAllocationRun() noexcept {}
  void PutPage(TABSPage* page);
  void RollbackSession(int32_t session);
  // Rolls every session back as far as it can (the storage is closing: the
  // page numbers the sessions allocated go back to storage).
  void RollbackAllSessions() noexcept;

  // One statement savepoint per session at a time; a second one raises.
  // Committing or rolling back the session ends it.
  void BeginStatement(int32_t session);
  void ReleaseStatement(int32_t session) noexcept;
  // Raises only for a page still held (the statement's pages must have
  // been given back); numbers that cannot be freed now are freed by the
  // session's commit or rollback.
  void RollbackStatement(int32_t session);
  bool InStatement(int32_t session) const;
  // Before the first change of a page held through GetPage with a deferred
  // image: the statement savepoint keeps the page as it was.
  void PrepareChange(TABSPage& page) {
    if (page.image_pending) TakePendingImage(page);
  }

  bool HasUncommittedPages() const;
  // Whether any page is held (between GetPage or AddPage and PutPage).
  bool HasHeldPages() const;
  // Raises "Cannot free not commited pages" when a session has changes.
  void CheckCommitted() const;
  // Pages changed by the session and not yet committed (tests, checks).
  int32_t DirtyPageCount(int32_t session) const;

 protected:
  void SetPageSize(int32_t page_size, int32_t page_header_size);
  void SetMultiUser(bool multi_user) { multi_user_ = multi_user; }
  // Drops every page object and session (the storage is going away).
  void DiscardAll();
  // Drops the clean cached pages nobody holds (storage changed under them).
  void DropCachedPages() { cache_.EvictUnheld(0); }

  // Storage hooks around a commit. Begin may refuse the plan before anything
  // is written; Abort undoes whatever was written since Begin and must not
  // throw; Finish makes the writes durable.
  virtual void CheckRemovable(int32_t page_no);
  virtual void BeginCommitWrites(const TABSCommitPlan& plan);
  virtual void FinishCommitWrites();
  virtual void AbortCommitWrites() noexcept;
  // Gives back page numbers that storage could not take back when they were
  // handed out by an allocation that failed (the disk refused every write).
  // Commits and rollbacks try it first.
  virtual void ReleaseAbandonedPages() noexcept {}
  // Brings a clean cached page up to date with storage (multi-user disk).
  virtual void RevalidateCachedPage(TABSPage& page);
  // Whether the owner field of page headers is kept (and so checked).
  virtual bool StoresPageOwners() const { return page_header_size_ != 0; }

 private:
  struct SavedImage {
    int32_t page_no;
    TABSMemoryBlock bytes;
  };
  struct Statement {
    uint64_t mark = 0;  // 0: none
    size_t added = 0;
    size_t removed = 0;
    std::vector<SavedImage> images;
  };
  struct Session {
    int32_t id;
    TABSSortedPageList dirty;
    std::vector<int32_t> added;
    std::vector<int32_t> removed;
    Statement statement;
  };

  Session* FindSession(int32_t id);
  const Session* FindSession(int32_t id) const;
  Session& FindOrAddSession(int32_t id);
  TABSCommitPlan PlanCommit(int32_t session_id, Session& session);
  void ApplyCommit(Session& session, const TABSCommitPlan& plan);
  void LoadIntoCache(int32_t session, int32_t page_no);
  // Raises unless the page has the type and owner asked for.
  void CheckPageIdentity(const TABSPage& page, uint16_t page_type, int32_t owner) const;
  // Under a statement savepoint: keeps the image of a page the session had
  // changed before the statement, or marks a page as new to the statement.
  void JoinStatement(Session& session, TABSPage& page, bool changed_before, bool defer_image);
  void TakeImage(Session& session, TABSPage& page);
  void TakePendingImage(TABSPage& page);
  void EndStatement(Session& session) noexcept;

  int32_t page_size_;
  int32_t page_header_size_;
  int32_t cache_capacity_;
  bool multi_user_ = false;
  TABSSortedPageList cache_;
  std::vector<std::unique_ptr<Session>> sessions_;
  Session* last_session_ = nullptr;  // sessions are never removed but all at once
  TABSRandomSource random_;
  uint64_t statement_counter_ = 0;
  // Page images of ended statements, kept for the next ones.
  std::vector<TABSMemoryBlock> spare_images_;
};

// Holds an allocation run of a page manager for a scope.
class TABSAllocationRun {
 public:
  explicit TABSAllocationRun(TABSPageManager& manager, int32_t pages = 0) : manager_(manager) {
    manager_.BeginAllocationRun(pages);
  }
  ~TABSAllocationRun() { manager_.EndAllocationRun(); }
  TABSAllocationRun(const TABSAllocationRun&) = delete;
  TABSAllocationRun& operator=(const TABSAllocationRun&) = delete;

 private:
  TABSPageManager& manager_;
};

}  // namespace kelvorin
