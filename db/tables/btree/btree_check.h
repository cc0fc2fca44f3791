// The integrity check of one B-tree (a record index or a page-index tree),
// for table verification and the database checker.
//
// CheckBTree walks the tree from its root through the page manager and
// reports every fault instead of raising: pages that cannot be read or whose
// header is damaged, a page met twice on one path (circular) or under two
// parents, depth beyond the limit, empty pages below the root, leaves at
// different depths, level links that do not name the neighbouring pages,
// separators out of order or not bracketing their children, leaf entries
// out of order (within and across leaves), and entries that the tree kind
// finds wrong (a page-index amount out of range, an index key that does not
// match its record).
//
// It also returns every page number the tree refers to, each once, root
// first, whether or not the page could be read, so that a caller checking
// the whole file can count each page in use exactly once. The walk never
// changes a page and holds each page only while it looks at it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/tables/btree/btree_page.h"

namespace kelvorin {

struct TABSBTreeProblem {
  int32_t native_code = 0;
  int32_t page_no = -1;
  int32_t entry = -1;
  std::string text;    // the engine's message, as an EABSException would carry it
  std::string reason;  // what exactly is wrong, for people
};

struct TABSBTreeCheckResult {
  std::vector<int32_t> pages;
  std::vector<TABSBTreeProblem> problems;

  bool Clean() const { return problems.empty(); }
  std::string Describe() const;  // one problem per line
};

// How a kind of tree orders and judges its entries. Comparisons may raise
// engine errors (a record that cannot be read); the checker reports them.
class TABSBTreeCheckOrder {
 public:
  virtual ~TABSBTreeCheckOrder() = default;
  // Sign of (a - b) for two leaf entries, exact, or
  // TABSBTreeProbe::kUndecided when that needs what the check does not have
  // (the records of cut keys).
  virtual int CompareEntries(const uint8_t* key_a, const uint8_t* payload_a, const uint8_t* key_b,
                             const uint8_t* payload_b) = 0;
  // Sign of (separator - leaf entry) on the key, or TABSBTreeProbe::kUndecided
  // when cut values leave it open.
  virtual int CompareSeparatorWithEntry(const uint8_t* separator, const uint8_t* key,
                                        const uint8_t* payload) = 0;
  // Sign of (a - b) for two separator keys, or kUndecided.
  virtual int CompareSeparators(const uint8_t* a, const uint8_t* b) = 0;
  // What is wrong with one leaf entry on its own; empty when nothing is.
  virtual std::string CheckEntry(const uint8_t* key, const uint8_t* payload) = 0;
};

TABSBTreeCheckResult CheckBTree(TABSPageManager& pages, int32_t session, int32_t root_page,
                                const TABSBTreeShape& shape, TABSBTreeCheckOrder& order);

}  // namespace kelvorin
