#include "db/storage/blobs/large_blob.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "db/storage/blobs/blob_errors.h"
#include "db/storage/blobs/small_blob_page.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_hold.h"

namespace kelvorin {
namespace {

constexpr int32_t kListEntrySize = 4;

// A new BLOB page of the owner, noted among the pages a store added.
TABSPageHold AddBlobPage(TABSPageManager& pages, int32_t session, int32_t owner, std::vector<int32_t>& added) {
  TABSPageHold page = TABSPageHold::Add(pages, session, ptTableBlob);
  page->SetOwner(owner);
  added.push_back(page->PageNo());
  return page;
}

}  // namespace

TABSLargeBlobLayout::TABSLargeBlobLayout(int64_t stored_size, int32_t data_size) {
  const int64_t total = kFirstDataOffset + stored_size;
  data_pages = (total + data_size - 1) / data_size;
  const int64_t last_used = total - (data_pages - 1) * data_size;
  list_in_last_data_page = last_used < data_size;
  list_offset = list_in_last_data_page ? static_cast<int32_t>(last_used) : 0;
  const int64_t room_in_last = list_in_last_data_page ? data_size - last_used : 0;
  const int64_t rest = std::max<int64_t>(0, data_pages * kListEntrySize - room_in_last);
  extra_list_pages = (rest + data_size - 1) / data_size;
}

int32_t TABSLargeBlobStore::Store(const TABSBlobValue& value) {
  const int32_t data_size = pages_.DataSize();
  const int64_t stored_size = value.StoredSize();
  const TABSLargeBlobLayout layout(stored_size, data_size);
  const uint8_t* source = value.bytes.bytes();
  std::vector<int32_t> added;
  added.reserve(static_cast<size_t>(layout.data_pages + layout.extra_list_pages));
  const TABSAllocationRun run(pages_, static_cast<int32_t>(layout.data_pages + layout.extra_list_pages));
  try {
    TABSPageHold first = AddBlobPage(pages_, session_, owner_, added);
    int64_t done = std::min<int64_t>(stored_size, data_size - TABSLargeBlobLayout::kFirstDataOffset);
    std::memcpy(first->Data() + TABSLargeBlobLayout::kFirstDataOffset, source, done);
    TABSPageHold last;
    for (int64_t k = 1; k < layout.data_pages; ++k) {
      TABSPageHold page = AddBlobPage(pages_, session_, owner_, added);
      const int64_t chunk = std::min<int64_t>(data_size, stored_size - done);
      std::memcpy(page->Data(), source + done, chunk);
      done += chunk;
      if (k == layout.data_pages - 1 && layout.list_in_last_data_page) last = std::move(page);
    }

    const int64_t list_size = layout.data_pages * kListEntrySize;
    TABSMemoryBlock list(list_size);
    for (int64_t i = 0; i < layout.data_pages; ++i) StoreLE(list.bytes() + i * kListEntrySize, added[i]);
    TABSPageHold current = layout.list_in_last_data_page ? std::move(last) : AddBlobPage(pages_, session_, owner_, added);
    const int32_t list_start = current->PageNo();
    int64_t offset = layout.list_offset;
    for (int64_t written = 0;;) {
      const int64_t chunk = std::min<int64_t>(data_size - offset, list_size - written);
      std::memcpy(current->Data() + offset, list.bytes() + written, chunk);
      written += chunk;
      if (written == list_size) break;
      TABSPageHold next = AddBlobPage(pages_, session_, owner_, added);
      current->SetNextPage(next->PageNo());
      current = std::move(next);
      offset = 0;
    }
    current.Release();

    value.Header().Store(first->Data());
    uint8_t* locator = first->Data() + TABSLargeBlobLayout::kLocatorOffset;
    StoreLE(locator, list_start);
    StoreLE(locator + 4, static_cast<uint16_t>(layout.list_offset));
    StoreLE(locator + 6, static_cast<int32_t>(layout.data_pages));
    return first->PageNo();
  } catch (...) {
    for (const int32_t page_no : added) {
      try {
        pages_.RemovePage(session_, page_no);
      } catch (...) {
        // The session's rollback gives the page back.
      }
    }
    throw;
  }
}

void TABSLargeBlobStore::Damaged(int32_t first_page, const std::string& reason) const {
  throw EABSException(native::kLargeBlobDamaged, {first_page, reason});
}

void TABSLargeBlobStore::CheckPageNo(int32_t first_page, int32_t page_no) const {
  if (page_no < 1 || page_no >= page_count_) Damaged(first_page, "it names page " + std::to_string(page_no));
}

TABSLargeBlobPages TABSLargeBlobStore::Pages(int32_t first_page, bool check_data_pages) {
  CheckPageNo(first_page, first_page);
  const int32_t data_size = pages_.DataSize();
  TABSLargeBlobPages where;
  int32_t list_start;
  int32_t list_offset;
  int32_t page_total;
  {
    const TABSPageHold first = TABSPageHold::Get(pages_, session_, first_page, ptTableBlob, owner_);
    const uint8_t* locator = first->Data() + TABSLargeBlobLayout::kLocatorOffset;
    where.header = TABSBlobEntryHeader::Load(first->Data());
    list_start = LoadLE<int32_t>(locator);
    list_offset = LoadLE<uint16_t>(locator + 4);
    page_total = LoadLE<int32_t>(locator + 6);
  }
  const int64_t stored_size = where.header.stored_size;
  if (!where.header.HasValidSizes() || TABSSmallBlobPage::IsSmall(stored_size, data_size) ||
      stored_size > int64_t{page_count_} * data_size) {
    Damaged(first_page, "its stored size is " + std::to_string(stored_size));
  }
  const TABSLargeBlobLayout layout(stored_size, data_size);
  if (layout.data_pages + layout.extra_list_pages > page_count_) {
    Damaged(first_page, "it needs more pages than the file has");
  }
  if (page_total != layout.data_pages || list_offset != layout.list_offset) {
    Damaged(first_page, "its locator does not fit its size");
  }
  CheckPageNo(first_page, list_start);
  where.data_pages = ReadList(first_page, layout, list_start, where.list_pages);

  std::vector<int32_t> sorted = where.data_pages;
  std::sort(sorted.begin(), sorted.end());
  for (size_t i = 0; i < sorted.size(); ++i) {
    CheckPageNo(first_page, sorted[i]);
    if (i > 0 && sorted[i] == sorted[i - 1]) Damaged(first_page, "its page list names page twice");
  }
  const auto is_data_page = [&](int32_t page_no) { return std::binary_search(sorted.begin(), sorted.end(), page_no); };
  if (where.data_pages.front() != first_page) Damaged(first_page, "its page list starts elsewhere");
  if (layout.list_in_last_data_page ? where.data_pages.back() != list_start : is_data_page(list_start)) {
    Damaged(first_page, "its page list is not where its last byte ends");
  }
  for (const int32_t page_no : where.list_pages) {
    if (is_data_page(page_no)) Damaged(first_page, "its page list shares a page with its data");
  }
  if (check_data_pages) {
    for (size_t k = 1; k < where.data_pages.size(); ++k) {
      TABSPageHold::Get(pages_, session_, where.data_pages[k], ptTableBlob, owner_);
    }
  }
  return where;
}

std::vector<int32_t> TABSLargeBlobStore::ReadList(int32_t first_page, const TABSLargeBlobLayout& layout,
                                                  int32_t list_start, std::vector<int32_t>& list_pages) {
  const int32_t data_size = pages_.DataSize();
  const int64_t list_size = layout.data_pages * kListEntrySize;
  const int64_t pages_expected = layout.extra_list_pages + (layout.list_in_last_data_page ? 1 : 0);
  // Entries may straddle two pages of the list: their bytes are gathered
  // one by one. Taking no engine memory, undoing a store can read it too.
  std::vector<int32_t> data_pages;
  data_pages.reserve(static_cast<size_t>(layout.data_pages));
  uint8_t entry[kListEntrySize];
  int32_t entry_bytes = 0;
  std::vector<int32_t> walked;
  int32_t page_no = list_start;
  int64_t offset = layout.list_offset;
  for (int64_t read = 0;;) {
    if (std::find(walked.begin(), walked.end(), page_no) != walked.end()) {
      Damaged(first_page, "its page list loops");
    }
    walked.push_back(page_no);
    const TABSPageHold page = TABSPageHold::Get(pages_, session_, page_no, ptTableBlob, owner_);
    const int64_t chunk = std::min<int64_t>(data_size - offset, list_size - read);
    for (const uint8_t* p = page->Data() + offset; p < page->Data() + offset + chunk; ++p) {
      entry[entry_bytes++] = *p;
      if (entry_bytes == kListEntrySize) {
        data_pages.push_back(LoadLE<int32_t>(entry));
        entry_bytes = 0;
      }
    }
    read += chunk;
    const int32_t next = page->NextPage();
    if (read == list_size) {
      if (next != -1) Damaged(first_page, "its page list goes on");
      break;
    }
    if (static_cast<int64_t>(walked.size()) >= pages_expected) Damaged(first_page, "its page list is cut");
    CheckPageNo(first_page, next);
    page_no = next;
    offset = 0;
  }
  list_pages.assign(walked.begin() + (layout.list_in_last_data_page ? 1 : 0), walked.end());
  return data_pages;
}

template <typename F>
void TABSLargeBlobStore::ForEachChunk(const TABSLargeBlobPages& where, F&& take) {
  const int32_t data_size = pages_.DataSize();
  const int64_t stored_size = where.header.stored_size;
  int64_t done = 0;
  for (size_t k = 0; k < where.data_pages.size(); ++k) {
    const TABSPageHold page = TABSPageHold::Get(pages_, session_, where.data_pages[k], ptTableBlob, owner_);
    const int32_t from = k == 0 ? TABSLargeBlobLayout::kFirstDataOffset : 0;
    const int64_t chunk = std::min<int64_t>(data_size - from, stored_size - done);
    take(page->Data() + from, done, chunk);
    done += chunk;
  }
}

void TABSLargeBlobStore::Read(int32_t first_page, TABSBlobValue& value) {
  const TABSLargeBlobPages where = Pages(first_page, /*check_data_pages=*/false);
  TABSMemoryBlock bytes(where.header.stored_size);
  ForEachChunk(where, [&](const uint8_t* data, int64_t at, int64_t count) {
    std::memcpy(bytes.bytes() + at, data, count);
  });
  value.block_count = where.header.block_count;
  value.uncompressed_size = where.header.uncompressed_size;
  value.bytes = std::move(bytes);
}

TABSBlobEntryHeader TABSLargeBlobStore::CopyTo(int32_t first_page, TABSStream& stream) {
  const TABSLargeBlobPages where = Pages(first_page, /*check_data_pages=*/false);
  // Sized once, so that the page-sized writes do not grow it each time.
  const int64_t start = stream.Position();
  if (stream.Size() < start + where.header.stored_size) stream.SetSize(start + where.header.stored_size);
  stream.SetPosition(start);
  ForEachChunk(where, [&](const uint8_t* data, int64_t, int64_t count) {
    if (stream.Write(data, count) != count) Damaged(first_page, "its bytes cannot be copied");
  });
  return where.header;
}

void TABSLargeBlobStore::Delete(int32_t first_page) {
  const TABSLargeBlobPages where = Pages(first_page, /*check_data_pages=*/true);
  for (const int32_t page_no : where.data_pages) pages_.RemovePage(session_, page_no);
  for (const int32_t page_no : where.list_pages) pages_.RemovePage(session_, page_no);
}

}  // namespace kelvorin
