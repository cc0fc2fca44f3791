#include "db/tables/btree/btree_check.h"

#include <unordered_set>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/btree/btree_errors.h"

namespace kelvorin {

std::string TABSBTreeCheckResult::Describe() const {
  std::string text;
  for (const TABSBTreeProblem& p : problems) {
    text += p.text;
    if (!p.reason.empty()) text += " (" + p.reason + ")";
    text += "\n";
  }
  return text;
}

namespace {

using Bytes = std::vector<uint8_t>;

// The first and last leaf entries of a subtree.
struct SubtreeBounds {
  bool known = false;
  Bytes first_key, first_payload, last_key, last_payload;
};

struct LevelPage {
  int32_t page_no;
  int32_t prev;
  int32_t next;
};

class Checker {
 public:
  Checker(TABSPageManager& pages, int32_t session, int32_t root_page, const TABSBTreeShape& shape,
          TABSBTreeCheckOrder& order)
      : context_{&pages, root_page, shape}, session_(session), order_(order) {}

  TABSBTreeCheckResult Run() {
    SubtreeBounds bounds;
    Visit(context_.root_page, 0, bounds);
    if (!incomplete_) CheckLinks();
    return std::move(result_);
  }

 private:
  void Report(const TABSNativeError& error, int32_t page_no, int32_t entry, std::string reason) {
    result_.problems.push_back(
        {error.code, page_no, entry, EABSException(error, {page_no, entry}).what(), std::move(reason)});
  }
  void Report(const EABSException& e, int32_t page_no, int32_t entry) {
    result_.problems.push_back({e.NativeError(), page_no, entry, e.what(), ""});
  }

  // Runs a comparison, reporting what it raises; false when it raised.
  template <class F>
  bool Compare(int32_t page_no, int32_t entry, F&& compare, int* result) {
    try {
      *result = compare();
      return true;
    } catch (const EABSException& e) {
      Report(e, page_no, entry);
      return false;
    }
  }

  void Visit(int32_t page_no, int32_t depth, SubtreeBounds& bounds) {
    for (size_t l = 0; l < path_.size(); ++l) {
      if (path_[l] == page_no) {
        Report(native::kCheckCircular, page_no, static_cast<int32_t>(l), "a page met twice on one path");
        incomplete_ = true;
        return;
      }
    }
    if (depth >= kMaxTreeDepth) {
      Report(native::kCheckPageShape, page_no, depth, "deeper than the depth limit");
      incomplete_ = true;
      return;
    }
    if (!seen_.insert(page_no).second) {
      Report(native::kCheckPageShape, page_no, -1, "a page under two parents");
      incomplete_ = true;
      return;
    }
    result_.pages.push_back(page_no);
    std::vector<int32_t> children;
    std::vector<Bytes> separators;
    try {
      const TABSBTreePage page(context_, session_, page_no);
      if (levels_.size() <= static_cast<size_t>(depth)) levels_.resize(depth + 1);
      levels_[depth].push_back({page_no, page.PrevPage(), page.NextPage()});
      if (depth > 0 && page.Count() == 0) Report(native::kCheckPageShape, page_no, 0, "an empty page below the root");
      if (page.IsLeaf()) {
        VisitLeaf(page, depth, bounds);
        return;
      }
      for (int32_t i = 0; i < page.Count(); ++i) {
        children.push_back(page.Child(i));
        separators.emplace_back(page.Key(i), page.Key(i) + context_.shape.key_size);
      }
    } catch (const EABSException& e) {
      Report(e, page_no, -1);
      incomplete_ = true;
      return;
    }
    std::vector<SubtreeBounds> below(children.size());
    path_.push_back(page_no);
    for (size_t i = 0; i < children.size(); ++i) Visit(children[i], depth + 1, below[i]);
    path_.pop_back();
    CheckSeparators(page_no, separators, below);
    if (!below.empty() && below.front().known && below.back().known) {
      bounds.known = true;
      bounds.first_key = below.front().first_key;
      bounds.first_payload = below.front().first_payload;
      bounds.last_key = below.back().last_key;
      bounds.last_payload = below.back().last_payload;
    }
  }

  void VisitLeaf(const TABSBTreePage& page, int32_t depth, SubtreeBounds& bounds) {
    const int32_t page_no = page.PageNo();
    if (leaf_depth_ < 0) leaf_depth_ = depth;
    if (depth != leaf_depth_) Report(native::kCheckPageShape, page_no, -1, "leaves at different depths");
    for (int32_t i = 0; i < page.Count(); ++i) {
      try {
        const std::string wrong = order_.CheckEntry(page.Key(i), page.Payload(i));
        if (!wrong.empty()) Report(native::kCheckPageShape, page_no, i, wrong);
      } catch (const EABSException& e) {
        Report(e, page_no, i);
      }
      const uint8_t* prev_key = i > 0 ? page.Key(i - 1) : (have_last_ ? last_key_.data() : nullptr);
      const uint8_t* prev_payload = i > 0 ? page.Payload(i - 1) : last_payload_.data();
      int order = 0;
      if (prev_key != nullptr &&
          Compare(page_no, i, [&] { return order_.CompareEntries(prev_key, prev_payload, page.Key(i), page.Payload(i)); },
                  &order) &&
          order != TABSBTreeProbe::kUndecided && order >= 0) {
        Report(native::kCheckEntryOrder, page_no, i, "entries out of order");
      }
    }
    if (page.Count() == 0) return;
    const int32_t key_size = context_.shape.key_size;
    const int32_t payload_size = context_.shape.leaf_payload_size;
    const int32_t last = page.Count() - 1;
    bounds.known = true;
    bounds.first_key.assign(page.Key(0), page.Key(0) + key_size);
    bounds.first_payload.assign(page.Payload(0), page.Payload(0) + payload_size);
    bounds.last_key.assign(page.Key(last), page.Key(last) + key_size);
    bounds.last_payload.assign(page.Payload(last), page.Payload(last) + payload_size);
    last_key_ = bounds.last_key;
    last_payload_ = bounds.last_payload;
    have_last_ = true;
  }

  // Separators ascend, lie at or below the first key of their child and at
  // or above the last key of the child before it.
  void CheckSeparators(int32_t page_no, const std::vector<Bytes>& separators,
                       const std::vector<SubtreeBounds>& below) {
    int order = 0;
    for (size_t i = 1; i < separators.size(); ++i) {
      const int32_t entry = static_cast<int32_t>(i);
      const uint8_t* separator = separators[i].data();
      if (i >= 2 &&
          Compare(page_no, entry, [&] { return order_.CompareSeparators(separators[i - 1].data(), separator); },
                  &order) &&
          order != TABSBTreeProbe::kUndecided && order > 0) {
        Report(native::kCheckSeparatorOrder, page_no, entry, "separators out of order");
      }
      if (below[i].known &&
          Compare(page_no, entry,
                  [&] {
                    return order_.CompareSeparatorWithEntry(separator, below[i].first_key.data(),
                                                            below[i].first_payload.data());
                  },
                  &order) &&
          order != TABSBTreeProbe::kUndecided && order > 0) {
        Report(native::kCheckSeparatorAboveChild, page_no, entry, "separator above its child's first key");
      }
      if (below[i - 1].known &&
          Compare(page_no, entry,
                  [&] {
                    return order_.CompareSeparatorWithEntry(separator, below[i - 1].last_key.data(),
                                                            below[i - 1].last_payload.data());
                  },
                  &order) &&
          order != TABSBTreeProbe::kUndecided && order < 0) {
        Report(native::kCheckSeparatorBelowPrevious, page_no, entry,
               "separator below the last key of the child before it");
      }
    }
  }

  // Each level is chained both ways in order, with no link out of it.
  void CheckLinks() {
    for (const std::vector<LevelPage>& level : levels_) {
      for (size_t k = 0; k < level.size(); ++k) {
        const int32_t entry = static_cast<int32_t>(k);
        const int32_t prev = k > 0 ? level[k - 1].page_no : -1;
        const int32_t next = k + 1 < level.size() ? level[k + 1].page_no : -1;
        if (level[k].prev != prev) Report(native::kCheckPriorLink, level[k].page_no, entry, "previous link");
        if (level[k].next != next) Report(native::kCheckNextLink, level[k].page_no, entry, "next link");
      }
    }
  }

  TABSBTreeContext context_;
  int32_t session_;
  TABSBTreeCheckOrder& order_;
  TABSBTreeCheckResult result_;
  std::vector<int32_t> path_;
  std::unordered_set<int32_t> seen_;
  std::vector<std::vector<LevelPage>> levels_;
  int32_t leaf_depth_ = -1;
  bool incomplete_ = false;
  bool have_last_ = false;
  Bytes last_key_, last_payload_;
};

}  // namespace

TABSBTreeCheckResult CheckBTree(TABSPageManager& pages, int32_t session, int32_t root_page,
                                const TABSBTreeShape& shape, TABSBTreeCheckOrder& order) {
  return Checker(pages, session, root_page, shape, order).Run();
}

}  // namespace kelvorin
