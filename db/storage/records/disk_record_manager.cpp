#include "db/storage/records/disk_record_manager.h"

#include <algorithm>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/records/record_errors.h"

namespace kelvorin {

int32_t TABSDiskRecordManager::CreateIndex(TABSPageManager& pages, int32_t session) {
  return TABSBTreeRecordPageIndex::Create(pages, session);
}

TABSDiskRecordManager::TABSDiskRecordManager(TABSPageManager& pages, const TABSRecordLayout& layout,
                                             int32_t table_id, int32_t index_root)
    : pages_(pages),
      layout_(layout),
      table_id_(table_id),
      records_per_page_(kelvorin::RecordsPerPage(pages.DataSize(), layout.StoredSize())),
      index_(pages, index_root, records_per_page_) {
  if (records_per_page_ <= 0) throw EABSException(native::kRecordTooLarge);
  if (TABSSmallRecordPage::BitmapSize(records_per_page_) + int64_t{records_per_page_} * layout_.StoredSize() >
      pages.DataSize()) {
    throw EABSException(native::kRecordPageGeometry);
  }
}

void TABSDiskRecordManager::DropIndex(int32_t session) {
  index_.Drop(session);
  InvalidateCaches();
}

void TABSDiskRecordManager::CheckRecordId(TABSRecordId id) const {
  if (id.page_no < 0 || id.slot >= records_per_page_) {
    throw EABSException(native::kInvalidRecordId, {id.page_no, id.slot, records_per_page_});
  }
}

TABSPageHold TABSDiskRecordManager::GetRecordPage(int32_t session, int32_t page_no) {
  if (!acceptance_check_) return TABSPageHold::Get(pages_, session, page_no, ptTableRecord, table_id_);
  // Another process may have freed the page (its write counter then says so)
  // or reused it for something else since the index was read.
  TABSPageHold page = TABSPageHold::Get(pages_, session, page_no, kAnyPageType);
  if (page->WriteCounter() > kWriteCounterLimit || page->PageType() != ptTableRecord ||
      page->Owner() != table_id_) {
    return {};
  }
  return page;
}

// --- The pages the index lists ---

const std::vector<int32_t>* TABSDiskRecordManager::ListedPages(int32_t session) {
  if (pages_.MultiUser()) return nullptr;
  if (listed_.session != session || listed_.generation != index_generation_) {
    listed_.pages.clear();
    listed_.generation = ~uint64_t{0};
    for (const TABSPageAmount& entry : index_.Entries(session)) {
      if (!listed_.pages.empty() && entry.page_no <= listed_.pages.back()) {
        throw EABSException(native::kRecordPageListDamaged, {entry.page_no});
      }
      listed_.pages.push_back(entry.page_no);
    }
    listed_.session = session;
    listed_.generation = index_generation_;
  }
  return &listed_.pages;
}

bool TABSDiskRecordManager::IsListed(int32_t session, int32_t page_no) {
  if (const std::vector<int32_t>* pages = ListedPages(session)) {
    return std::binary_search(pages->begin(), pages->end(), page_no);
  }
  return index_.Amount(session, page_no) > 0;
}

int32_t TABSDiskRecordManager::FirstListed(int32_t session, bool last) {
  if (const std::vector<int32_t>* pages = ListedPages(session)) {
    if (pages->empty()) return -1;
    return last ? pages->back() : pages->front();
  }
  return last ? index_.LastPage(session) : index_.FirstPage(session);
}

int32_t TABSDiskRecordManager::ListedAfter(int32_t session, int32_t page_no, bool forward) {
  if (const std::vector<int32_t>* pages = ListedPages(session)) {
    if (forward) {
      const auto next = std::upper_bound(pages->begin(), pages->end(), page_no);
      return next == pages->end() ? -1 : *next;
    }
    const auto at = std::lower_bound(pages->begin(), pages->end(), page_no);
    return at == pages->begin() ? -1 : *(at - 1);
  }
  return forward ? index_.NextPage(session, page_no) : index_.PriorPage(session, page_no);
}

void TABSDiskRecordManager::Listed(int32_t session, int32_t page_no) {
  if (listed_.session == session && listed_.generation == index_generation_) {
    listed_.pages.insert(std::upper_bound(listed_.pages.begin(), listed_.pages.end(), page_no), page_no);
  } else {
    InvalidateCaches();
  }
}

void TABSDiskRecordManager::Unlisted(int32_t session, int32_t page_no) {
  if (listed_.session == session && listed_.generation == index_generation_) {
    const auto at = std::lower_bound(listed_.pages.begin(), listed_.pages.end(), page_no);
    if (at != listed_.pages.end() && *at == page_no) listed_.pages.erase(at);
  } else {
    InvalidateCaches();
  }
}

int64_t TABSDiskRecordManager::PhysicalRecordNumberBound(int32_t session) {
  const int32_t last = FirstListed(session, /*last=*/true);
  return (int64_t{last} + 1) * records_per_page_;
}

// --- Changes ---

void TABSDiskRecordManager::Empty(int32_t session) {
  const std::vector<TABSPageAmount> entries = index_.Entries(session);
  // Every page is checked before anything changes: only record pages of
  // this table, each listed once, are given up.
  std::vector<int32_t> owned;
  owned.reserve(entries.size());
  for (const TABSPageAmount& entry : entries) {
    if (!owned.empty() && entry.page_no <= owned.back()) {
      throw EABSException(native::kRecordPageListDamaged, {entry.page_no});
    }
    // A page the acceptance check refuses is another process's by now.
    if (GetRecordPage(session, entry.page_no)) owned.push_back(entry.page_no);
  }
  index_.Empty(session);
  for (const int32_t page_no : owned) pages_.RemovePage(session, page_no);
  InvalidateCaches();
  listed_ = {session, index_generation_, {}};
  CountEmptied();
}

bool TABSDiskRecordManager::Insert(int32_t session, const uint8_t* record, TABSRecordId& id) {
  if (RecordCount() >= kMaxRecordCount) throw EABSException(native::kTableFull, {RecordCount()});
  try {
    return InsertInto(session, record, id);
  } catch (const EABSException&) {
    return false;
  }
}

bool TABSDiskRecordManager::InsertInto(int32_t session, const uint8_t* record, TABSRecordId& id) {
  const int32_t found = index_.FindPageWithRoom(session, 1);
  TABSPageHold page;
  if (found >= 0) {
    page = GetRecordPage(session, found);
    if (!page) return false;
  } else {
    page = TABSPageHold::Add(pages_, session, ptTableRecord);
    page->SetOwner(table_id_);
  }
  const int32_t page_no = page->PageNo();
  TABSSmallRecordPage view = View(page);
  const int32_t slot = view.FirstFree();
  if (slot < 0) throw EABSException(native::kRecordPageFull);
  try {
    index_.AddAmount(session, page_no, 1);
  } catch (...) {
    if (found < 0) {
      page.Release();
      pages_.RemovePage(session, page_no);
    }
    throw;
  }
  // Nothing can fail from here on.
  if (found < 0) Listed(session, page_no);
  view.SetUsed(slot, true);
  layout_.ToStored(record, view.Slot(slot));
  page.MarkDirty();
  CountInsert();
  id = {page_no, static_cast<uint16_t>(slot)};
  return true;
}

bool TABSDiskRecordManager::Update(int32_t session, const uint8_t* record, TABSRecordId id) {
  CheckRecordId(id);
  if (!IsListed(session, id.page_no)) return false;
  TABSPageHold page = GetRecordPage(session, id.page_no);
  if (!page) return false;
  TABSSmallRecordPage view = View(page);
  if (!view.IsUsed(id.slot)) return false;
  layout_.ToStored(record, view.Slot(id.slot));
  page.MarkDirty();
  CountUpdate();
  return true;
}

bool TABSDiskRecordManager::Delete(int32_t session, TABSRecordId id) {
  CheckRecordId(id);
  const int32_t listed = index_.Amount(session, id.page_no);
  if (listed == 0) return false;
  TABSPageHold page = GetRecordPage(session, id.page_no);
  if (!page) return false;
  TABSSmallRecordPage view = View(page);
  if (!view.IsUsed(id.slot)) return false;
  const int32_t used = view.UsedCount();
  if (used != listed) throw EABSException(native::kRecordPageMismatch, {id.page_no, used, listed});
  if (RecordCount() <= 0) throw EABSException(native::kInvalidRecordCount, {RecordCount()});
  index_.SubtractAmount(session, id.page_no, 1);
  // Nothing can fail from here on but giving up the page.
  view.SetUsed(id.slot, false);
  page.MarkDirty();
  CountDelete();
  if (used == 1) {
    Unlisted(session, id.page_no);
    page.Release();
    pages_.RemovePage(session, id.page_no);
  }
  return true;
}

// --- Navigation ---

void TABSDiskRecordManager::Navigate(int32_t session, TABSNavigateRequest& request) {
  request.status = TABSNavigateStatus::kNotFound;
  if (RecordCount() == 0) {
    request.status = TABSNavigateStatus::kAfterLast;
    return;
  }
  using D = TABSNavigateDirection;
  if (request.go_to_first) {
    if (request.direction == D::kNext) {
      ReadEdge(session, request, /*last=*/false);
    } else if (request.direction == D::kPrior) {
      request.status = TABSNavigateStatus::kBeforeFirst;
    }
  } else if (request.go_to_last) {
    if (request.direction == D::kPrior) {
      ReadEdge(session, request, /*last=*/true);
    } else if (request.direction == D::kNext) {
      request.status = TABSNavigateStatus::kAfterLast;
    }
  } else if (request.direction == D::kCurrent) {
    ReadCurrent(session, request);
  } else {
    Step(session, request, request.direction == D::kNext);
  }
  if (request.status == TABSNavigateStatus::kFound) request.go_to_first = request.go_to_last = false;
}

void TABSDiskRecordManager::Found(TABSNavigateRequest& request, const TABSSmallRecordPage& page, int32_t page_no,
                                  int32_t slot) const {
  request.record_id = {page_no, static_cast<uint16_t>(slot)};
  if (request.record != nullptr) layout_.ToMemory(page.Slot(slot), request.record);
  request.status = TABSNavigateStatus::kFound;
}

void TABSDiskRecordManager::ReadEdge(int32_t session, TABSNavigateRequest& request, bool last) {
  const int32_t page_no = FirstListed(session, last);
  if (page_no < 0) {
    request.status = last ? TABSNavigateStatus::kBeforeFirst : TABSNavigateStatus::kAfterLast;
    return;
  }
  ReadEndOfPage(session, request, page_no, last, last ? native::kLastRecordMissing : native::kFirstRecordMissing);
}

void TABSDiskRecordManager::ReadEndOfPage(int32_t session, TABSNavigateRequest& request, int32_t page_no, bool last,
                                          const TABSNativeError& missing) {
  const TABSPageHold page = GetRecordPage(session, page_no);
  if (!page) return;
  const TABSSmallRecordPage view = View(page);
  const int32_t slot = last ? view.LastUsed() : view.FirstUsed();
  // The index lists only pages that hold records.
  if (slot < 0) throw EABSException(missing);
  Found(request, view, page_no, slot);
}

void TABSDiskRecordManager::Step(int32_t session, TABSNavigateRequest& request, bool forward) {
  const TABSRecordId from = request.record_id;
  CheckRecordId(from);
  // The page of the record stepped from may be gone (its last record
  // deleted): the walk then goes on from where it was.
  if (IsListed(session, from.page_no)) {
    const TABSPageHold page = GetRecordPage(session, from.page_no);
    if (!page) return;
    const TABSSmallRecordPage view = View(page);
    const int32_t slot = forward ? view.NextUsed(from.slot) : view.PriorUsed(from.slot);
    if (slot >= 0) return Found(request, view, from.page_no, slot);
  }
  const int32_t page_no = ListedAfter(session, from.page_no, forward);
  if (page_no < 0) {
    request.status = forward ? TABSNavigateStatus::kAfterLast : TABSNavigateStatus::kBeforeFirst;
    return;
  }
  ReadEndOfPage(session, request, page_no, /*last=*/!forward,
                forward ? native::kNextRecordMissing : native::kPriorRecordMissing);
}

void TABSDiskRecordManager::ReadCurrent(int32_t session, TABSNavigateRequest& request) {
  const TABSRecordId id = request.record_id;
  CheckRecordId(id);
  if (!IsListed(session, id.page_no)) return;
  const TABSPageHold page = GetRecordPage(session, id.page_no);
  if (!page) return;
  const TABSSmallRecordPage view = View(page);
  if (view.IsUsed(id.slot)) Found(request, view, id.page_no, id.slot);
}

int64_t TABSDiskRecordManager::EstimatedPosition(int32_t, TABSRecordId) { return RecordCount() / 2; }

int64_t TABSDiskRecordManager::StoragePosition(int32_t session, TABSRecordId id) {
  CheckRecordId(id);
  if (!IsListed(session, id.page_no)) return -1;
  const TABSPageHold page = GetRecordPage(session, id.page_no);
  if (!page) return -1;
  const TABSSmallRecordPage view = View(page);
  if (!view.IsUsed(id.slot)) return -1;
  int32_t position = 0;
  for (int32_t slot = view.FirstUsed(); slot >= 0 && slot < id.slot; slot = view.NextUsed(slot)) ++position;
  return index_.NumberOfPosition(session, id.page_no, position);
}

bool TABSDiskRecordManager::RecordAtPosition(int32_t session, int64_t position, TABSRecordId& id) {
  if (position < 1) return false;
  const int64_t total = index_.TotalAmount(session);
  if (position > total) return false;
  const TABSBTreePageIndex::Position at = index_.PositionOfNumber(session, position);
  if (at.page_no < 0 || at.page_no >= pages_.PageCount()) {
    throw EABSException(native::kRecordPageListDamaged, {at.page_no});
  }
  const TABSPageHold page = GetRecordPage(session, at.page_no);
  if (!page) return false;
  const TABSSmallRecordPage view = View(page);
  int32_t slot = view.FirstUsed();
  for (int32_t i = 0; i < at.position && slot >= 0; ++i) slot = view.NextUsed(slot);
  // The page holds fewer records than its index entry says.
  if (slot < 0) throw EABSException(native::kRecordPageMismatch, {at.page_no, view.UsedCount(), at.position + 1});
  id = {at.page_no, static_cast<uint16_t>(slot)};
  return true;
}

void TABSDiskRecordManager::ForEachStoredRecord(
    int32_t session, const std::function<bool(TABSRecordId id, const uint8_t* stored)>& visit) {
  for (int32_t page_no = FirstListed(session, false); page_no >= 0;
       page_no = ListedAfter(session, page_no, /*forward=*/true)) {
    const TABSPageHold page = GetRecordPage(session, page_no);
    if (!page) continue;
    const TABSSmallRecordPage view = View(page);
    for (int32_t slot = view.FirstUsed(); slot >= 0; slot = view.NextUsed(slot)) {
      if (!visit({page_no, static_cast<uint16_t>(slot)}, view.Slot(slot))) return;
    }
  }
}

void TABSDiskRecordManager::ForEachRecord(int32_t session, uint8_t* record,
                                          const std::function<bool(TABSRecordId id)>& visit) {
  ForEachStoredRecord(session, [&](TABSRecordId id, const uint8_t* stored) {
    layout_.ToMemory(stored, record);
    return visit(id);
  });
}

}  // namespace kelvorin
