#include "db/tables/btree/btree_page.h"

#include <cstring>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/database_file_layout.h"
#include "db/tables/btree/btree_errors.h"

namespace kelvorin {

namespace {

const TABSBTreeLeafController kLeafController;
const TABSBTreeNodeController kNodeController;

}  // namespace

// Lower bound (first-equal, exact) or upper bound (last-equal) over the
// entries, with one comparison per step.
TABSBTreeSearchResult TABSBTreeLeafController::Search(const TABSBTreePage& page,
                                                      const TABSBTreeSearch& search) const {
  TABSBTreeSearchResult result;
  int32_t lo = 0;
  int32_t hi = page.Count();
  int decisive = 1;  // the comparison at the final bound
  if (search.mode == TABSBTreeSearchMode::kLastEqual) {
    while (lo < hi) {
      const int32_t mid = lo + (hi - lo) / 2;
      const int r = search.probe.CompareEntry(page.Key(mid), page.Payload(mid));
      if (r >= 0) {
        lo = mid + 1;
        decisive = r;
      } else {
        hi = mid;
      }
    }
    result.position = lo - 1;
    result.found = lo > 0 && decisive == 0;
    return result;
  }
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    const int r = search.probe.CompareEntry(page.Key(mid), page.Payload(mid));
    if (r > 0) {
      lo = mid + 1;
    } else {
      hi = mid;
      decisive = r;
    }
  }
  result.position = lo;
  result.found = lo < page.Count() && decisive == 0;
  return result;
}

// The last entry whose separator the probe does not fall below. Ties go left
// when looking for the first equal key and right for the last; with an
// identifier, and wherever cut values leave the key bytes undecided, the
// child's first leaf entry settles the separator exactly.
TABSBTreeSearchResult TABSBTreeNodeController::Search(const TABSBTreePage& page,
                                                      const TABSBTreeSearch& search) const {
  TABSBTreeSearchResult result;
  int32_t lo = 1;
  int32_t hi = page.Count() - 1;
  int32_t chosen = 0;
  while (lo <= hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    int r = search.probe.CompareSeparator(page.Key(mid));
    bool settled_by_child = false;
    if (r == TABSBTreeProbe::kUndecided || (r == 0 && search.mode == TABSBTreeSearchMode::kExact)) {
      r = search.child_bound->CompareWithFirstEntry(page.Child(mid), search.level + 1);
      settled_by_child = true;
    }
    const bool right = search.mode == TABSBTreeSearchMode::kFirstEqual ? r > 0 : r >= 0;
    if (right) {
      chosen = mid;
      lo = mid + 1;
    } else {
      hi = mid - 1;
      result.boundary_settled_by_child = settled_by_child;
    }
  }
  if (chosen == page.Count() - 1) result.boundary_settled_by_child = false;
  result.position = chosen;
  result.found = true;
  return result;
}

TABSBTreePage::TABSBTreePage(const TABSBTreeContext& tree, TABSPage* page)
    : tree_(&tree), page_(page), page_no_(page->PageNo()), data_size_(page->DataSize()) {
  Bind();
}

TABSBTreePage::TABSBTreePage(const TABSBTreeContext& tree, int32_t session, int32_t page_no)
    : tree_(&tree), page_(nullptr), page_no_(page_no), data_size_(0), data_(nullptr), entries_(nullptr) {
  if (page_no < 0) {
    throw EABSException(native::kIndexPageDamaged, {page_no, "not a page number"});
  }
  // Pages change only through the methods below, each of which prepares the
  // change first: a statement savepoint copies only the pages that change.
  page_ = tree.pages->GetPage(session, page_no, ptTableIndex, kAnyPageOwner, /*defer_image=*/true);
  data_size_ = page_->DataSize();
  try {
    Bind();
    CheckHeader();
  } catch (...) {
    tree.pages->PutPage(page_);
    throw;
  }
}

TABSBTreePage TABSBTreePage::Add(const TABSBTreeContext& tree, int32_t session, bool leaf, bool root) {
  TABSBTreePage page(tree, tree.pages->AddPage(session, ptTableIndex));
  page.data_[btree_header::kRootFlag] = root ? 1 : 0;
  page.Reset(leaf);
  return page;
}

TABSBTreePage::TABSBTreePage(TABSBTreePage&& other) noexcept
    : tree_(other.tree_),
      page_(other.page_),
      page_no_(other.page_no_),
      data_size_(other.data_size_),
      data_(other.data_),
      entries_(other.entries_),
      payload_size_(other.payload_size_),
      entry_size_(other.entry_size_) {
  other.page_ = nullptr;
}

TABSBTreePage::~TABSBTreePage() {
  if (page_ != nullptr) tree_->pages->PutPage(page_);
}

void TABSBTreePage::Bind() {
  data_ = page_->Data();
  entries_ = data_ + btree_header::kSize + ExtraHeader();
  payload_size_ = Controller().PayloadSize(Shape());
  entry_size_ = Shape().key_size + payload_size_;
}

const TABSBTreePageController& TABSBTreePage::Controller() const {
  return IsLeaf() ? static_cast<const TABSBTreePageController&>(kLeafController) : kNodeController;
}

void TABSBTreePage::Damaged(const char* reason) const {
  throw EABSException(native::kIndexPageDamaged, {page_no_, reason});
}

void TABSBTreePage::CheckHeader() const {
  // Page managers without page headers keep no type.
  if (page_->PageHeaderSize() != 0 && page_->PageType() != ptTableIndex) Damaged("not an index page");
  if (data_size_ < btree_header::kSize) Damaged("the page is too small");
  const uint8_t root = data_[btree_header::kRootFlag];
  const uint8_t leaf = data_[btree_header::kLeafFlag];
  if (root > 1 || leaf > 1) Damaged("invalid root or leaf flag");
  if ((root != 0) != (page_no_ == tree_->root_page)) Damaged("root flag of another page");
  if (data_[btree_header::kWideEntries] != 0) Damaged("wide entries");
  if (LoadLE<uint16_t>(data_ + btree_header::kKeySize) != tree_->shape.key_size) Damaged("key size of another index");
  const int64_t used = int64_t{btree_header::kSize} + ExtraHeader() + int64_t{Count()} * EntrySize();
  if (used > data_size_) Damaged("entry count beyond the page");
  const int32_t prev = PrevPage();
  const int32_t next = NextPage();
  if (prev < -1 || next < -1 || prev == page_no_ || next == page_no_ || (prev != -1 && prev == next)) {
    Damaged("invalid level link");
  }
  if (root != 0 && (prev != -1 || next != -1)) Damaged("root page with level links");
  if (leaf == 0 && Count() == 0) {
    throw EABSException(native::kIndexEmptyInnerPage, {page_no_, 0});
  }
}

int32_t TABSBTreePage::Capacity() const {
  const int64_t room = int64_t{data_size_} - btree_header::kSize - ExtraHeader();
  return room <= 0 ? 0 : static_cast<int32_t>(room / EntrySize());
}

int32_t TABSBTreePage::Child(int32_t i) const {
  const int32_t child = LoadLE<int32_t>(Payload(i));
  if (child < 0 || child == page_no_) {
    throw EABSException(native::kIndexPageDamaged, {page_no_, "invalid child page number"});
  }
  return child;
}

void TABSBTreePage::SetPrevPage(int32_t page_no) {
  PrepareChange();
  StoreLE(data_ + btree_header::kPrevPage, page_no);
  MarkDirty();
}

void TABSBTreePage::SetNextPage(int32_t page_no) {
  PrepareChange();
  StoreLE(data_ + btree_header::kNextPage, page_no);
  MarkDirty();
}

void TABSBTreePage::SetCount(int32_t count) {
  PrepareChange();
  StoreLE(data_ + btree_header::kEntryCount, static_cast<uint16_t>(count));
  MarkDirty();
}

void TABSBTreePage::InsertEntry(int32_t position, const uint8_t* key, const uint8_t* payload) {
  PrepareChange();
  const int32_t count = Count();
  const int32_t size = EntrySize();
  uint8_t* at = entries_ + static_cast<int64_t>(position) * size;
  std::memmove(at + size, at, static_cast<size_t>(count - position) * size);
  std::memcpy(at, key, Shape().key_size);
  std::memcpy(at + Shape().key_size, payload, PayloadSize());
  SetCount(count + 1);
}

void TABSBTreePage::InsertEntries(int32_t position, const uint8_t* entries, int32_t count) {
  PrepareChange();
  const int32_t old_count = Count();
  const int64_t size = EntrySize();
  uint8_t* at = entries_ + position * size;
  std::memmove(at + count * size, at, static_cast<size_t>((old_count - position) * size));
  std::memcpy(at, entries, static_cast<size_t>(count * size));
  SetCount(old_count + count);
}

void TABSBTreePage::RemoveEntry(int32_t position) {
  PrepareChange();
  const int32_t count = Count();
  const int32_t size = EntrySize();
  uint8_t* at = entries_ + static_cast<int64_t>(position) * size;
  std::memmove(at, at + size, static_cast<size_t>(count - position - 1) * size);
  SetCount(count - 1);
}

void TABSBTreePage::SetKey(int32_t i, const uint8_t* key) {
  PrepareChange();
  std::memcpy(entries_ + static_cast<int64_t>(i) * EntrySize(), key, Shape().key_size);
  MarkDirty();
}

void TABSBTreePage::SetPayload(int32_t i, const uint8_t* payload) {
  PrepareChange();
  std::memcpy(entries_ + static_cast<int64_t>(i) * EntrySize() + Shape().key_size, payload, PayloadSize());
  MarkDirty();
}

void TABSBTreePage::SetEntries(const uint8_t* entries, int32_t count) {
  PrepareChange();
  std::memmove(entries_, entries, static_cast<size_t>(count) * EntrySize());
  SetCount(count);
}

void TABSBTreePage::Reset(bool leaf) {
  PrepareChange();
  const uint8_t root = data_[btree_header::kRootFlag];
  std::memset(data_, 0, btree_header::kSize);
  data_[btree_header::kRootFlag] = root;
  data_[btree_header::kLeafFlag] = leaf ? 1 : 0;
  data_[btree_header::kInitialised] = 1;
  StoreLE(data_ + btree_header::kPrevPage, int32_t{-1});
  StoreLE(data_ + btree_header::kNextPage, int32_t{-1});
  StoreLE(data_ + btree_header::kKeySize, static_cast<uint16_t>(Shape().key_size));
  Bind();
  MarkDirty();
}

void TABSBTreePage::CopyContentsOf(const TABSBTreePage& other) {
  PrepareChange();
  const uint8_t root = data_[btree_header::kRootFlag];
  const int64_t used = int64_t{btree_header::kSize} + other.ExtraHeader() + int64_t{other.Count()} * other.EntrySize();
  std::memcpy(data_, other.data_, static_cast<size_t>(used));
  data_[btree_header::kRootFlag] = root;
  StoreLE(data_ + btree_header::kPrevPage, int32_t{-1});
  StoreLE(data_ + btree_header::kNextPage, int32_t{-1});
  Bind();
  MarkDirty();
}

}  // namespace kelvorin
