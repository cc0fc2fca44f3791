// The lock manager against a model: two opens of one file (their byte locks
// conflict as two processes' would), three connection slots, two tables and
// thousands of random requests and releases. After every step the answers,
// the slots' lock lists and the bytes another open sees agree with the
// model.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <tuple>

#include "tests/db/storage/locks/lock_test_util.h"

namespace kelvorin {
namespace {

using testing::ErrorCode;
using testing::LockTest;
using T = TABSLockType;

constexpr TABSLockWait kOnce{10, 1};

class LockModel {
 public:
  struct Entry {
    int32_t count = 0;
    bool has_byte = false;
    TABSRecordId record;
  };
  using Key = std::tuple<int32_t, int32_t, int32_t>;  // slot, type, table

  const std::map<Key, Entry>& Entries() const { return entries_; }
  // Locks an exclusive lock covered and handed their bytes when it went.
  int Handovers() const { return handovers_; }

  bool LockTable(int32_t slot, T type, int32_t table) {
    if (Entry* own = Find(slot, type, table)) {
      if (type == T::kEdit) return false;
      ++own->count;
      return true;
    }
    const bool covered = Find(slot, T::kExclusive, table) != nullptr;
    if (!covered && Conflicts(slot, type, table)) return false;
    entries_[{slot, LockTypeIndex(type), table}] = {1, !covered, {}};
    return true;
  }

  bool LockRecord(int32_t slot, int32_t table, const TABSRecordId& id) {
    if (Find(slot, T::kRecord, table) != nullptr) return false;
    const bool covered = Find(slot, T::kExclusive, table) != nullptr;
    if (!covered) {
      if (OtherHolds(slot, T::kExclusive, table)) return false;
      for (const auto& [key, entry] : entries_) {
        const auto [other, type, other_table] = key;
        if (other != slot && type == LockTypeIndex(T::kRecord) && other_table == table && entry.record == id) {
          return false;
        }
      }
    }
    entries_[{slot, LockTypeIndex(T::kRecord), table}] = {1, !covered, id};
    return true;
  }

  // False when there is nothing to release.
  bool UnlockTable(int32_t slot, T type, int32_t table) {
    Entry* entry = Find(slot, type, table);
    if (entry == nullptr || type == T::kRecord) return false;
    if (--entry->count == 0) Erase(slot, type, table);
    return true;
  }

  bool UnlockRecord(int32_t slot, int32_t table, const TABSRecordId& id) {
    const Entry* entry = Find(slot, T::kRecord, table);
    if (entry == nullptr || entry->record != id) return false;
    Erase(slot, T::kRecord, table);
    return true;
  }

  void ReleaseAll(int32_t slot) {
    for (auto it = entries_.begin(); it != entries_.end();) {
      it = std::get<0>(it->first) == slot ? entries_.erase(it) : std::next(it);
    }
  }

  Entry* Find(int32_t slot, T type, int32_t table) {
    const auto it = entries_.find({slot, LockTypeIndex(type), table});
    return it == entries_.end() ? nullptr : &it->second;
  }

 private:
  bool OtherHolds(int32_t slot, T type, int32_t table) const {
    for (const auto& [key, entry] : entries_) {
      const auto [other, held, other_table] = key;
      if (other != slot && held == LockTypeIndex(type) && other_table == table) return true;
    }
    return false;
  }
  bool Conflicts(int32_t slot, T type, int32_t table) const {
    for (int held = 0; held < kLockTypeCount; ++held) {
      if (!kLockCompatible[held][LockTypeIndex(type)] && OtherHolds(slot, static_cast<T>(held), table)) {
        return true;
      }
    }
    return false;
  }
  void Erase(int32_t slot, T type, int32_t table) {
    entries_.erase({slot, LockTypeIndex(type), table});
    if (type != T::kExclusive) return;
    // What the exclusive lock covered holds its own byte from now on.
    for (auto& [key, entry] : entries_) {
      if (std::get<0>(key) != slot || std::get<2>(key) != table || entry.has_byte) continue;
      entry.has_byte = true;
      ++handovers_;
    }
  }

  std::map<Key, Entry> entries_;
  int handovers_ = 0;
};

TEST_F(LockTest, ManagerAgreesWithAModelOverRandomRequests) {
  constexpr int32_t kConnections = 5;
  CreateLockFile(kConnections);
  const auto a = OpenMultiUser(2);
  const auto b = OpenMultiUser(1);
  struct Slot {
    TABSDatabaseTableLockManager* locks;
    int32_t number;
  };
  const Slot slots[] = {{&a->Locks(), a->Slot(0)}, {&a->Locks(), a->Slot(1)}, {&b->Locks(), b->Slot(0)}};
  TABSTableLocksFile probe0(Probe(), tables_[0], kConnections);
  TABSTableLocksFile probe1(Probe(), tables_[1], kConnections);
  const auto probe_of = [&](int32_t table) -> TABSTableLocksFile& { return table == tables_[0] ? probe0 : probe1; };
  const TABSRecordId records[] = {{10, 0}, {10, 1}, {11, 0}};
  const T table_types[] = {T::kShared, T::kRead, T::kEdit, T::kTransactionWrite, T::kWrite, T::kExclusive};

  LockModel model;
  int granted = 0;
  int refused = 0;
  std::mt19937 random(20240611);
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  for (int step = 0; step < 6000; ++step) {
    const Slot& slot = slots[pick(3)];
    int32_t table = tables_[pick(2)];
    T type = table_types[pick(6)];
    TABSRecordId record = records[pick(3)];
    const int op = pick(9);
    // Releases mostly name a lock the slot holds, so that the tables empty
    // again and exclusive locks get their chances.
    std::vector<LockModel::Key> held;
    for (const auto& [key, entry] : model.Entries()) {
      if (std::get<0>(key) == slot.number) held.push_back(key);
    }
    if (op >= 3 && op < 6 && !held.empty() && pick(4) != 0) {
      const LockModel::Key& key = held[static_cast<size_t>(pick(static_cast<int>(held.size())))];
      type = static_cast<T>(std::get<1>(key));
      table = std::get<2>(key);
      if (type == T::kRecord) {
        record = model.Find(slot.number, type, table)->record;
        type = T::kShared;
      }
    }
    SCOPED_TRACE("step " + std::to_string(step) + ", op " + std::to_string(op) + ", slot " +
                 std::to_string(slot.number) + ", type " + std::to_string(LockTypeIndex(type)));
    if (op < 3) {
      const bool expected = model.LockTable(slot.number, type, table);
      ASSERT_EQ(slot.locks->LockTable(slot.number, type, kOnce, table), expected);
      ++(expected ? granted : refused);
    } else if (op < 6) {
      const bool held = model.UnlockTable(slot.number, type, table);
      ASSERT_EQ(ErrorCode([&] { slot.locks->UnlockTable(slot.number, type, table); }), held ? 0 : 20202);
    } else if (op < 7) {
      ASSERT_EQ(slot.locks->LockRecord(slot.number, table, kOnce, record),
                model.LockRecord(slot.number, table, record));
    } else if (op < 8) {
      if (const LockModel::Entry* own = model.Find(slot.number, T::kRecord, table); own && pick(2) == 0) {
        record = own->record;
      }
      ASSERT_EQ(slot.locks->UnlockRecord(slot.number, table, record), model.UnlockRecord(slot.number, table, record));
    } else if (pick(4) == 0) {
      slot.locks->ReleaseAll(slot.number);
      model.ReleaseAll(slot.number);
    }
    // The lists hold what the model holds.
    for (const Slot& s : slots) {
      for (const TABSTableLockEntry& entry : s.locks->Entries(s.number)) {
        const LockModel::Entry* expected = model.Find(s.number, entry.type, entry.table);
        ASSERT_NE(expected, nullptr) << "an entry the model does not have";
        ASSERT_EQ(entry.count, expected->count);
        ASSERT_EQ(entry.file_locked, expected->has_byte);
      }
    }
    // Another open sees exactly the bytes of the model's entries.
    for (const Slot& s : slots) {
      for (const int32_t t : tables_) {
        for (int type_index = 0; type_index <= LockTypeIndex(T::kRecord); ++type_index) {
          const LockModel::Entry* entry = model.Find(s.number, static_cast<T>(type_index), t);
          ASSERT_EQ(probe_of(t).SlotHolds(static_cast<T>(type_index), s.number), entry != nullptr && entry->has_byte)
              << "byte of type " << type_index << ", slot " << s.number << ", table " << t;
          if (type_index == LockTypeIndex(T::kRecord) && entry != nullptr && entry->has_byte) {
            ASSERT_EQ(probe_of(t).ReadRecordId(s.number), entry->record);
          }
        }
      }
    }
    for (const int32_t t : tables_) {
      bool exclusive = false;
      for (const Slot& s : slots) exclusive = exclusive || model.Find(s.number, T::kExclusive, t) != nullptr;
      ASSERT_EQ(Probe().IsPageByteLocked(t, 0), exclusive) << "the file lock of table " << t;
    }
  }
  EXPECT_GT(granted, 500);
  EXPECT_GT(refused, 500) << "the requests must meet each other";
  EXPECT_GT(model.Handovers(), 5) << "exclusive locks must go while covering others";
  for (const Slot& s : slots) s.locks->ReleaseAll(s.number);
  ExpectLocksFree(tables_[0]);
  ExpectLocksFree(tables_[1]);
}

}  // namespace
}  // namespace kelvorin
