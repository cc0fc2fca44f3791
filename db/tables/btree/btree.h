// TABSBTree: the page machinery shared by the record indexes and the
// page-index trees: a B+-tree of index pages whose entries all live in
// leaves, with the pages of each level chained both ways.
//
// The root page never moves: a full root is split in place (its entries go
// to two new pages and it becomes their parent), and a root left with one
// child takes over that child's contents. Every page is obtained from the
// page manager and released within the operation that needs it, so no page
// stays held between calls; all changes belong to the caller's session.
//
// Keys are compared through a TABSBTreeProbe, which knows the key layout.
// Separators compare exactly where their key bytes decide; where they do not
// (a cut value takes part, or a tie that an identifier must settle), the
// first leaf entry below the child decides, and an insert that passes left
// of such a separator rewrites it from that entry, so separators always lie
// between their neighbouring subtrees in the exact order.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "db/storage/memory/memory_manager.h"
#include "db/tables/btree/btree_page.h"
#include "db/tables/btree/key_path.h"

namespace kelvorin {

class TABSBTree {
 public:
  TABSBTree(TABSPageManager& pages, const TABSBTreeShape& shape, int32_t root_page);
  TABSBTree(const TABSBTree&) = delete;
  TABSBTree& operator=(const TABSBTree&) = delete;

  // Adds an empty root leaf for the session; returns its page number.
  static int32_t CreateRoot(TABSPageManager& pages, int32_t session, const TABSBTreeShape& shape);

  int32_t RootPage() const { return context_.root_page; }
  void SetRootPage(int32_t root_page) { context_.root_page = root_page; }
  const TABSBTreeContext& Context() const { return context_; }
  TABSPageManager& Pages() const { return *context_.pages; }
  const TABSBTreeShape& Shape() const { return context_.shape; }

  // Every page of the tree, root first, level by level. Raises on a damaged
  // structure (nothing is changed then).
  std::vector<int32_t> CollectPages(int32_t session) const;
  // Removes every page, root included.
  void Drop(int32_t session);
  // Removes every page but the root, which becomes an empty leaf.
  void Empty(int32_t session);

  // Positions the path on the leaf position the mode asks for and tells
  // whether an equal entry is there (see TABSBTreeSearchResult).
  bool Seek(int32_t session, TABSBTreeProbe& probe, TABSBTreeSearchMode mode, TABSKeyPath& path);
  // Inserts an entry at the place of (probe, identifier); the probe must
  // carry the entry's identifier when the tree's keys may repeat.
  void Insert(int32_t session, TABSBTreeProbe& probe, const uint8_t* key, const uint8_t* payload);
  // Removes the entry the path points at (a path just made by Seek), merging
  // under-full pages into a sibling.
  void RemoveAt(int32_t session, const TABSKeyPath& path);

  // False on an empty tree.
  bool First(int32_t session, TABSKeyPath& path) const;
  bool Last(int32_t session, TABSKeyPath& path) const;
  // One entry forward or back; false at the end (the path is kept). Below
  // the level that moves, pages follow their level links ("Index error:
  // invalid page number" where a link ends too soon).
  bool Next(int32_t session, TABSKeyPath& path) const;
  bool Prior(int32_t session, TABSKeyPath& path) const;
  // A path after Seek may lie after the last entry of its leaf (before the
  // first): moves it onto the following (preceding) entry; false when none.
  bool SettleForward(int32_t session, TABSKeyPath& path) const;
  bool SettleBackward(int32_t session, TABSKeyPath& path) const;
  // Whether a path made earlier still describes the tree (pages, counts and
  // children as recorded).
  bool IsCurrent(int32_t session, const TABSKeyPath& path) const;

  // The entry the path points at (key and payload may be null).
  void ReadEntry(int32_t session, const TABSKeyPath& path, uint8_t* key, uint8_t* payload) const;
  void WritePayload(int32_t session, const TABSKeyPath& path, const uint8_t* payload);

  // Visits the leaves in order from the one given (or from the first or last
  // leaf when -1) along the level links; the visitor returns false to stop.
  void WalkLeaves(int32_t session, int32_t start_leaf, bool forward,
                  const std::function<bool(const TABSBTreePage&)>& visit) const;

 private:
  class FirstEntryBound;

  bool SeekPath(int32_t session, TABSBTreeProbe& probe, TABSBTreeSearchMode mode, TABSKeyPath& path,
                bool rewrite);
  // Copies the first leaf entry below a page.
  void FirstLeafEntry(int32_t session, int32_t page_no, int32_t level, uint8_t* key, uint8_t* payload) const;
  bool Edge(int32_t session, TABSKeyPath& path, bool last) const;
  bool Step(int32_t session, TABSKeyPath& path, bool forward) const;
  // Moves the levels below `level` onto the first (last) entries under the
  // position of `level`.
  void DescendEdge(int32_t session, TABSKeyPath& path, int32_t level, bool last) const;
  // Inserts into the page of `level` at `position`; splits as needed.
  void InsertAtLevel(int32_t session, const TABSKeyPath& path, int32_t level, int32_t position,
                     const uint8_t* key, const uint8_t* payload);
  // Splits a full page while inserting; returns false for the root (split
  // in place), else true with the separator for the parent in separator_.
  bool Split(int32_t session, TABSBTreePage& page, int32_t position, const uint8_t* key,
             const uint8_t* payload, int32_t& new_page);
  // Merges the under-full pages of the path upward; collapses the root.
  void Rebalance(int32_t session, TABSKeyPath& path, int32_t level);
  bool MergeIntoSibling(int32_t session, TABSKeyPath& path, int32_t level, TABSBTreePage& page);
  void CollapseRoot(int32_t session);
  // Sets an inner entry's key from the first leaf entry below its child.
  void RefreshSeparator(int32_t session, TABSBTreePage& page, int32_t entry, int32_t level);
  // Replaces the separator that leads to the subtree at `level` of the path
  // (in the nearest ancestor where the path does not take the first entry).
  void SetLeadingSeparator(int32_t session, const TABSKeyPath& path, int32_t level, const uint8_t* key);
  // The same for the subtree just right of the path at `level`.
  void SetFollowingSeparator(int32_t session, const TABSKeyPath& path, int32_t level, const uint8_t* key);
  void CheckPathLevel(const TABSKeyPath& path, int32_t level, int32_t page_no) const;
  uint8_t* Scratch(int64_t size);

  TABSBTreeContext context_;
  // Work areas: a split's entries, a first leaf entry, the separator a split
  // hands up, the key a merge moves up, and an all-zero key.
  TABSMemoryBlock scratch_;
  TABSMemoryBlock bound_key_;
  TABSMemoryBlock bound_payload_;
  TABSMemoryBlock separator_;
  TABSMemoryBlock merge_key_;
  TABSMemoryBlock zero_key_;
};

}  // namespace kelvorin
