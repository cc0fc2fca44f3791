// One page of a B-tree, held for the length of a page operation.
//
// Index pages are pages of the storage layer's index type; the tree uses
// their data area, which starts with an 18-byte header:
//
//   0   root flag (1 in the root page)      10  1 (set in every page; not read)
//   1   leaf flag (1 leaf, 0 inner node)    11  wide-entry flag (always 0 here)
//   2   previous page of the level (i32)    12  key size K (u16)
//   6   next page of the level (i32)        14  entry count N (u16)
//                                            16  extra header bytes X (u16)
//
// Entries follow at 18 + X without gaps: K key bytes, then the payload (a
// leaf payload of the tree's size, or the child's page number in an inner
// node). The key of entry 0 of an inner node is never compared.
//
// Every header read from storage is checked before use (type, flags, key
// size, count against the page, links), so a damaged or crafted page gives
// an engine error, never an access outside the page.
#pragma once

#include <cstdint>

#include "db/storage/file/little_endian.h"
#include "db/storage/pages/page_manager.h"

namespace kelvorin {

namespace btree_header {
inline constexpr int32_t kRootFlag = 0;
inline constexpr int32_t kLeafFlag = 1;
inline constexpr int32_t kPrevPage = 2;
inline constexpr int32_t kNextPage = 6;
inline constexpr int32_t kInitialised = 10;
inline constexpr int32_t kWideEntries = 11;
inline constexpr int32_t kKeySize = 12;
inline constexpr int32_t kEntryCount = 14;
inline constexpr int32_t kExtraHeader = 16;
inline constexpr int32_t kSize = 18;
}  // namespace btree_header

inline constexpr int32_t kChildPayloadSize = 4;
// Root to leaf, root included.
inline constexpr int32_t kMaxTreeDepth = 32;

// The fixed sizes of a tree's entries.
struct TABSBTreeShape {
  int32_t key_size = 0;
  int32_t leaf_payload_size = 0;
};

// A tree as its pages see it: where the pages come from, which one is the
// root, and the entry sizes.
struct TABSBTreeContext {
  TABSPageManager* pages = nullptr;
  int32_t root_page = -1;
  TABSBTreeShape shape;
};

// How the searched key compares with the entries of a page. Implementations
// hold the probe; results are signs of (probe - entry).
class TABSBTreeProbe {
 public:
  // A separator whose order against the probe its key bytes cannot settle.
  static constexpr int kUndecided = 2;

  virtual ~TABSBTreeProbe() = default;
  // Exact: the key columns (full values decide where a cut value takes part),
  // then the record identifier when the probe carries one.
  virtual int CompareEntry(const uint8_t* key, const uint8_t* payload) = 0;
  // The key alone against a separator's key bytes; kUndecided when a cut
  // value takes part.
  virtual int CompareSeparator(const uint8_t* key) = 0;
  virtual bool HasIdentifier() const = 0;
};

enum class TABSBTreeSearchMode {
  kFirstEqual,  // leftmost entry not below the key
  kLastEqual,   // rightmost entry not above the key
  kExact,       // the entry of (key, identifier); the probe carries one
};

// Settles a separator that the key bytes leave open by comparing the probe
// with the first leaf entry below the child.
class TABSBTreeChildBound {
 public:
  virtual ~TABSBTreeChildBound() = default;
  virtual int CompareWithFirstEntry(int32_t child_page, int32_t child_level) = 0;
};

struct TABSBTreeSearch {
  TABSBTreeProbe& probe;
  TABSBTreeSearchMode mode;
  TABSBTreeChildBound* child_bound = nullptr;  // inner nodes only
  int32_t level = 0;                           // of the searched page
};

struct TABSBTreeSearchResult {
  // Leaf, first-equal and exact: 0..N (N: after the last entry).
  // Leaf, last-equal: -1..N-1 (-1: before the first entry).
  // Inner node: the entry whose child to follow.
  int32_t position = 0;
  bool found = false;
  // Inner node: the separator right of the chosen entry was settled through
  // its child's first entry (an insert rewrites it from that entry).
  bool boundary_settled_by_child = false;
};

class TABSBTreePage;

// The page operations that differ between leaves and inner nodes.
class TABSBTreePageController {
 public:
  virtual ~TABSBTreePageController() = default;
  virtual int32_t PayloadSize(const TABSBTreeShape& shape) const = 0;
  // First entry whose key a search compares.
  virtual int32_t FirstSearchedEntry() const = 0;
  virtual TABSBTreeSearchResult Search(const TABSBTreePage& page, const TABSBTreeSearch& search) const = 0;
};

class TABSBTreeLeafController : public TABSBTreePageController {
 public:
  int32_t PayloadSize(const TABSBTreeShape& shape) const override { return shape.leaf_payload_size; }
  int32_t FirstSearchedEntry() const override { return 0; }
  TABSBTreeSearchResult Search(const TABSBTreePage& page, const TABSBTreeSearch& search) const override;
};

class TABSBTreeNodeController : public TABSBTreePageController {
 public:
  int32_t PayloadSize(const TABSBTreeShape&) const override { return kChildPayloadSize; }
  int32_t FirstSearchedEntry() const override { return 1; }
  TABSBTreeSearchResult Search(const TABSBTreePage& page, const TABSBTreeSearch& search) const override;
};

// A held index page. Getting it checks its header; destruction releases it.
class TABSBTreePage {
 public:
  // Gets an existing page of the tree for the session.
  TABSBTreePage(const TABSBTreeContext& tree, int32_t session, int32_t page_no);
  // Adds a new empty page with an initialised header and no links.
  static TABSBTreePage Add(const TABSBTreeContext& tree, int32_t session, bool leaf, bool root = false);
  TABSBTreePage(TABSBTreePage&& other) noexcept;
  TABSBTreePage& operator=(TABSBTreePage&&) = delete;
  TABSBTreePage(const TABSBTreePage&) = delete;
  TABSBTreePage& operator=(const TABSBTreePage&) = delete;
  ~TABSBTreePage();

  int32_t PageNo() const { return page_no_; }
  const TABSBTreeShape& Shape() const { return tree_->shape; }
  const TABSBTreePageController& Controller() const;

  bool IsRoot() const { return data_[btree_header::kRootFlag] != 0; }
  bool IsLeaf() const { return data_[btree_header::kLeafFlag] != 0; }
  int32_t PrevPage() const { return LoadLE<int32_t>(data_ + btree_header::kPrevPage); }
  int32_t NextPage() const { return LoadLE<int32_t>(data_ + btree_header::kNextPage); }
  int32_t Count() const { return LoadLE<uint16_t>(data_ + btree_header::kEntryCount); }
  int32_t ExtraHeader() const { return LoadLE<uint16_t>(data_ + btree_header::kExtraHeader); }
  void SetPrevPage(int32_t page_no);
  void SetNextPage(int32_t page_no);

  int32_t PayloadSize() const { return payload_size_; }
  int32_t EntrySize() const { return entry_size_; }
  // Entries that fit the page.
  int32_t Capacity() const;
  int32_t DataSize() const { return data_size_; }
  const uint8_t* Entry(int32_t i) const { return entries_ + static_cast<int64_t>(i) * entry_size_; }
  const uint8_t* Key(int32_t i) const { return Entry(i); }
  const uint8_t* Payload(int32_t i) const { return Entry(i) + Shape().key_size; }
  // The child of an inner entry, checked to be a page number.
  int32_t Child(int32_t i) const;

  // Changes (each marks the page dirty).
  void InsertEntry(int32_t position, const uint8_t* key, const uint8_t* payload);
  void RemoveEntry(int32_t position);
  // Inserts `count` entries of this page's kind at `position`.
  void InsertEntries(int32_t position, const uint8_t* entries, int32_t count);
  void SetKey(int32_t i, const uint8_t* key);
  void SetPayload(int32_t i, const uint8_t* payload);
  // Replaces all entries by `count` entries of this page's kind.
  void SetEntries(const uint8_t* entries, int32_t count);
  // Makes the page an empty page of the given kind, keeping its root flag
  // and dropping its links and extra header bytes.
  void Reset(bool leaf);
  // Copies another page's kind, entries and extra header bytes (the root
  // taking over its only child).
  void CopyContentsOf(const TABSBTreePage& other);
  void MarkDirty() { page_->dirty = true; }
  void PrepareChange() { tree_->pages->PrepareChange(*page_); }

 private:
  TABSBTreePage(const TABSBTreeContext& tree, TABSPage* page);
  void CheckHeader() const;
  [[noreturn]] void Damaged(const char* reason) const;
  void SetCount(int32_t count);
  // Takes the entry layout from the header.
  void Bind();

  const TABSBTreeContext* tree_;
  TABSPage* page_;
  int32_t page_no_;
  int32_t data_size_;
  uint8_t* data_;
  uint8_t* entries_;
  // Of the page's kind, set with the page's layout.
  int32_t payload_size_ = 0;
  int32_t entry_size_ = 0;
};

}  // namespace kelvorin
