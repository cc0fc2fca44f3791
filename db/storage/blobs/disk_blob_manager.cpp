#include "db/storage/blobs/disk_blob_manager.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "db/storage/blobs/blob_errors.h"
#include "db/storage/blobs/small_blob_page.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {

int32_t TABSDiskBlobManager::CreateIndex(TABSPageManager& pages, int32_t session) {
  return TABSBTreeBlobPageIndex::Create(pages, session);
}

TABSDiskBlobManager::TABSDiskBlobManager(TABSDiskPageManager& pages, TABSDiskRecordManager& records,
                                         int32_t index_root)
    : TABSBlobManager(records.Layout()), pages_(pages), records_(records), index_(pages, index_root) {}

void TABSDiskBlobManager::DropIndex(int32_t session) { index_.Drop(session); }

void TABSDiskBlobManager::CheckReference(TABSBlobReference reference) {
  if (reference.NamesStoredValue() && !reference.HasValidSlot()) {
    throw EABSException(native::kInvalidBlobReference, {reference.page_no, reference.slot});
  }
}

int32_t TABSDiskBlobManager::PageCount() {
  // Only another process can have grown the file beyond what it last read.
  return pages_.MultiUser() ? pages_.PageCount() : pages_.Header().total_page_count;
}

TABSLargeBlobStore TABSDiskBlobManager::Large(int32_t session) {
  return TABSLargeBlobStore(pages_, session, records_.TableId(), PageCount());
}

TABSPageHold TABSDiskBlobManager::GetBlobPage(int32_t session, int32_t page_no) {
  if (page_no >= PageCount()) throw EABSException(native::kInvalidBlobReference, {page_no, 0});
  return TABSPageHold::Get(pages_, session, page_no, ptTableBlob, records_.TableId());
}

void TABSDiskBlobManager::CheckListed(int32_t session, int32_t page_no, int32_t amount) {
  const int32_t listed = index_.Amount(session, page_no);
  if (listed != amount) throw EABSException(native::kBlobPageMismatch, {page_no, amount, listed});
}

// --- Storing ---

TABSBlobReference TABSDiskBlobManager::StoreValue(int32_t session, const TABSBlobValue& value) {
  if (TABSSmallBlobPage::IsSmall(value.StoredSize(), pages_.DataSize())) return StoreSmall(session, value);
  return {Large(session).Store(value), TABSBlobReference::kLargeSlot};
}

TABSBlobReference TABSDiskBlobManager::StoreSmall(int32_t session, const TABSBlobValue& value) {
  const int32_t data_size = pages_.DataSize();
  const auto entry_size = static_cast<int32_t>(value.StoredSize() + TABSBlobEntryHeader::kStoredSize);
  const int32_t found = index_.FindPageWithRoom(session, entry_size);
  TABSPageHold page;
  if (found >= 0) {
    page = GetBlobPage(session, found);
  } else {
    page = TABSPageHold::Add(pages_, session, ptTableBlob);
    page->SetOwner(records_.TableId());
    TABSSmallBlobPage::Initialize(page->Data());
  }
  const int32_t page_no = page->PageNo();
  try {
    TABSSmallBlobPage view(page->Data(), data_size, page_no);
    const int16_t id = view.NextId();
    if (!view.HasRoom(value.StoredSize())) throw EABSException(native::kBlobPageFull);
    const int32_t listed = found >= 0 ? view.IndexAmount() : 0;
    if (found >= 0) CheckListed(session, page_no, listed);
    // The page's last entry makes it full for the index.
    index_.AddAmount(session, page_no,
                     TABSSmallBlobPage::IndexAmount(view.Count() + 1, view.UsedBytes() + entry_size, data_size) -
                         listed);
    view.Append(value.Header(id), value.bytes.bytes());
    page.MarkDirty();
    return {page_no, id};
  } catch (...) {
    if (found < 0) {
      page.Release();
      pages_.RemovePage(session, page_no);
    }
    throw;
  }
}

// --- Reading ---

template <typename F>
auto TABSDiskBlobManager::WithSmallValue(int32_t session, TABSBlobReference reference, F&& use) {
  const TABSPageHold page = GetBlobPage(session, reference.page_no);
  const TABSSmallBlobPage view(page->Data(), pages_.DataSize(), reference.page_no);
  const int32_t offset = view.Find(reference.slot);
  if (offset < 0) throw EABSException(native::kCannotReadBlob);
  return use(view.Entry(offset), view.Bytes(offset));
}

void TABSDiskBlobManager::ReadStoredValue(int32_t session, TABSBlobReference reference, TABSBlobValue& value) {
  CheckReference(reference);
  if (!reference.NamesStoredValue()) throw EABSException(native::kCannotReadBlob);
  if (reference.IsLarge()) return Large(session).Read(reference.page_no, value);
  WithSmallValue(session, reference, [&](const TABSBlobEntryHeader& header, const uint8_t* bytes) {
    TABSMemoryBlock copy(header.stored_size);
    if (header.stored_size > 0) std::memcpy(copy.bytes(), bytes, header.stored_size);
    value.block_count = header.block_count;
    value.uncompressed_size = header.uncompressed_size;
    value.bytes = std::move(copy);
  });
}

TABSBlobEntryHeader TABSDiskBlobManager::CopyStoredValue(int32_t session, TABSBlobReference reference,
                                                         TABSStream& stream) {
  CheckReference(reference);
  if (!reference.NamesStoredValue()) throw EABSException(native::kCannotReadBlob);
  if (reference.IsLarge()) return Large(session).CopyTo(reference.page_no, stream);
  return WithSmallValue(session, reference, [&](const TABSBlobEntryHeader& header, const uint8_t* bytes) {
    if (header.stored_size > 0 && stream.Write(bytes, header.stored_size) != header.stored_size) {
      throw EABSException(native::kCannotReadBlob);
    }
    return header;
  });
}

// --- Deleting ---

void TABSDiskBlobManager::DeleteValue(int32_t session, TABSBlobReference reference) {
  CheckReference(reference);
  if (!reference.NamesStoredValue()) return;
  if (reference.IsLarge()) return Large(session).Delete(reference.page_no);
  DeleteSmall(session, reference);
}

void TABSDiskBlobManager::DeleteSmall(int32_t session, TABSBlobReference reference) {
  TABSPageHold page = GetBlobPage(session, reference.page_no);
  const int32_t data_size = pages_.DataSize();
  TABSSmallBlobPage view(page->Data(), data_size, reference.page_no);
  const int32_t offset = view.Find(reference.slot);
  if (offset < 0) throw EABSException(native::kBlobEntryMissing);
  const auto entry_size = static_cast<int32_t>(view.Entry(offset).stored_size + TABSBlobEntryHeader::kStoredSize);
  const int32_t listed = view.IndexAmount();
  CheckListed(session, reference.page_no, listed);
  const int32_t remaining =
      view.Count() == 1 ? 0
                        : TABSSmallBlobPage::IndexAmount(view.Count() - 1, view.UsedBytes() - entry_size, data_size);
  index_.SubtractAmount(session, reference.page_no, listed - remaining);
  view.Remove(offset);
  page.MarkDirty();
  if (view.Count() == 0) {
    page.Release();
    pages_.RemovePage(session, reference.page_no);
  }
}

void TABSDiskBlobManager::DeleteAll(int32_t session) {
  if (index_.RootPage() < 0) return;
  std::vector<int32_t> pages;
  TABSLargeBlobStore large = Large(session);
  records_.ForEachStoredRecord(session, [&](TABSRecordId, const uint8_t* stored) {
    for (const TABSBlobFieldSlot& slot : Layout().BlobFields()) {
      if (TABSRecordLayout::IsNull(stored, slot.field_no)) continue;
      const TABSBlobReference reference = TABSBlobReference::Load(stored + slot.stored_offset);
      CheckReference(reference);
      if (!reference.NamesStoredValue() || !reference.IsLarge()) continue;
      const TABSLargeBlobPages where = large.Pages(reference.page_no, /*check_data_pages=*/true);
      pages.insert(pages.end(), where.data_pages.begin(), where.data_pages.end());
      pages.insert(pages.end(), where.list_pages.begin(), where.list_pages.end());
    }
    return true;
  });
  for (const TABSPageAmount& entry : index_.Entries(session)) {
    GetBlobPage(session, entry.page_no);
    pages.push_back(entry.page_no);
  }
  std::sort(pages.begin(), pages.end());
  const auto twice = std::adjacent_find(pages.begin(), pages.end());
  if (twice != pages.end()) throw EABSException(native::kBlobPageTwice, {*twice});
  index_.Empty(session);
  for (const int32_t page_no : pages) pages_.RemovePage(session, page_no);
  InvalidateCaches();
}

}  // namespace kelvorin
