#include "db/tables/btree/record_index.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/btree/btree_errors.h"
#include "db/tables/metadata/table_metadata.h"

namespace kelvorin {

namespace {

using Mode = TABSBTreeSearchMode;
using Kind = TABSScanConditionKind;

bool IsLowerBound(Kind kind) { return kind == Kind::kGreater || kind == Kind::kGreaterOrEqual; }
bool IsUpperBound(Kind kind) { return kind == Kind::kLess || kind == Kind::kLessOrEqual; }

}  // namespace

// A key looked for: its short key, the memory record it came from (whose
// full values settle cut prefixes), the leading columns that take part and,
// for insert, delete and Locate, the record identifier.
class TABSBTreeRecordIndex::Probe : public TABSBTreeProbe {
 public:
  Probe(TABSBTreeRecordIndex& index, int32_t session, const uint8_t* record, const uint8_t* key,
        int32_t columns, const TABSRecordId* id = nullptr)
      : index_(index),
        layout_(*index.layout_),
        session_(session),
        record_(record),
        key_(key),
        columns_(columns),
        has_id_(id != nullptr),
        id_(id != nullptr ? *id : TABSRecordId{}) {}

  int CompareSeparator(const uint8_t* key) override { return layout_.CompareShortKeys(key_, key, columns_); }

  int CompareEntry(const uint8_t* key, const uint8_t* payload) override {
    int r = layout_.CompareShortKeys(key_, key, columns_);
    if (r == kUndecided) {
      index_.ReadRecord(session_, TABSRecordId::Load(payload), index_.entry_record_.bytes());
      r = layout_.CompareRecords(record_, index_.entry_record_.bytes(), columns_);
    }
    if (r != 0 || !has_id_) return r;
    return CompareRecordIds(id_, TABSRecordId::Load(payload));
  }

  bool HasIdentifier() const override { return has_id_; }

 private:
  TABSBTreeRecordIndex& index_;
  const TABSRecordKeyRef& layout_;
  int32_t session_;
  const uint8_t* record_;
  const uint8_t* key_;
  int32_t columns_;
  bool has_id_;
  TABSRecordId id_;
};

class TABSBTreeRecordIndex::CheckOrder : public TABSBTreeCheckOrder {
 public:
  CheckOrder(TABSBTreeRecordIndex& index, int32_t session, bool check_records)
      : index_(index), layout_(*index.layout_), session_(session), check_records_(check_records) {}

  int CompareEntries(const uint8_t* key_a, const uint8_t* payload_a, const uint8_t* key_b,
                     const uint8_t* payload_b) override {
    const int32_t columns = layout_.ColumnCount();
    int r = layout_.CompareShortKeys(key_a, key_b, columns);
    if (r == TABSBTreeProbe::kUndecided) {
      // Without records (a check of the file alone) cut prefixes stay open.
      if (index_.reader_ == nullptr) return r;
      index_.ReadRecord(session_, TABSRecordId::Load(payload_a), index_.other_record_.bytes());
      index_.ReadRecord(session_, TABSRecordId::Load(payload_b), index_.entry_record_.bytes());
      r = layout_.CompareRecords(index_.other_record_.bytes(), index_.entry_record_.bytes(), columns);
    }
    return r != 0 ? r : CompareRecordIds(TABSRecordId::Load(payload_a), TABSRecordId::Load(payload_b));
  }
  int CompareSeparatorWithEntry(const uint8_t* separator, const uint8_t* key, const uint8_t*) override {
    return layout_.CompareShortKeys(separator, key, layout_.ColumnCount());
  }
  int CompareSeparators(const uint8_t* a, const uint8_t* b) override {
    return layout_.CompareShortKeys(a, b, layout_.ColumnCount());
  }
  std::string CheckEntry(const uint8_t* key, const uint8_t* payload) override {
    const TABSRecordId id = TABSRecordId::Load(payload);
    if (!id.IsValid()) return "an entry without a record";
    if (!check_records_ || index_.reader_ == nullptr) return "";
    index_.ReadRecord(session_, id, index_.entry_record_.bytes());
    layout_.BuildShortKey(index_.entry_record_.bytes(), index_.entry_key_.bytes());
    const int r = layout_.CompareShortKeys(key, index_.entry_key_.bytes(), layout_.ColumnCount());
    if (r != 0 && r != TABSBTreeProbe::kUndecided) return "the key differs from its record's";
    return "";
  }

 private:
  TABSBTreeRecordIndex& index_;
  const TABSRecordKeyRef& layout_;
  int32_t session_;
  bool check_records_;
};

TABSBTreeRecordIndex::TABSBTreeRecordIndex(TABSPageManager& pages, const TABSFieldDefs& fields,
                                           TABSIndexRecordReader* reader)
    : pages_(pages), fields_(fields), reader_(reader) {}

void TABSBTreeRecordIndex::RequireRoot(const TABSNativeError& error) const {
  if (!tree_ || tree_->RootPage() < 0) throw EABSException(error);
}

void TABSBTreeRecordIndex::ReadRecord(int32_t session, TABSRecordId id, uint8_t* record) {
  if (reader_ == nullptr || !reader_->ReadRecord(session, id, record)) {
    throw EABSException(native::kIndexRecordUnreadable);
  }
}

void TABSBTreeRecordIndex::Open(const TABSIndexDef& definition) {
  auto layout = std::make_unique<TABSRecordKeyRef>(definition, fields_, pages_.DataSize());
  const TABSBTreeShape shape{layout->ShortKeySize(), TABSRecordKeyRef::kLeafPayloadSize};
  auto tree = std::make_unique<TABSBTree>(pages_, shape, definition.RootPage());
  probe_key_.Allocate(shape.key_size);
  bound_key_.Allocate(shape.key_size);
  entry_key_.Allocate(shape.key_size);
  entry_record_.Allocate(layout->MemoryRecordSize(), true);
  other_record_.Allocate(layout->MemoryRecordSize(), true);
  definition_.Assign(definition);
  layout_ = std::move(layout);
  tree_ = std::move(tree);
}

void TABSBTreeRecordIndex::Build(int32_t session, TABSIndexCursor* cursor, TABSIndexDef& definition) {
  Open(definition);
  const int32_t root = TABSBTree::CreateRoot(pages_, session, tree_->Shape());
  tree_->SetRootPage(root);
  definition_.SetRootPage(root);
  if (cursor != nullptr) {
    try {
      cursor->ForEachRecord([&](TABSRecordId id, const uint8_t* record) {
        if (Unique() && !IsKeyFree(session, record)) {
          throw EABSException(definition_.Primary() ? native::kBuildPrimaryKeyDuplicate : native::kBuildUniqueDuplicate,
                              {IndexConstraintName(definition_)});
        }
        InsertEntry(session, record, id);
      });
    } catch (...) {
      // Every page of the tree was added in this session; removing them
      // leaves nothing behind at commit, and a rollback gives them back.
      try {
        tree_->Drop(session);
      } catch (const EABSException&) {
      }
      tree_->SetRootPage(-1);
      definition_.SetRootPage(-1);
      throw;
    }
  }
  definition.SetRootPage(root);
}

void TABSBTreeRecordIndex::Drop(int32_t session) {
  RequireRoot(native::kDropNoRoot);
  tree_->Drop(session);
  tree_->SetRootPage(-1);
  definition_.SetRootPage(-1);
}

void TABSBTreeRecordIndex::Empty(int32_t session) {
  RequireRoot(native::kEmptyNoRoot);
  tree_->Empty(session);
}

void TABSBTreeRecordIndex::Rebuild(TABSIndexCursor& cursor) {
  const int32_t session = cursor.SessionId();
  if (RootPage() >= 0) Drop(session);
  TABSIndexDef definition;
  definition.Assign(definition_);
  Build(session, &cursor, definition);
}

TABSRecordId TABSBTreeRecordIndex::EntryId(int32_t session, const TABSKeyPath& path) {
  uint8_t payload[TABSRecordKeyRef::kLeafPayloadSize];
  tree_->ReadEntry(session, path, entry_key_.bytes(), payload);
  return TABSRecordId::Load(payload);
}

void TABSBTreeRecordIndex::GetRecord(int32_t session, TABSIndexRecordRequest& request,
                                     TABSIndexPositionCache* cache) {
  RequireRoot(native::kGetRecordNoRoot);
  if (request.mode == TABSGetRecordMode::kCurrent) throw EABSException(native::kGetRecordModeCurrent);
  TABSKeyPath path;
  switch (request.mode) {
    case TABSGetRecordMode::kFirst:
    case TABSGetRecordMode::kLast: {
      const bool any = request.mode == TABSGetRecordMode::kFirst ? tree_->First(session, path)
                                                                  : tree_->Last(session, path);
      if (!any) {
        request.result = request.mode == TABSGetRecordMode::kFirst ? TABSGetRecordResult::kEndOfIndex
                                                                    : TABSGetRecordResult::kBeginningOfIndex;
        return;
      }
      break;
    }
    default: {
      const bool cached = cache != nullptr &&
                          cache->Holds(definition_.ObjectId(), session, request.current_id) &&
                          tree_->IsCurrent(session, cache->path) && cache->path.OnEntry() &&
                          EntryId(session, cache->path) == request.current_id;
      if (cached) {
        path = cache->path;
      } else if (request.current_record == nullptr ||
                 !Locate(session, request.current_id, path, request.current_record)) {
        request.result = TABSGetRecordResult::kNotFound;
        return;
      }
      const bool next = request.mode == TABSGetRecordMode::kNext;
      if (!(next ? tree_->Next(session, path) : tree_->Prior(session, path))) {
        request.result = next ? TABSGetRecordResult::kEndOfIndex : TABSGetRecordResult::kBeginningOfIndex;
        return;
      }
    }
  }
  request.found_id = EntryId(session, path);
  if (request.destination != nullptr) ReadRecord(session, request.found_id, request.destination);
  request.result = TABSGetRecordResult::kFound;
  if (cache != nullptr) {
    cache->path = path;
    cache->index_object_id = definition_.ObjectId();
    cache->record_id = request.found_id;
    cache->session = session;
  }
}

bool TABSBTreeRecordIndex::SeekEntry(int32_t session, const uint8_t* record, TABSRecordId id, TABSKeyPath& path) {
  layout_->BuildShortKey(record, probe_key_.bytes());
  Probe probe(*this, session, record, probe_key_.bytes(), layout_->ColumnCount(), &id);
  return tree_->Seek(session, probe, Mode::kExact, path);
}

bool TABSBTreeRecordIndex::Locate(int32_t session, TABSRecordId id, TABSKeyPath& path, const uint8_t* record) {
  RequireRoot(native::kLocateNoRoot);
  return SeekEntry(session, record, id, path);
}

int TABSBTreeRecordIndex::ComparePaths(const TABSKeyPath* left, const TABSKeyPath* right) {
  return kelvorin::ComparePaths(left, right);
}

int64_t TABSBTreeRecordIndex::RecordNumber(int32_t session, TABSRecordId id, const TABSFilterBitmap* filter,
                                           const uint8_t* record) {
  RequireRoot(native::kRecordNumberNoRoot);
  TABSKeyPath path;
  if (!SeekEntry(session, record, id, path)) return -1;
  if (filter != nullptr && !filter->IsSet(id)) return -1;
  const int32_t position = path.Leaf().position;
  int64_t number = 0;
  bool own_leaf = true;
  tree_->WalkLeaves(session, path.Leaf().page_no, /*forward=*/false, [&](const TABSBTreePage& leaf) {
    const int32_t end = own_leaf ? position + 1 : leaf.Count();
    own_leaf = false;
    if (filter == nullptr) {
      number += end;
      return true;
    }
    for (int32_t i = 0; i < end; ++i) {
      if (filter->IsSet(TABSRecordId::Load(leaf.Payload(i)))) ++number;
    }
    return true;
  });
  return number;
}

void TABSBTreeRecordIndex::GoToRecordNumber(int32_t session, const TABSFilterBitmap* filter, TABSRecordId& id,
                                            int64_t number) {
  RequireRoot(native::kGoToRecordNumberNoRoot);
  int64_t counted = 0;
  bool any = false;
  bool found = false;
  if (number < 1) number = 1;
  tree_->WalkLeaves(session, -1, /*forward=*/true, [&](const TABSBTreePage& leaf) {
    any = any || leaf.Count() > 0;
    if (filter == nullptr && counted + leaf.Count() < number) {
      counted += leaf.Count();
      return true;
    }
    for (int32_t i = 0; i < leaf.Count(); ++i) {
      const TABSRecordId entry = TABSRecordId::Load(leaf.Payload(i));
      if (filter != nullptr && !filter->IsSet(entry)) continue;
      if (++counted == number) {
        id = entry;
        found = true;
        return false;
      }
    }
    return true;
  });
  if (!any) throw EABSException(native::kGoToRecordEmptyIndex);
  if (!found) throw EABSException(native::kGoToRecordBeyondCount);
}

void TABSBTreeRecordIndex::KeepFirstOfEqualKeys(int32_t session, TABSFilterBitmap& filter, int32_t columns) {
  RequireRoot(native::kKeepFirstNoRoot);
  if (columns <= 0 || columns > layout_->ColumnCount()) columns = layout_->ColumnCount();
  bool have_kept = false;
  TABSRecordId kept;
  std::vector<TABSRecordId> cleared;
  tree_->WalkLeaves(session, -1, /*forward=*/true, [&](const TABSBTreePage& leaf) {
    for (int32_t i = 0; i < leaf.Count(); ++i) {
      const TABSRecordId entry = TABSRecordId::Load(leaf.Payload(i));
      if (!filter.IsSet(entry)) continue;
      bool equal = false;
      if (have_kept) {
        int r = layout_->CompareShortKeys(bound_key_.bytes(), leaf.Key(i), columns);
        if (r == TABSBTreeProbe::kUndecided) {
          ReadRecord(session, kept, other_record_.bytes());
          ReadRecord(session, entry, entry_record_.bytes());
          r = layout_->CompareRecords(other_record_.bytes(), entry_record_.bytes(), columns);
        }
        equal = r == 0;
      }
      if (equal) {
        cleared.push_back(entry);
      } else {
        have_kept = true;
        kept = entry;
        std::memcpy(bound_key_.bytes(), leaf.Key(i), static_cast<size_t>(layout_->ShortKeySize()));
      }
    }
    return true;
  });
  // The filter changes only once the walk has read every entry.
  for (const TABSRecordId& id : cleared) filter.Clear(id);
}

void TABSBTreeRecordIndex::CheckCondition(const TABSScanSearchCondition* condition, bool lower) const {
  if (condition == nullptr) return;
  const Kind kind = condition->kind;
  const bool known = kind == Kind::kEqual || IsLowerBound(kind) || IsUpperBound(kind);
  if (!known || (lower ? IsUpperBound(kind) : IsLowerBound(kind))) throw EABSException(native::kScanConditionKind);
  if (condition->record == nullptr || condition->columns < 1 || condition->columns > layout_->ColumnCount() ||
      (condition->index_object_id != -1 && condition->index_object_id != definition_.ObjectId())) {
    throw EABSException(native::kScanConditionIndex);
  }
}

bool TABSBTreeRecordIndex::PositionFirst(int32_t session, const TABSScanSearchCondition& condition,
                                         TABSKeyPath& path) {
  layout_->BuildShortKey(condition.record, probe_key_.bytes());
  Probe probe(*this, session, condition.record, probe_key_.bytes(), condition.columns);
  switch (condition.kind) {
    case Kind::kEqual:
      return tree_->Seek(session, probe, Mode::kFirstEqual, path);
    case Kind::kGreater:
      tree_->Seek(session, probe, Mode::kLastEqual, path);
      return tree_->Next(session, path) && path.OnEntry();
    case Kind::kGreaterOrEqual:
      tree_->Seek(session, probe, Mode::kFirstEqual, path);
      return tree_->SettleForward(session, path);
    default:  // an upper bound: the first entry, if it qualifies
      return tree_->First(session, path) && Satisfies(session, path, condition);
  }
}

bool TABSBTreeRecordIndex::PositionLast(int32_t session, const TABSScanSearchCondition& condition,
                                        TABSKeyPath& path) {
  layout_->BuildShortKey(condition.record, probe_key_.bytes());
  Probe probe(*this, session, condition.record, probe_key_.bytes(), condition.columns);
  switch (condition.kind) {
    case Kind::kEqual:
      return tree_->Seek(session, probe, Mode::kLastEqual, path);
    case Kind::kLess:
      tree_->Seek(session, probe, Mode::kFirstEqual, path);
      return tree_->Prior(session, path) && path.OnEntry();
    case Kind::kLessOrEqual:
      tree_->Seek(session, probe, Mode::kLastEqual, path);
      return tree_->SettleBackward(session, path);
    default:  // a lower bound: the last entry, if it qualifies
      return tree_->Last(session, path) && Satisfies(session, path, condition);
  }
}

bool TABSBTreeRecordIndex::Satisfies(int32_t session, const TABSKeyPath& path,
                                     const TABSScanSearchCondition& condition) {
  uint8_t payload[TABSRecordKeyRef::kLeafPayloadSize];
  tree_->ReadEntry(session, path, entry_key_.bytes(), payload);
  return SatisfiesEntry(session, entry_key_.bytes(), payload, condition);
}

bool TABSBTreeRecordIndex::SatisfiesEntry(int32_t session, const uint8_t* key, const uint8_t* payload,
                                          const TABSScanSearchCondition& condition) {
  layout_->BuildShortKey(condition.record, bound_key_.bytes());
  Probe probe(*this, session, condition.record, bound_key_.bytes(), condition.columns);
  const int r = probe.CompareEntry(key, payload);  // condition - entry
  switch (condition.kind) {
    case Kind::kEqual:
      return r == 0;
    case Kind::kLess:
      return r > 0;
    case Kind::kLessOrEqual:
      return r >= 0;
    case Kind::kGreater:
      return r < 0;
    case Kind::kGreaterOrEqual:
      return r <= 0;
  }
  return false;
}

void TABSBTreeRecordIndex::ReadScanEntry(int32_t session, TABSIndexScanState& state) {
  uint8_t payload[TABSRecordKeyRef::kLeafPayloadSize];
  if (state.current_key.size() != layout_->ShortKeySize()) state.current_key.Allocate(layout_->ShortKeySize());
  tree_->ReadEntry(session, state.current, state.current_key.bytes(), payload);
  state.current_id = TABSRecordId::Load(payload);
}

void TABSBTreeRecordIndex::RememberScanEntry(int32_t session, TABSIndexScanState& state, uint8_t* record) {
  if (record != nullptr) ReadRecord(session, state.current_id, record);
  // Finding the place again among cut keys needs the entry's full values,
  // and the record may be gone by then: they are kept, from the key itself
  // where it holds no cut value.
  if (!layout_->HasCutColumns()) return;
  if (state.current_record.size() != layout_->MemoryRecordSize()) {
    state.current_record.Allocate(layout_->MemoryRecordSize());
  }
  if (!layout_->HoldsCutValue(state.current_key.bytes())) {
    layout_->RecordFromKey(state.current_key.bytes(), state.current_record.bytes());
  } else if (record != nullptr) {
    std::memcpy(state.current_record.bytes(), record, static_cast<size_t>(layout_->MemoryRecordSize()));
  } else {
    ReadRecord(session, state.current_id, state.current_record.bytes());
  }
}

bool TABSBTreeRecordIndex::RelocateScan(int32_t session, TABSIndexScanState& state) {
  if (tree_->IsCurrent(session, state.current) && state.current.OnEntry() &&
      EntryId(session, state.current) == state.current_id) {
    return state.ascending ? tree_->Next(session, state.current) : tree_->Prior(session, state.current);
  }
  // The entry, or the place it had, in (key, identifier) order.
  Probe probe(*this, session, layout_->HasCutColumns() ? state.current_record.bytes() : nullptr,
              state.current_key.bytes(), layout_->ColumnCount(), &state.current_id);
  const bool present = tree_->Seek(session, probe, Mode::kExact, state.current);
  if (state.ascending) {
    return present ? tree_->Next(session, state.current) : tree_->SettleForward(session, state.current);
  }
  return tree_->Prior(session, state.current) && state.current.OnEntry();
}

TABSBTreeRecordIndex::ScanBounds TABSBTreeRecordIndex::Bounds(const TABSScanSearchCondition* lower,
                                                               const TABSScanSearchCondition* upper,
                                                               bool ascending) const {
  CheckCondition(lower, /*lower=*/true);
  CheckCondition(upper, /*lower=*/false);
  // An equal condition bounds both ways.
  const TABSScanSearchCondition* lower_too = upper != nullptr && upper->kind == Kind::kEqual ? upper : nullptr;
  const TABSScanSearchCondition* upper_too = lower != nullptr && lower->kind == Kind::kEqual ? lower : nullptr;
  ScanBounds bounds;
  bounds.starts = ascending ? std::array{lower, lower_too} : std::array{upper, upper_too};
  bounds.ends = ascending ? std::array{upper, upper_too} : std::array{lower, lower_too};
  return bounds;
}

bool TABSBTreeRecordIndex::PositionStart(int32_t session, const ScanBounds& bounds, bool ascending,
                                         TABSKeyPath& path) {
  bool any = false;
  TABSKeyPath candidate;
  for (const TABSScanSearchCondition* condition : bounds.starts) {
    if (condition == nullptr) continue;
    if (!(ascending ? PositionFirst(session, *condition, candidate) : PositionLast(session, *condition, candidate))) {
      return false;
    }
    // The later start (the earlier, scanning down) satisfies both.
    if (!any || (kelvorin::ComparePaths(&candidate, &path) > 0) == ascending) path = candidate;
    any = true;
  }
  if (any) return true;
  return ascending ? tree_->First(session, path) : tree_->Last(session, path);
}

bool TABSBTreeRecordIndex::WithinEnds(int32_t session, TABSIndexScanState& state, const ScanBounds& bounds) {
  if (!state.current.OnEntry()) return false;
  ReadScanEntry(session, state);
  uint8_t payload[TABSRecordKeyRef::kLeafPayloadSize];
  state.current_id.Store(payload);
  for (const TABSScanSearchCondition* condition : bounds.ends) {
    if (condition != nullptr && !SatisfiesEntry(session, state.current_key.bytes(), payload, *condition)) {
      return false;
    }
  }
  return true;
}

bool TABSBTreeRecordIndex::ScanStep(int32_t session, bool restart, TABSIndexScanState* state, TABSRecordId& id,
                                    uint8_t* record, const TABSScanSearchCondition* lower,
                                    const TABSScanSearchCondition* upper, bool ascending) {
  if (state == nullptr) throw EABSException(native::kScanStateNil);
  RequireRoot(native::kScanStepNoRoot);
  bool on_entry;
  if (restart || !state->started) {
    state->started = true;
    state->finished = false;
    state->ascending = ascending;
    on_entry = PositionStart(session, Bounds(lower, upper, ascending), ascending, state->current);
  } else {
    on_entry = !state->finished && RelocateScan(session, *state);
  }
  if (on_entry && WithinEnds(session, *state, Bounds(lower, upper, state->ascending))) {
    RememberScanEntry(session, *state, record);
    id = state->current_id;
    return true;
  }
  state->finished = true;
  return false;
}

int TABSBTreeRecordIndex::CompareRecords(const uint8_t* left, const uint8_t* right, int32_t columns) {
  return layout_->CompareRecords(left, right, columns);
}

int TABSBTreeRecordIndex::ConditionBound(const TABSScanSearchCondition& condition) {
  if (IsLowerBound(condition.kind)) return -1;
  if (IsUpperBound(condition.kind)) return 1;
  return 0;
}

int64_t TABSBTreeRecordIndex::EstimateCount(int32_t session, const TABSScanSearchCondition* lower,
                                            const TABSScanSearchCondition* upper, int64_t total) {
  RequireRoot(native::kEstimateCountNoRoot);
  TABSKeyPath path;
  if (!PositionStart(session, Bounds(lower, upper, true), true, path)) return 0;
  const double from = PathFraction(path);
  if (!PositionStart(session, Bounds(lower, upper, false), false, path)) return 0;
  // The end of the range lies just after its last entry.
  ++path.Leaf().position;
  const double to = PathFraction(path);
  const double estimate = std::round((to - from) * static_cast<double>(total));
  if (estimate <= 0) return 0;
  return estimate >= static_cast<double>(total) ? total : static_cast<int64_t>(estimate);
}

bool TABSBTreeRecordIndex::IsKeyFree(int32_t session, const uint8_t* record) {
  if (!Unique()) return true;
  RequireRoot(native::kIsKeyFreeNoRoot);
  layout_->BuildShortKey(record, probe_key_.bytes());
  Probe probe(*this, session, record, probe_key_.bytes(), layout_->ColumnCount());
  TABSKeyPath path;
  return !tree_->Seek(session, probe, Mode::kFirstEqual, path);
}

bool TABSBTreeRecordIndex::IsKeyFreeOnUpdate(int32_t session, const uint8_t* old_record,
                                             const uint8_t* new_record, TABSRecordId own_id) {
  if (!Unique()) return true;
  RequireRoot(native::kIsKeyFreeNoRoot);
  if (layout_->CompareRecords(old_record, new_record, layout_->ColumnCount()) == 0) return true;
  layout_->BuildShortKey(new_record, probe_key_.bytes());
  Probe probe(*this, session, new_record, probe_key_.bytes(), layout_->ColumnCount());
  TABSKeyPath path;
  if (!tree_->Seek(session, probe, Mode::kFirstEqual, path)) return true;
  uint8_t payload[TABSRecordKeyRef::kLeafPayloadSize];
  do {
    tree_->ReadEntry(session, path, entry_key_.bytes(), payload);
    if (probe.CompareEntry(entry_key_.bytes(), payload) != 0) return true;
    if (TABSRecordId::Load(payload) != own_id) return false;
  } while (tree_->Next(session, path));
  return true;
}

void TABSBTreeRecordIndex::InsertEntry(int32_t session, const uint8_t* record, TABSRecordId id) {
  layout_->BuildShortKey(record, probe_key_.bytes());
  Probe probe(*this, session, record, probe_key_.bytes(), layout_->ColumnCount(), &id);
  uint8_t payload[TABSRecordKeyRef::kLeafPayloadSize];
  id.Store(payload);
  tree_->Insert(session, probe, probe_key_.bytes(), payload);
}

void TABSBTreeRecordIndex::Insert(TABSIndexCursor& cursor) {
  RequireRoot(native::kInsertNoRoot);
  InsertEntry(cursor.SessionId(), cursor.Record(), cursor.RecordId());
}

void TABSBTreeRecordIndex::Delete(int32_t session, const uint8_t* record, TABSRecordId id) {
  RequireRoot(native::kDeleteNoRoot);
  TABSKeyPath path;
  if (!SeekEntry(session, record, id, path)) throw EABSException(native::kIndexEntryNotFound);
  tree_->RemoveAt(session, path);
}

void TABSBTreeRecordIndex::Update(TABSIndexCursor& cursor) {
  RequireRoot(native::kUpdateNoRoot);
  const uint8_t* before = cursor.BeforeImage();
  const uint8_t* after = cursor.Record();
  if (layout_->CompareRecords(before, after, layout_->ColumnCount()) == 0) return;
  const int32_t session = cursor.SessionId();
  TABSKeyPath path;
  if (!SeekEntry(session, before, cursor.RecordId(), path)) throw EABSException(native::kIndexEntryNotFound);
  tree_->RemoveAt(session, path);
  InsertEntry(session, after, cursor.RecordId());
}

TABSBTreeCheckResult TABSBTreeRecordIndex::CheckIntegrity(int32_t session, bool check_records) {
  if (!tree_ || tree_->RootPage() < 0) {
    TABSBTreeCheckResult result;
    result.problems.push_back({native::kCheckPageShape.code, -1, -1,
                               EABSException(native::kCheckPageShape, {-1, -1}).what(), "the index has no root"});
    return result;
  }
  CheckOrder order(*this, session, check_records);
  return CheckBTree(pages_, session, tree_->RootPage(), tree_->Shape(), order);
}

}  // namespace kelvorin
