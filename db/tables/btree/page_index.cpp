#include "db/tables/btree/page_index.h"

#include "db/storage/errors/abs_exception.h"
#include "db/tables/btree/btree_errors.h"

namespace kelvorin {

namespace {

int32_t KeyOf(const uint8_t* key) { return LoadLE<int32_t>(key); }
int32_t AmountOf(const uint8_t* payload) { return LoadLE<uint16_t>(payload); }

int Sign(int32_t a, int32_t b) { return a < b ? -1 : (b < a ? 1 : 0); }

}  // namespace

// A page number looked for.
class TABSBTreePageIndex::Probe : public TABSBTreeProbe {
 public:
  explicit Probe(int32_t page_no) : page_no_(page_no) { StoreLE(key_, page_no); }
  int CompareEntry(const uint8_t* key, const uint8_t*) override { return Sign(page_no_, KeyOf(key)); }
  int CompareSeparator(const uint8_t* key) override { return Sign(page_no_, KeyOf(key)); }
  bool HasIdentifier() const override { return false; }
  const uint8_t* Key() const { return key_; }

 private:
  int32_t page_no_;
  uint8_t key_[4];
};

class TABSBTreePageIndex::CheckOrder : public TABSBTreeCheckOrder {
 public:
  explicit CheckOrder(int32_t largest) : largest_(largest) {}
  int CompareEntries(const uint8_t* a, const uint8_t*, const uint8_t* b, const uint8_t*) override {
    return Sign(KeyOf(a), KeyOf(b));
  }
  int CompareSeparatorWithEntry(const uint8_t* separator, const uint8_t* key, const uint8_t*) override {
    return Sign(KeyOf(separator), KeyOf(key));
  }
  int CompareSeparators(const uint8_t* a, const uint8_t* b) override { return Sign(KeyOf(a), KeyOf(b)); }
  std::string CheckEntry(const uint8_t* key, const uint8_t* payload) override {
    if (KeyOf(key) < 0) return "an entry for page " + std::to_string(KeyOf(key));
    const int32_t amount = AmountOf(payload);
    if (amount < 1 || amount > largest_) {
      return "page " + std::to_string(KeyOf(key)) + " holds " + std::to_string(amount);
    }
    return "";
  }

 private:
  int32_t largest_;
};

int32_t TABSBTreePageIndex::Create(TABSPageManager& pages, int32_t session) {
  return TABSBTree::CreateRoot(pages, session, kShape);
}

TABSBTreePageIndex::TABSBTreePageIndex(TABSPageManager& pages, int32_t root_page)
    : tree_(pages, kShape, root_page) {}

void TABSBTreePageIndex::RequireRoot() const {
  if (tree_.RootPage() < 0) throw EABSException(native::kPageIndexNoRoot);
}

void TABSBTreePageIndex::Drop(int32_t session) {
  RequireRoot();
  tree_.Drop(session);
  tree_.SetRootPage(-1);
}

void TABSBTreePageIndex::Empty(int32_t session) {
  RequireRoot();
  tree_.Empty(session);
}

void TABSBTreePageIndex::AddAmount(int32_t session, int32_t page_no, int32_t amount) {
  RequireRoot();
  if (amount <= 0) return;
  Probe probe(page_no);
  TABSKeyPath path;
  if (tree_.Seek(session, probe, TABSBTreeSearchMode::kFirstEqual, path)) {
    uint8_t payload[2];
    tree_.ReadEntry(session, path, nullptr, payload);
    const int32_t held = AmountOf(payload);
    if (!HasRoom(held, amount) || held + amount > kMaxAmount) throw EABSException(native::kPageIndexFull);
    StoreLE(payload, static_cast<uint16_t>(held + amount));
    tree_.WritePayload(session, path, payload);
    return;
  }
  if (!HasRoom(0, amount) || amount > kMaxAmount) throw EABSException(native::kPageIndexFull);
  uint8_t payload[2];
  StoreLE(payload, static_cast<uint16_t>(amount));
  tree_.Insert(session, probe, probe.Key(), payload);
}

void TABSBTreePageIndex::SubtractAmount(int32_t session, int32_t page_no, int32_t amount) {
  RequireRoot();
  Probe probe(page_no);
  TABSKeyPath path;
  int32_t held = 0;
  uint8_t payload[2];
  if (tree_.Seek(session, probe, TABSBTreeSearchMode::kFirstEqual, path)) {
    tree_.ReadEntry(session, path, nullptr, payload);
    held = AmountOf(payload);
  }
  if (held == 0) throw EABSException(native::kPageIndexEmpty);
  if (amount > held || amount < 0) {
    throw EABSException(native::kPageIndexSubtractTooMuch, {amount, page_no, held});
  }
  if (amount == held) {
    tree_.RemoveAt(session, path);
    return;
  }
  StoreLE(payload, static_cast<uint16_t>(held - amount));
  tree_.WritePayload(session, path, payload);
}

int32_t TABSBTreePageIndex::Amount(int32_t session, int32_t page_no) {
  RequireRoot();
  Probe probe(page_no);
  TABSKeyPath path;
  if (!tree_.Seek(session, probe, TABSBTreeSearchMode::kFirstEqual, path)) return 0;
  uint8_t payload[2];
  tree_.ReadEntry(session, path, nullptr, payload);
  return AmountOf(payload);
}

int32_t TABSBTreePageIndex::FindPageWithRoom(int32_t session, int32_t needed) {
  RequireRoot();
  int32_t found = -1;
  auto look = [&](const TABSBTreePage& leaf, bool backward) {
    for (int32_t k = 0; k < leaf.Count() && found < 0; ++k) {
      const int32_t i = backward ? leaf.Count() - 1 - k : k;
      if (HasRoom(AmountOf(leaf.Payload(i)), needed)) found = KeyOf(leaf.Key(i));
    }
    return false;  // one leaf only
  };
  tree_.WalkLeaves(session, -1, /*forward=*/false, [&](const TABSBTreePage& leaf) { return look(leaf, true); });
  if (found < 0) {
    tree_.WalkLeaves(session, -1, /*forward=*/true, [&](const TABSBTreePage& leaf) { return look(leaf, false); });
  }
  return found;
}

int32_t TABSBTreePageIndex::ReadPageNo(int32_t session, const TABSKeyPath& path) const {
  uint8_t key[4];
  tree_.ReadEntry(session, path, key, nullptr);
  return KeyOf(key);
}

int32_t TABSBTreePageIndex::FirstPage(int32_t session) {
  RequireRoot();
  TABSKeyPath path;
  return tree_.First(session, path) ? ReadPageNo(session, path) : -1;
}

int32_t TABSBTreePageIndex::LastPage(int32_t session) {
  RequireRoot();
  TABSKeyPath path;
  return tree_.Last(session, path) ? ReadPageNo(session, path) : -1;
}

int32_t TABSBTreePageIndex::NextPage(int32_t session, int32_t page_no) {
  return PageAfter(session, page_no, /*forward=*/true);
}

int32_t TABSBTreePageIndex::PriorPage(int32_t session, int32_t page_no) {
  return PageAfter(session, page_no, /*forward=*/false);
}

int32_t TABSBTreePageIndex::PageAfter(int32_t session, int32_t page_no, bool forward) {
  RequireRoot();
  Probe probe(page_no);
  TABSKeyPath path;
  // First-equal leaves the path on the page or on the first one above it;
  // last-equal on the page or on the last one below it.
  const bool found = tree_.Seek(session, probe,
                                forward ? TABSBTreeSearchMode::kLastEqual : TABSBTreeSearchMode::kFirstEqual, path);
  (void)found;
  const bool moved = forward ? tree_.Next(session, path) : tree_.Prior(session, path);
  if (!moved || !path.OnEntry()) return -1;
  return ReadPageNo(session, path);
}

TABSBTreePageIndex::Position TABSBTreePageIndex::PositionOfNumber(int32_t session, int64_t number) {
  RequireRoot();
  if (number < 1) throw EABSException(native::kPageIndexRecNoBeyondCount);
  int64_t before = 0;
  Position found{-1, -1};
  tree_.WalkLeaves(session, -1, /*forward=*/true, [&](const TABSBTreePage& leaf) {
    for (int32_t i = 0; i < leaf.Count(); ++i) {
      const int32_t amount = AmountOf(leaf.Payload(i));
      if (number <= before + amount) {
        found = {KeyOf(leaf.Key(i)), static_cast<int32_t>(number - before - 1)};
        return false;
      }
      before += amount;
    }
    return true;
  });
  if (found.page_no < 0) throw EABSException(native::kPageIndexRecNoBeyondCount);
  return found;
}

int64_t TABSBTreePageIndex::NumberOfPosition(int32_t session, int32_t page_no, int32_t position) {
  RequireRoot();
  int64_t before = 0;
  int64_t number = -1;
  tree_.WalkLeaves(session, -1, /*forward=*/true, [&](const TABSBTreePage& leaf) {
    for (int32_t i = 0; i < leaf.Count(); ++i) {
      const int32_t amount = AmountOf(leaf.Payload(i));
      if (KeyOf(leaf.Key(i)) == page_no) {
        if (position >= 0 && position < amount) number = before + position + 1;
        return false;
      }
      before += amount;
    }
    return true;
  });
  if (number < 0) throw EABSException(native::kPageIndexPositionUnknown, {page_no, position});
  return number;
}

int64_t TABSBTreePageIndex::TotalAmount(int32_t session) {
  int64_t total = 0;
  for (const TABSPageAmount& entry : Entries(session)) total += entry.amount;
  return total;
}

std::vector<TABSPageAmount> TABSBTreePageIndex::Entries(int32_t session) {
  RequireRoot();
  std::vector<TABSPageAmount> entries;
  tree_.WalkLeaves(session, -1, /*forward=*/true, [&](const TABSBTreePage& leaf) {
    for (int32_t i = 0; i < leaf.Count(); ++i) entries.push_back({KeyOf(leaf.Key(i)), AmountOf(leaf.Payload(i))});
    return true;
  });
  return entries;
}

TABSBTreeCheckResult TABSBTreePageIndex::Check(int32_t session) {
  RequireRoot();
  CheckOrder order(LargestAmount());
  return CheckBTree(tree_.Pages(), session, tree_.RootPage(), kShape, order);
}

}  // namespace kelvorin
