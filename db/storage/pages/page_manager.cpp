#include "db/storage/pages/page_manager.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_errors.h"

namespace kelvorin {

using namespace page_errors;

namespace {

// Page images kept for the statements to come.
constexpr size_t kMaxSpareImages = 64;

int32_t CacheCapacityFor(int64_t available_memory) {
  return static_cast<int32_t>(std::min<int64_t>(1000, available_memory / 65536));
}

TABSPageObserver* g_page_observer = nullptr;

void Observe(TABSPageObserver::Operation operation, int32_t session, int32_t page_no, uint16_t page_type) {
  if (g_page_observer != nullptr) g_page_observer->BeforePageOperation(operation, session, page_no, page_type);
}

}  // namespace

void SetPageObserver(TABSPageObserver* observer) { g_page_observer = observer; }

TABSPageManager::TABSPageManager(int32_t page_size, int32_t page_header_size)
    : page_size_(page_size),
      page_header_size_(page_header_size),
      cache_capacity_(CacheCapacityFor(MemoryManager().AvailableMemory())) {}

TABSPageManager::~TABSPageManager() = default;

void TABSPageManager::SetPageSize(int32_t page_size, int32_t page_header_size) {
  page_size_ = page_size;
  page_header_size_ = page_header_size;
}

void TABSPageManager::DiscardAll() {
  last_session_ = nullptr;
  sessions_.clear();
  cache_.Clear();
  spare_images_.clear();
}

int32_t TABSPageManager::PageCount() { return 0; }

TABSPageManager::Session* TABSPageManager::FindSession(int32_t id) {
  for (auto& s : sessions_) {
    if (s->id == id) return s.get();
  }
  return nullptr;
}

const TABSPageManager::Session* TABSPageManager::FindSession(int32_t id) const {
  for (const auto& s : sessions_) {
    if (s->id == id) return s.get();
  }
  return nullptr;
}

TABSPageManager::Session& TABSPageManager::FindOrAddSession(int32_t id) {
  if (last_session_ && last_session_->id == id) return *last_session_;
  if (Session* s = FindSession(id)) {
    last_session_ = s;
    return *s;
  }
  sessions_.push_back(std::make_unique<Session>());
  sessions_.back()->id = id;
  return *sessions_.back();
}

bool TABSPageManager::HasUncommittedPages() const {
  return std::any_of(sessions_.begin(), sessions_.end(),
                     [](const auto& s) { return s->dirty.Count() > 0; });
}

bool TABSPageManager::HasHeldPages() const {
  const auto held = [](const TABSSortedPageList& list) {
    for (int32_t i = 0; i < list.Count(); ++i) {
      if (list.At(i)->use_count > 0) return true;
    }
    return false;
  };
  return held(cache_) || std::any_of(sessions_.begin(), sessions_.end(), [&](const auto& s) { return held(s->dirty); });
}

void TABSPageManager::CheckCommitted() const {
  if (HasUncommittedPages()) throw EABSException(kNotCommitted, "Cannot free not commited pages");
}

int32_t TABSPageManager::DirtyPageCount(int32_t session) const {
  const Session* s = FindSession(session);
  return s ? s->dirty.Count() : 0;
}

void TABSPageManager::CheckRemovable(int32_t) {}
void TABSPageManager::BeginCommitWrites(const TABSCommitPlan&) {}
void TABSPageManager::FinishCommitWrites() {}
void TABSPageManager::AbortCommitWrites() noexcept {}
void TABSPageManager::RevalidateCachedPage(TABSPage&) {}

TABSPage* TABSPageManager::AddPage(int32_t session_id, uint16_t page_type) {
  Observe(TABSPageObserver::Operation::kAdd, session_id, -1, page_type);
  Session& session = FindOrAddSession(session_id);
  auto page = std::make_unique<TABSPage>(this, -1);
  AllocatePageNumber(*page);
  const int32_t page_no = page->PageNo();
  if (page_no == -1) throw EABSException(kInvalidPageNumber, "Invalid page number");
  try {
    page->use_count = 1;
    page->dirty = true;
    page->loaded = false;
    if (page_header_size_ != 0) {
      page->SetPageType(page_type);
      page->SetWriteCounter(static_cast<int32_t>(random_.Between(0, kMaxInitialWriteCounter)));
    }
    page->list = TABSPageListKind::kSession;
    page->owner_session = session_id;
    // A stale copy of a page number that was freed and handed out again.
    if (TABSPage* old = cache_.Find(page_no); old && old->use_count == 0) cache_.Delete(page_no);
    page->statement_mark = session.statement.mark;
    session.added.push_back(page_no);
    try {
      session.dirty.Add(std::move(page));
    } catch (...) {
      session.added.pop_back();
      throw;
    }
  } catch (...) {
    // The number must not stay taken by a page nobody has.
    try {
      FreePageNumber(page_no);
    } catch (...) {
    }
    throw;
  }
  return session.dirty.Find(page_no);
}

void TABSPageManager::LoadIntoCache(int32_t session, int32_t page_no) {
  // A full cache gives its least recently used page object (and buffer) to
  // the new page instead of freeing one and allocating another.
  std::unique_ptr<TABSPage> page;
  if (cache_.Count() >= cache_capacity_) page = cache_.TakeLeastRecentlyUsedUnheld();
  if (page && page->BufferSize() == page_size_) {
    page->SetPageNo(page_no);
  } else {
    page = std::make_unique<TABSPage>(this, page_no);
    page->AllocateBuffer();
  }
  page->dirty = false;
  page->use_count = 0;
  page->encrypt = true;
  page->owner_session = session;
  page->list = TABSPageListKind::kCache;
  ReadPage(*page);  // a failed read never reaches the cache
  page->loaded = true;
  cache_.Add(std::move(page));
}

void TABSPageManager::CheckPageIdentity(const TABSPage& page, uint16_t page_type, int32_t owner) const {
  if (page_header_size_ == 0) return;
  if (page_type != kAnyPageType && page.PageType() != page_type) {
    throw EABSException(kInvalidPageType, "Invalid page type. Possibly data is corrupted");
  }
  if (owner != kAnyPageOwner && StoresPageOwners() && page.Owner() != owner) {
    throw EABSException(kInvalidPageOwner, "Invalid page owner. Possibly data is corrupted");
  }
}

TABSPage* TABSPageManager::GetPage(int32_t session_id, int32_t page_no, uint16_t page_type, int32_t owner,
                                   bool defer_image) {
  if (session_id == kInvalidSessionId) throw EABSException(kInvalidSession, "Invalid Session ID");
  Observe(TABSPageObserver::Operation::kGet, session_id, page_no, page_type);
  Session& session = FindOrAddSession(session_id);
  TABSPage* page = session.dirty.Find(page_no);
  const bool changed_before = page != nullptr;
  if (page == nullptr) {
    page = cache_.Find(page_no);
    if (page != nullptr) {
      if (page->use_count > 0 && page->owner_session != session_id) {
        throw EABSException(kPageUsedByOther, "Page is used by other session");
      }
      if (multi_user_ && page->use_count == 0 && !page->dirty) {
        try {
          RevalidateCachedPage(*page);
        } catch (...) {
          cache_.Delete(page_no);
          throw;
        }
      }
    } else {
      LoadIntoCache(session_id, page_no);
      page = cache_.Find(page_no);
      try {
        CheckPageIdentity(*page, page_type, owner);
      } catch (...) {
        cache_.Delete(page_no);
        throw;
      }
    }
  }
  // A page found in the cache or among the session's changes is checked too:
  // it may have been loaded for another structure.
  CheckPageIdentity(*page, page_type, owner);
  JoinStatement(session, *page, changed_before, defer_image);
  page->owner_session = session_id;
  ++page->use_count;
  return page;
}

void TABSPageManager::PutPage(TABSPage* page) {
  if (page == nullptr || page->use_count <= 0) return;
  if (--page->use_count > 0) return;
  page->loaded = false;
  if (page->list != TABSPageListKind::kCache) return;
  if (page->dirty) {
    Session& owner = FindOrAddSession(page->owner_session);
    std::unique_ptr<TABSPage> moved = cache_.Take(page->PageNo());
    moved->list = TABSPageListKind::kSession;
    owner.dirty.Add(std::move(moved));
    return;
  }
  cache_.Touch(page);
  if (cache_.Count() > cache_capacity_) cache_.EvictUnheld(cache_capacity_);
}

void TABSPageManager::RemovePage(int32_t session_id, int32_t page_no) {
  Observe(TABSPageObserver::Operation::kRemove, session_id, page_no, kAnyPageType);
  Session& session = FindOrAddSession(session_id);
  // A page removed twice is freed once.
  if (std::find(session.removed.begin(), session.removed.end(), page_no) == session.removed.end()) {
    session.removed.push_back(page_no);
  }
}

TABSCommitPlan TABSPageManager::PlanCommit(int32_t session_id, Session& session) {
  TABSCommitPlan plan;
  plan.session = session_id;
  std::unordered_set<int32_t> removed;
  for (const int32_t page_no : session.removed) {
    if (!removed.insert(page_no).second) continue;
    CheckRemovable(page_no);
    const TABSPage* page = session.dirty.Find(page_no);
    if (page != nullptr && page->use_count > 0) {
      throw EABSException(kRemoveUsedPage, "Cannot remove used page");
    }
    // A freed page must not stay cached for someone who still holds it.
    const TABSPage* cached = cache_.Find(page_no);
    if (cached != nullptr && cached->use_count > 0) {
      throw EABSException(kPageUsedByOther, "Page is used by other session");
    }
    plan.removed.push_back(page_no);
  }
  for (int32_t i = 0; i < session.dirty.Count(); ++i) {
    TABSPage* page = session.dirty.At(i);
    if (removed.count(page->PageNo())) continue;
    if (!page->dirty) throw EABSException(kInvalidDirtyPage, "Invalid dirty page");
    if (page->use_count > 0) throw EABSException(kWriteUsedPage, "Cannot write used page");
    // The committed page replaces any older copy in the cache, which must
    // therefore be free to drop.
    const TABSPage* cached = cache_.Find(page->PageNo());
    if (cached != nullptr && cached->use_count > 0) {
      throw EABSException(kPageUsedByOther, "Page is used by other session");
    }
    plan.dirty.push_back(page);
  }
  plan.added = session.added;
  std::sort(plan.added.begin(), plan.added.end());
  return plan;
}

void TABSPageManager::CommitSession(int32_t session_id) {
  ReleaseAbandonedPages();
  for (int32_t i = 0; i < cache_.Count(); ++i) {
    const TABSPage* page = cache_.At(i);
    if (page->owner_session == session_id && page->use_count > 0) {
      throw EABSException(kPagesNotReleased, "Some session pages are not released");
    }
  }
  Session* session = FindSession(session_id);
  if (session == nullptr) return;
  const TABSCommitPlan plan = PlanCommit(session_id, *session);
  if (plan.removed.empty() && plan.dirty.empty()) {
    session->added.clear();
    EndStatement(*session);
    return;
  }
  BeginCommitWrites(plan);
  try {
    for (const int32_t page_no : plan.removed) FreePageNumber(page_no);
    for (TABSPage* page : plan.dirty) WritePage(*page);
    FinishCommitWrites();
  } catch (...) {
    AbortCommitWrites();
    throw;
  }
  ApplyCommit(*session, plan);
}

void TABSPageManager::ApplyCommit(Session& session, const TABSCommitPlan& plan) {
  const std::unordered_set<int32_t> removed(plan.removed.begin(), plan.removed.end());
  for (const int32_t page_no : plan.removed) {
    if (TABSPage* cached = cache_.Find(page_no); cached && cached->use_count == 0) {
      cache_.Delete(page_no);
    }
  }
  // All at once: taking the pages one by one would move the rest each time.
  for (std::unique_ptr<TABSPage>& owned : session.dirty.TakeAll()) {
    if (removed.count(owned->PageNo())) continue;
    owned->dirty = false;
    if (cache_.Find(owned->PageNo())) cache_.Delete(owned->PageNo());
    if (cache_.Count() < cache_capacity_) {
      owned->list = TABSPageListKind::kCache;
      cache_.Add(std::move(owned));
    }
  }
  session.added.clear();
  session.removed.clear();
  EndStatement(session);
}

void TABSPageManager::RollbackSession(int32_t session_id) {
  ReleaseAbandonedPages();
  Session* session = FindSession(session_id);
  if (session == nullptr) return;
  for (int32_t i = 0; i < session->dirty.Count(); ++i) {
    const TABSPage* page = session->dirty.At(i);
    if (!page->dirty) throw EABSException(kInvalidIndexPage, "Invalid index page");
    if (page->use_count > 0) throw EABSException(kRemoveUsedPage, "Cannot remove used page");
  }
  session->dirty.Clear();
  session->removed.clear();
  EndStatement(*session);
  // Each number leaves the list as it is given back, so a failure part-way
  // leaves exactly the numbers still owed: to the next rollback, which frees
  // what is added, and to the next commit, which frees what is removed.
  while (!session->added.empty()) {
    try {
      FreePageNumber(session->added.back());
    } catch (...) {
      session->removed = session->added;
      throw;
    }
    session->added.pop_back();
  }
}

void TABSPageManager::RollbackAllSessions() noexcept {
  ReleaseAbandonedPages();
  for (const auto& session : sessions_) {
    try {
      RollbackSession(session->id);
    } catch (...) {
      // What cannot be given back stays allocated: a leak, never damage.
    }
  }
}

void TABSPageManager::BeginStatement(int32_t session_id) {
  Session& session = FindOrAddSession(session_id);
  if (session.statement.mark != 0) {
    throw EABSException(kStatementActive, "A statement of session %d is already active", {session_id});
  }
  session.statement.mark = ++statement_counter_;
  session.statement.added = session.added.size();
  session.statement.removed = session.removed.size();
  session.statement.images.clear();
}

bool TABSPageManager::InStatement(int32_t session_id) const {
  const Session* session = FindSession(session_id);
  return session != nullptr && session->statement.mark != 0;
}

void TABSPageManager::JoinStatement(Session& session, TABSPage& page, bool changed_before, bool defer_image) {
  const Statement& statement = session.statement;
  if (statement.mark == 0) return;
  if (page.statement_mark == statement.mark) {
    // Joined earlier by a holder that changes it only through PrepareChange.
    if (page.image_pending && !defer_image) TakeImage(session, page);
    return;
  }
  // The copy first: a page marked without one would count as new to the
  // statement, and go at its rollback.
  if (changed_before && !defer_image) TakeImage(session, page);
  page.statement_mark = statement.mark;
  page.image_pending = changed_before && defer_image;
}

void TABSPageManager::TakeImage(Session& session, TABSPage& page) {
  TABSMemoryBlock image;
  if (!spare_images_.empty() && spare_images_.back().size() == page_size_) {
    image = std::move(spare_images_.back());
    spare_images_.pop_back();
  } else {
    image.Allocate(page_size_);
  }
  std::memcpy(image.bytes(), page.Buffer(), static_cast<size_t>(page_size_));
  session.statement.images.push_back({page.PageNo(), std::move(image)});
  page.image_pending = false;
}

void TABSPageManager::TakePendingImage(TABSPage& page) {
  Session* session = FindSession(page.owner_session);
  if (session == nullptr || session->statement.mark == 0 || session->statement.mark != page.statement_mark) {
    page.image_pending = false;
    return;
  }
  TakeImage(*session, page);
}

void TABSPageManager::EndStatement(Session& session) noexcept {
  Statement& statement = session.statement;
  for (SavedImage& image : statement.images) {
    if (spare_images_.size() >= kMaxSpareImages) break;
    try {
      spare_images_.push_back(std::move(image.bytes));
    } catch (...) {
      break;
    }
  }
  statement.images.clear();
  statement.mark = 0;
}

void TABSPageManager::ReleaseStatement(int32_t session_id) noexcept {
  if (Session* session = FindSession(session_id)) EndStatement(*session);
}

void TABSPageManager::RollbackStatement(int32_t session_id) {
  Session* session = FindSession(session_id);
  if (session == nullptr || session->statement.mark == 0) return;
  Statement& statement = session->statement;
  const uint64_t mark = statement.mark;
  for (const TABSSortedPageList* list : {&session->dirty, &cache_}) {
    for (int32_t i = 0; i < list->Count(); ++i) {
      const TABSPage* page = list->At(i);
      if (page->statement_mark == mark && page->use_count > 0) {
        throw EABSException(kRemoveUsedPage, "Cannot remove used page");
      }
    }
  }
  for (SavedImage& image : statement.images) {
    TABSPage* page = session->dirty.Find(image.page_no);
    if (page == nullptr) continue;
    std::memcpy(page->Buffer(), image.bytes.bytes(), static_cast<size_t>(page_size_));
    page->dirty = true;
    page->statement_mark = 0;
  }
  std::vector<int32_t> joined;
  for (int32_t i = 0; i < session->dirty.Count(); ++i) {
    TABSPage* page = session->dirty.At(i);
    if (page->statement_mark != mark) continue;
    if (page->image_pending) {
      // Changed before the statement and not since.
      page->image_pending = false;
      page->statement_mark = 0;
      continue;
    }
    joined.push_back(page->PageNo());
  }
  for (const int32_t page_no : joined) session->dirty.Take(page_no);
  if (session->removed.size() > statement.removed) session->removed.resize(statement.removed);
  EndStatement(*session);
  // The numbers go back to storage at once; those that cannot stay owed to
  // both ends of the transaction: its commit frees what it removes, its
  // rollback what it added.
  while (session->added.size() > statement.added) {
    const int32_t page_no = session->added.back();
    try {
      FreePageNumber(page_no);
    } catch (...) {
      for (size_t i = statement.added; i < session->added.size(); ++i) RemovePage(session_id, session->added[i]);
      return;
    }
    session->added.pop_back();
  }
}

}  // namespace kelvorin
