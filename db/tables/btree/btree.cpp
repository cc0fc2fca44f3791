#include "db/tables/btree/btree.h"

#include <cstring>
#include <optional>
#include <unordered_set>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/btree/btree_errors.h"

namespace kelvorin {

namespace {

[[noreturn]] void Damaged(int32_t page_no, const char* reason) {
  throw EABSException(native::kIndexPageDamaged, {page_no, reason});
}

}  // namespace

// Settles separators through the first leaf entry below their child.
class TABSBTree::FirstEntryBound : public TABSBTreeChildBound {
 public:
  FirstEntryBound(TABSBTree& tree, int32_t session, TABSBTreeProbe& probe)
      : tree_(tree), session_(session), probe_(probe) {}

  int CompareWithFirstEntry(int32_t child_page, int32_t child_level) override {
    tree_.FirstLeafEntry(session_, child_page, child_level, tree_.bound_key_.bytes(),
                         tree_.bound_payload_.bytes());
    return probe_.CompareEntry(tree_.bound_key_.bytes(), tree_.bound_payload_.bytes());
  }

 private:
  TABSBTree& tree_;
  int32_t session_;
  TABSBTreeProbe& probe_;
};

TABSBTree::TABSBTree(TABSPageManager& pages, const TABSBTreeShape& shape, int32_t root_page)
    : context_{&pages, root_page, shape},
      bound_key_(shape.key_size),
      bound_payload_(shape.leaf_payload_size),
      separator_(shape.key_size),
      merge_key_(shape.key_size),
      zero_key_(shape.key_size, /*zero_fill=*/true) {}

int32_t TABSBTree::CreateRoot(TABSPageManager& pages, int32_t session, const TABSBTreeShape& shape) {
  const TABSBTreeContext context{&pages, -1, shape};
  return TABSBTreePage::Add(context, session, /*leaf=*/true, /*root=*/true).PageNo();
}

uint8_t* TABSBTree::Scratch(int64_t size) {
  if (scratch_.size() < size) scratch_.Allocate(size);
  return scratch_.bytes();
}

void TABSBTree::CheckPathLevel(const TABSKeyPath& path, int32_t level, int32_t page_no) const {
  if (level >= kMaxTreeDepth) throw EABSException(native::kIndexTooDeep, {page_no, level});
  for (int32_t l = 0; l < level; ++l) {
    if (path.levels[l].page_no == page_no) throw EABSException(native::kIndexCircularDescent, {page_no, l});
  }
}

std::vector<int32_t> TABSBTree::CollectPages(int32_t session) const {
  std::vector<int32_t> pages;
  std::unordered_set<int32_t> seen;
  std::vector<int32_t> level{context_.root_page};
  for (int32_t depth = 0; !level.empty(); ++depth) {
    if (depth >= kMaxTreeDepth) throw EABSException(native::kIndexTooDeep, {level.front(), depth});
    std::vector<int32_t> below;
    bool leaves = false;
    for (size_t k = 0; k < level.size(); ++k) {
      const int32_t page_no = level[k];
      if (!seen.insert(page_no).second) throw EABSException(native::kIndexCircularDescent, {page_no, depth});
      pages.push_back(page_no);
      const TABSBTreePage page(context_, session, page_no);
      if (k == 0) leaves = page.IsLeaf();
      if (page.IsLeaf() != leaves) Damaged(page_no, "leaves at different depths");
      if (page.IsLeaf()) continue;
      for (int32_t i = 0; i < page.Count(); ++i) below.push_back(page.Child(i));
    }
    level.swap(below);
  }
  return pages;
}

void TABSBTree::Drop(int32_t session) {
  const std::vector<int32_t> pages = CollectPages(session);
  for (const int32_t page_no : pages) context_.pages->RemovePage(session, page_no);
}

void TABSBTree::Empty(int32_t session) {
  const std::vector<int32_t> pages = CollectPages(session);
  TABSBTreePage root(context_, session, context_.root_page);
  for (size_t i = 1; i < pages.size(); ++i) context_.pages->RemovePage(session, pages[i]);
  root.Reset(/*leaf=*/true);
}

void TABSBTree::FirstLeafEntry(int32_t session, int32_t page_no, int32_t level, uint8_t* key,
                               uint8_t* payload) const {
  for (;; ++level) {
    if (level >= kMaxTreeDepth) throw EABSException(native::kIndexTooDeep, {page_no, level});
    const TABSBTreePage page(context_, session, page_no);
    if (page.Count() == 0) Damaged(page_no, "empty page below an inner node");
    if (page.IsLeaf()) {
      std::memcpy(key, page.Key(0), static_cast<size_t>(context_.shape.key_size));
      std::memcpy(payload, page.Payload(0), static_cast<size_t>(context_.shape.leaf_payload_size));
      return;
    }
    page_no = page.Child(0);
  }
}

bool TABSBTree::Seek(int32_t session, TABSBTreeProbe& probe, TABSBTreeSearchMode mode, TABSKeyPath& path) {
  return SeekPath(session, probe, mode, path, /*rewrite=*/false);
}

bool TABSBTree::SeekPath(int32_t session, TABSBTreeProbe& probe, TABSBTreeSearchMode mode,
                         TABSKeyPath& path, bool rewrite) {
  path.Clear();
  FirstEntryBound bound(*this, session, probe);
  int32_t page_no = context_.root_page;
  bool found = false;
  for (int32_t level = 0;; ++level) {
    CheckPathLevel(path, level, page_no);
    TABSBTreePage page(context_, session, page_no);
    const TABSBTreeSearch search{probe, mode, &bound, level};
    const TABSBTreeSearchResult result = page.Controller().Search(page, search);
    path.levels[level] = {page_no, result.position, page.Count()};
    path.level_count = level + 1;
    path.current_level = level;
    if (page.IsLeaf()) {
      found = result.found;
      break;
    }
    if (rewrite && result.boundary_settled_by_child) {
      // The entry goes left of a separator that only the child's first entry
      // could place; that entry becomes the separator, so that the
      // separator stays above everything left of it.
      const int32_t boundary = result.position + 1;
      FirstLeafEntry(session, page.Child(boundary), level + 1, bound_key_.bytes(), bound_payload_.bytes());
      if (std::memcmp(page.Key(boundary), bound_key_.bytes(), static_cast<size_t>(bound_key_.size())) != 0) {
        page.SetKey(boundary, bound_key_.bytes());
      }
    }
    page_no = page.Child(result.position);
  }
  // Ties descend to the leftmost (rightmost) child that may hold an equal
  // key, so the first (last) equal entry may open the next (end the
  // previous) leaf.
  const bool past_end = mode == TABSBTreeSearchMode::kFirstEqual && path.Leaf().position >= path.Leaf().count;
  const bool before_start = mode == TABSBTreeSearchMode::kLastEqual && path.Leaf().position < 0;
  if (!found && (past_end || before_start)) {
    TABSKeyPath moved = path;
    if (past_end ? Next(session, moved) : Prior(session, moved)) {
      ReadEntry(session, moved, bound_key_.bytes(), bound_payload_.bytes());
      if (probe.CompareEntry(bound_key_.bytes(), bound_payload_.bytes()) == 0) {
        path = moved;
        found = true;
      }
    }
  }
  return found;
}

void TABSBTree::Insert(int32_t session, TABSBTreeProbe& probe, const uint8_t* key, const uint8_t* payload) {
  TABSKeyPath path;
  const TABSBTreeSearchMode mode =
      probe.HasIdentifier() ? TABSBTreeSearchMode::kExact : TABSBTreeSearchMode::kLastEqual;
  SeekPath(session, probe, mode, path, /*rewrite=*/true);
  int32_t position = path.Leaf().position;
  if (mode == TABSBTreeSearchMode::kLastEqual) ++position;
  InsertAtLevel(session, path, path.level_count - 1, position, key, payload);
}

void TABSBTree::InsertAtLevel(int32_t session, const TABSKeyPath& path, int32_t level, int32_t position,
                              const uint8_t* key, const uint8_t* payload) {
  uint8_t child[kChildPayloadSize];
  for (;; --level) {
    TABSBTreePage page(context_, session, path.levels[level].page_no);
    if (page.Count() < page.Capacity()) {
      page.InsertEntry(position, key, payload);
      return;
    }
    int32_t new_page = -1;
    if (!Split(session, page, position, key, payload, new_page)) return;
    if (level == 0) Damaged(page.PageNo(), "a split page above the root");
    StoreLE(child, new_page);
    key = separator_.bytes();
    payload = child;
    position = path.levels[level - 1].position + 1;
  }
}

bool TABSBTree::Split(int32_t session, TABSBTreePage& page, int32_t position, const uint8_t* key,
                      const uint8_t* payload, int32_t& new_page) {
  const int64_t size = page.EntrySize();
  const int32_t key_size = context_.shape.key_size;
  const int32_t count = page.Count() + 1;
  uint8_t* combined = Scratch(count * size);
  std::memcpy(combined, page.Entry(0), static_cast<size_t>(position * size));
  std::memcpy(combined + position * size, key, static_cast<size_t>(key_size));
  std::memcpy(combined + position * size + key_size, payload, static_cast<size_t>(page.PayloadSize()));
  std::memcpy(combined + (position + 1) * size, page.Entry(position),
              static_cast<size_t>((count - 1 - position) * size));
  const int32_t left = count / 2;
  const int32_t right = count - left;
  const bool leaf = page.IsLeaf();

  if (page.IsRoot()) {
    // The root keeps its page number: its entries move to two new pages.
    TABSBTreePage first = TABSBTreePage::Add(context_, session, leaf);
    TABSBTreePage second = TABSBTreePage::Add(context_, session, leaf);
    first.SetEntries(combined, left);
    second.SetEntries(combined + left * size, right);
    first.SetNextPage(second.PageNo());
    second.SetPrevPage(first.PageNo());
    page.Reset(/*leaf=*/false);
    uint8_t child[kChildPayloadSize];
    StoreLE(child, first.PageNo());
    page.InsertEntry(0, zero_key_.bytes(), child);
    StoreLE(child, second.PageNo());
    page.InsertEntry(1, second.Key(0), child);
    return false;
  }

  const int32_t old_next = page.NextPage();
  std::optional<TABSBTreePage> next;
  if (old_next != -1) {
    next.emplace(context_, session, old_next);
    if (next->PrevPage() != page.PageNo()) Damaged(old_next, "level links disagree");
  }
  TABSBTreePage right_page = TABSBTreePage::Add(context_, session, leaf);
  right_page.SetEntries(combined + left * size, right);
  page.SetEntries(combined, left);
  right_page.SetPrevPage(page.PageNo());
  right_page.SetNextPage(old_next);
  if (next) next->SetPrevPage(right_page.PageNo());
  page.SetNextPage(right_page.PageNo());
  // The entries to insert were copied out first, so the separator buffer
  // may be the key being inserted.
  std::memcpy(separator_.bytes(), right_page.Key(0), static_cast<size_t>(key_size));
  new_page = right_page.PageNo();
  return true;
}

void TABSBTree::RemoveAt(int32_t session, const TABSKeyPath& path) {
  if (!path.OnEntry()) throw EABSException(native::kIndexEntryNotFound);
  TABSKeyPath changed = path;
  {
    TABSBTreePage leaf(context_, session, path.Leaf().page_no);
    if (!leaf.IsLeaf() || path.Leaf().position >= leaf.Count()) Damaged(leaf.PageNo(), "path outside the page");
    leaf.RemoveEntry(path.Leaf().position);
    changed.Leaf().count = leaf.Count();
  }
  Rebalance(session, changed, changed.level_count - 1);
}

void TABSBTree::Rebalance(int32_t session, TABSKeyPath& path, int32_t level) {
  for (; level > 0; --level) {
    // An inner page whose last child merged away a moment ago has no entries.
    TABSBTreePage page(context_, session, path.levels[level].page_no, /*emptied=*/path.levels[level].count == 0);
    const int64_t room = int64_t{page.DataSize()} - btree_header::kSize - page.ExtraHeader();
    const bool under_full = int64_t{page.Count()} * page.EntrySize() < room / 2;
    // An emptied page always goes, whatever room its siblings have.
    if (page.Count() > 0 && !under_full) return;
    if (!MergeIntoSibling(session, path, level, page)) return;
  }
  CollapseRoot(session);
}

bool TABSBTree::MergeIntoSibling(int32_t session, TABSKeyPath& path, int32_t level, TABSBTreePage& page) {
  const int32_t page_no = page.PageNo();
  const int32_t count = page.Count();
  const int64_t entry_size = page.EntrySize();
  const int32_t prev_no = page.PrevPage();
  const int32_t next_no = page.NextPage();
  if (prev_no == -1 && next_no == -1) Damaged(page_no, "a page without siblings below the root");
  const int32_t parent_level = level - 1;
  const int32_t parent_pos = path.levels[parent_level].position;
  auto fits = [&](const TABSBTreePage& sibling) {
    if (sibling.IsLeaf() != page.IsLeaf()) Damaged(sibling.PageNo(), "siblings of different kinds");
    return count == 0 || (int64_t{sibling.Count()} + count) * entry_size + btree_header::kSize +
                                 sibling.ExtraHeader() < sibling.DataSize();
  };
  const size_t key_size = static_cast<size_t>(context_.shape.key_size);
  // The page's first key, should it become a separator: an inner page's own
  // first key is never compared and may be stale, so its first leaf entry's.
  if (count > 0 && page.IsLeaf()) std::memcpy(merge_key_.bytes(), page.Key(0), key_size);
  if (count > 0 && !page.IsLeaf()) {
    FirstLeafEntry(session, page.Child(0), level + 1, merge_key_.bytes(), bound_payload_.bytes());
  }

  bool into_prev = false;
  std::optional<TABSBTreePage> prev;
  std::optional<TABSBTreePage> next;
  if (prev_no != -1) {
    prev.emplace(context_, session, prev_no);
    if (prev->NextPage() != page_no) Damaged(prev_no, "level links disagree");
    into_prev = fits(*prev);
  }
  if (next_no != -1) {
    next.emplace(context_, session, next_no);
    if (next->PrevPage() != page_no) Damaged(next_no, "level links disagree");
  }
  if (!into_prev && !(next && fits(*next))) return false;

  TABSBTreePage parent(context_, session, path.levels[parent_level].page_no);
  if (parent_pos >= parent.Count() || parent.Child(parent_pos) != page_no) {
    Damaged(parent.PageNo(), "the parent does not lead to its child");
  }
  // In inner pages the key of the first entry is never compared, so it may
  // be stale; the first entry that a merge moves inward takes its child's
  // first key instead.
  if (into_prev) {
    const int32_t joint = prev->Count();
    prev->InsertEntries(joint, page.Entry(0), count);
    prev->SetNextPage(next_no);
    if (next) next->SetPrevPage(prev_no);
    if (!page.IsLeaf() && count > 0) RefreshSeparator(session, *prev, joint, level);
  } else {
    next->InsertEntries(0, page.Entry(0), count);
    next->SetPrevPage(prev_no);
    if (prev) prev->SetNextPage(next_no);
    if (!page.IsLeaf() && count > 0) RefreshSeparator(session, *next, count, level);
  }
  parent.RemoveEntry(parent_pos);
  path.levels[parent_level].count = parent.Count();
  context_.pages->RemovePage(session, page_no);

  if (into_prev) {
    // The parent lost its first child: its subtree now starts at its new
    // first entry, whose key leads to it from above.
    if (parent_pos == 0 && parent.Count() > 0) {
      std::memcpy(merge_key_.bytes(), parent.Key(0), key_size);
      SetLeadingSeparator(session, path, parent_level, merge_key_.bytes());
    }
  } else if (count > 0) {
    // The next sibling now starts with the merged page's first key.
    if (parent_pos < parent.Count()) {
      if (parent.Child(parent_pos) != next_no) Damaged(parent.PageNo(), "the parent does not lead to its child");
      if (parent_pos > 0) parent.SetKey(parent_pos, merge_key_.bytes());
    } else {
      SetFollowingSeparator(session, path, parent_level, merge_key_.bytes());
    }
  }
  return true;
}

void TABSBTree::RefreshSeparator(int32_t session, TABSBTreePage& page, int32_t entry, int32_t level) {
  FirstLeafEntry(session, page.Child(entry), level + 1, bound_key_.bytes(), bound_payload_.bytes());
  page.SetKey(entry, bound_key_.bytes());
}

void TABSBTree::SetLeadingSeparator(int32_t session, const TABSKeyPath& path, int32_t level,
                                    const uint8_t* key) {
  for (int32_t a = level - 1; a >= 0; --a) {
    if (path.levels[a].position == 0) continue;
    TABSBTreePage ancestor(context_, session, path.levels[a].page_no);
    if (path.levels[a].position >= ancestor.Count()) Damaged(ancestor.PageNo(), "path outside the page");
    ancestor.SetKey(path.levels[a].position, key);
    return;
  }
}

void TABSBTree::SetFollowingSeparator(int32_t session, const TABSKeyPath& path, int32_t level,
                                      const uint8_t* key) {
  for (int32_t a = level - 1; a >= 0; --a) {
    TABSBTreePage ancestor(context_, session, path.levels[a].page_no);
    if (path.levels[a].position + 1 >= ancestor.Count()) continue;
    ancestor.SetKey(path.levels[a].position + 1, key);
    return;
  }
  Damaged(path.levels[level].page_no, "a next page with no separator above it");
}

void TABSBTree::CollapseRoot(int32_t session) {
  for (int32_t depth = 0; depth < kMaxTreeDepth; ++depth) {
    TABSBTreePage root(context_, session, context_.root_page);
    if (root.IsLeaf() || root.Count() != 1) return;
    const int32_t child_no = root.Child(0);
    {
      const TABSBTreePage child(context_, session, child_no);
      root.CopyContentsOf(child);
    }
    context_.pages->RemovePage(session, child_no);
  }
}

bool TABSBTree::First(int32_t session, TABSKeyPath& path) const { return Edge(session, path, false); }
bool TABSBTree::Last(int32_t session, TABSKeyPath& path) const { return Edge(session, path, true); }

bool TABSBTree::Edge(int32_t session, TABSKeyPath& path, bool last) const {
  path.Clear();
  {
    const TABSBTreePage root(context_, session, context_.root_page);
    path.levels[0] = {root.PageNo(), last ? root.Count() - 1 : 0, root.Count()};
    path.level_count = 1;
    if (root.IsLeaf()) return root.Count() > 0;
  }
  DescendEdge(session, path, 0, last);
  return true;
}

void TABSBTree::DescendEdge(int32_t session, TABSKeyPath& path, int32_t level, bool last) const {
  int32_t page_no;
  {
    const TABSBTreePage parent(context_, session, path.levels[level].page_no);
    page_no = parent.Child(path.levels[level].position);
  }
  for (int32_t l = level + 1;; ++l) {
    CheckPathLevel(path, l, page_no);
    const TABSBTreePage page(context_, session, page_no);
    if (page.Count() == 0) Damaged(page_no, "empty page below an inner node");
    path.levels[l] = {page_no, last ? page.Count() - 1 : 0, page.Count()};
    path.level_count = l + 1;
    path.current_level = l;
    if (page.IsLeaf()) return;
    page_no = page.Child(path.levels[l].position);
  }
}

bool TABSBTree::Next(int32_t session, TABSKeyPath& path) const { return Step(session, path, true); }
bool TABSBTree::Prior(int32_t session, TABSKeyPath& path) const { return Step(session, path, false); }

// One position along the deepest level that has room to move; the levels
// below it, each at the end of its page, move to the neighbouring page of
// their level.
bool TABSBTree::Step(int32_t session, TABSKeyPath& path, bool forward) const {
  if (path.IsEmpty()) throw EABSException(forward ? native::kNextEmptyPath : native::kPriorEmptyPath);
  const int32_t depth = path.level_count;
  int32_t k = depth - 1;
  if (forward) {
    while (k >= 0 && path.levels[k].position + 1 >= path.levels[k].count) --k;
  } else {
    while (k >= 0 && path.levels[k].position <= 0) --k;
  }
  if (k < 0) return false;
  TABSKeyPath moved = path;
  TABSKeyPathLevel& at = moved.levels[k];
  if (forward) {
    ++at.position;
  } else {
    at.position = (at.position > at.count ? at.count : at.position) - 1;
  }
  for (int32_t l = k + 1; l < depth; ++l) {
    const int32_t from = moved.levels[l].page_no;
    int32_t to;
    {
      const TABSBTreePage page(context_, session, from);
      to = forward ? page.NextPage() : page.PrevPage();
    }
    if (to == -1) throw EABSException(native::kNavigationNoLink);
    const TABSBTreePage page(context_, session, to);
    if (page.IsLeaf() != (l == depth - 1)) Damaged(to, "a level link to another level");
    if ((forward ? page.PrevPage() : page.NextPage()) != from) Damaged(to, "level links disagree");
    if (page.Count() == 0) Damaged(to, "an empty page below the root");
    moved.levels[l] = {to, forward ? 0 : page.Count() - 1, page.Count()};
  }
  path = moved;
  return true;
}

bool TABSBTree::SettleForward(int32_t session, TABSKeyPath& path) const {
  return path.OnEntry() || Next(session, path);
}

bool TABSBTree::SettleBackward(int32_t session, TABSKeyPath& path) const {
  return path.OnEntry() || Prior(session, path);
}

bool TABSBTree::IsCurrent(int32_t session, const TABSKeyPath& path) const {
  if (path.IsEmpty()) return false;
  int32_t expected = context_.root_page;
  for (int32_t l = 0; l < path.level_count; ++l) {
    const TABSKeyPathLevel& level = path.levels[l];
    if (level.page_no != expected) return false;
    const TABSBTreePage page(context_, session, level.page_no);
    const bool leaf_level = l == path.level_count - 1;
    if (page.Count() != level.count || page.IsLeaf() != leaf_level) return false;
    if (leaf_level) break;
    if (level.position < 0 || level.position >= level.count) return false;
    expected = page.Child(level.position);
  }
  return true;
}

void TABSBTree::ReadEntry(int32_t session, const TABSKeyPath& path, uint8_t* key, uint8_t* payload) const {
  const TABSBTreePage leaf(context_, session, path.Leaf().page_no);
  const int32_t position = path.Leaf().position;
  if (!leaf.IsLeaf() || position < 0 || position >= leaf.Count()) Damaged(leaf.PageNo(), "path outside the page");
  if (key != nullptr) std::memcpy(key, leaf.Key(position), static_cast<size_t>(context_.shape.key_size));
  if (payload != nullptr) {
    std::memcpy(payload, leaf.Payload(position), static_cast<size_t>(context_.shape.leaf_payload_size));
  }
}

void TABSBTree::WritePayload(int32_t session, const TABSKeyPath& path, const uint8_t* payload) {
  TABSBTreePage leaf(context_, session, path.Leaf().page_no);
  const int32_t position = path.Leaf().position;
  if (!leaf.IsLeaf() || position < 0 || position >= leaf.Count()) Damaged(leaf.PageNo(), "path outside the page");
  leaf.SetPayload(position, payload);
}

void TABSBTree::WalkLeaves(int32_t session, int32_t start_leaf, bool forward,
                           const std::function<bool(const TABSBTreePage&)>& visit) const {
  int32_t page_no = start_leaf;
  if (page_no == -1) {
    TABSKeyPath edge;
    Edge(session, edge, !forward);
    page_no = edge.Leaf().page_no;
  }
  std::unordered_set<int32_t> seen;
  while (page_no != -1) {
    if (!seen.insert(page_no).second) throw EABSException(native::kIndexCircularDescent, {page_no, -1});
    const TABSBTreePage page(context_, session, page_no);
    if (!page.IsLeaf()) Damaged(page_no, "a level link out of the leaves");
    if (!visit(page)) return;
    page_no = forward ? page.NextPage() : page.PrevPage();
  }
}

}  // namespace kelvorin
