// Page-index trees: per table, which record pages (TABSBTreeRecordPageIndex)
// and which BLOB pages (TABSBTreeBlobPageIndex) it owns and how full each
// one is. Each is a B-tree keyed by the page number (4 bytes, compared as a
// signed number) whose leaf entries carry an unsigned 16-bit amount: the
// records a record page holds, or the bytes used in a BLOB page.
//
// The tree's root page number is the caller's to keep (the table stores it
// in its metadata file); it never changes for the life of the tree. All
// operations work in the given session's page transaction.
//
//   int32_t root = TABSBTreeRecordPageIndex::Create(pages, session);
//   TABSBTreeRecordPageIndex index(pages, root, records_per_page);
//   index.AddAmount(session, page_no, 1);
//   TABSBTreeCheckResult check = index.Check(session);
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/tables/btree/btree.h"
#include "db/tables/btree/btree_check.h"

namespace kelvorin {

struct TABSPageAmount {
  int32_t page_no;
  int32_t amount;
};

class TABSBTreePageIndex {
 public:
  static constexpr TABSBTreeShape kShape{4, 2};
  static constexpr int32_t kMaxAmount = 0xFFFF;

  // A new empty tree (a root leaf) in the session; returns its root page.
  static int32_t Create(TABSPageManager& pages, int32_t session);

  TABSBTreePageIndex(TABSPageManager& pages, int32_t root_page);
  virtual ~TABSBTreePageIndex() = default;
  TABSBTreePageIndex(const TABSBTreePageIndex&) = delete;
  TABSBTreePageIndex& operator=(const TABSBTreePageIndex&) = delete;

  int32_t RootPage() const { return tree_.RootPage(); }

  // Removes every page of the tree, root included; the root becomes -1.
  void Drop(int32_t session);
  // Removes every entry; the root stays.
  void Empty(int32_t session);

  // Adds to a page's amount, entering the page when it is absent. Raises
  // "Cannot add data item to page. Page is full" when the page has no room
  // for it (and changes nothing).
  void AddAmount(int32_t session, int32_t page_no, int32_t amount);
  // Takes from a page's amount; the page leaves the tree at 0. Raises
  // "Index error: page is empty" when the page holds nothing.
  void SubtractAmount(int32_t session, int32_t page_no, int32_t amount);
  // The page's amount; 0 when the page is not in the tree.
  int32_t Amount(int32_t session, int32_t page_no);
  // A page with room for `needed` more: the last leaf from its end backward,
  // then the first leaf from its start; -1 when neither has one.
  int32_t FindPageWithRoom(int32_t session, int32_t needed);

  // Pages in ascending order; -1 when there is none.
  int32_t FirstPage(int32_t session);
  int32_t LastPage(int32_t session);
  // The nearest page above (below) the given one, which need not be present.
  int32_t NextPage(int32_t session, int32_t page_no);
  int32_t PriorPage(int32_t session, int32_t page_no);

  // Record numbers count from 1 through the pages in ascending order, each
  // page holding as many as its amount; positions count from 0 within a page.
  struct Position {
    int32_t page_no;
    int32_t position;
  };
  Position PositionOfNumber(int32_t session, int64_t number);
  int64_t NumberOfPosition(int32_t session, int32_t page_no, int32_t position);
  int64_t TotalAmount(int32_t session);

  // Every (page, amount) in page order.
  std::vector<TABSPageAmount> Entries(int32_t session);
  // See btree_check.h; every amount must lie in 1..the largest amount.
  TABSBTreeCheckResult Check(int32_t session);

 protected:
  // Whether a page holding `amount` can take `needed` more.
  virtual bool HasRoom(int32_t amount, int32_t needed) const = 0;
  // The most a page can hold.
  virtual int32_t LargestAmount() const = 0;
  TABSPageManager& Pages() const { return tree_.Pages(); }

 private:
  class Probe;
  class CheckOrder;

  void RequireRoot() const;
  int32_t PageAfter(int32_t session, int32_t page_no, bool forward);
  int32_t ReadPageNo(int32_t session, const TABSKeyPath& path) const;

  TABSBTree tree_;
};

class TABSBTreeRecordPageIndex : public TABSBTreePageIndex {
 public:
  // `records_per_page`: the records a record page can hold.
  TABSBTreeRecordPageIndex(TABSPageManager& pages, int32_t root_page, int32_t records_per_page)
      : TABSBTreePageIndex(pages, root_page), records_per_page_(records_per_page) {}

 protected:
  bool HasRoom(int32_t amount, int32_t needed) const override {
    return int64_t{amount} + needed <= records_per_page_;
  }
  int32_t LargestAmount() const override { return records_per_page_; }

 private:
  int32_t records_per_page_;
};

class TABSBTreeBlobPageIndex : public TABSBTreePageIndex {
 public:
  TABSBTreeBlobPageIndex(TABSPageManager& pages, int32_t root_page) : TABSBTreePageIndex(pages, root_page) {}

 protected:
  // A BLOB page keeps a 2-byte entry count before its entries.
  bool HasRoom(int32_t amount, int32_t needed) const override {
    return int64_t{amount} + needed < Pages().DataSize() - 2;
  }
  int32_t LargestAmount() const override { return Pages().DataSize() - 3; }
};

}  // namespace kelvorin
