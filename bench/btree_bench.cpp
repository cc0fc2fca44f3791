// Record index costs over an in-memory record source and a database file of
// 4096-byte pages (one session, committed at the end):
//   100,000 inserts of distinct keys in random order, then 100,000 point
//   lookups (an equal scan's first entry) of random keys, for an INTEGER key,
//   a STRING(20) key under the Czech collation, and a STRING(30) key of long
//   values whose 20-byte prefixes tie, so that full values are read.
// Prints nanoseconds per operation. The comparison with SQLite needs stored
// records and comes with the record layer.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "db/storage/pages/disk_page_manager.h"
#include "db/tables/btree/record_index.h"
#include "platform/locale_profile.h"
#include "tests/db/tables/btree/fake_table.h"

namespace {

using namespace kelvorin;
using namespace kelvorin::testing;
using Clock = std::chrono::steady_clock;

constexpr int kKeys = 100000;
constexpr int32_t kSession = 1;

double NanosecondsPer(Clock::time_point start, int operations) {
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / operations;
}

std::string Name(std::mt19937& rng, int i, size_t length) {
  static const char* const kSyllables[] = {"No", "v\xE1", "k", "Dvo", "\xF8\xE1", "ch", "Svo", "bo", "d",
                                           "\xC8" "er", "n\xFD", "Kr", "\xE1l", "Hor", "\xE1k"};
  std::string name;
  while (name.size() + 3 < length - 6) name += kSyllables[rng() % std::size(kSyllables)];
  name += ' ';
  name += std::to_string(i);
  return name;
}

void Run(const char* title, TABSColumnType type, int32_t size, const std::function<void(FakeTable&, Record&, int)>& fill) {
  const std::string path = (std::filesystem::temp_directory_path() / "kelvorin_btree_bench.db").string();
  FakeTable table({{"Klic", type, size}});
  std::vector<TABSRecordId> ids;
  std::vector<int> order(kKeys);
  for (int i = 0; i < kKeys; ++i) order[i] = i;
  std::mt19937 rng(42);
  std::shuffle(order.begin(), order.end(), rng);
  for (int i : order) {
    Record record = table.NewRecord();
    fill(table, record, i);
    ids.push_back(table.Add(record));
  }
  table.Freeze();
  std::vector<const Record*> records;
  for (const TABSRecordId& id : ids) records.push_back(&table.Records().at(id));

  TABSDiskPageManager pages;
  pages.CreateDatabaseFile(path, {}, 8, 4096);
  auto definition = MakeIndexDef("Bench", 1, {{"Klic"}});
  TABSBTreeRecordIndex index(pages, table.Fields(), &table);
  index.Build(kSession, nullptr, *definition);
  FakeCursor cursor(table, kSession);

  auto start = Clock::now();
  for (size_t i = 0; i < ids.size(); ++i) {
    cursor.Set(records[i], ids[i]);
    index.Insert(cursor);
  }
  const double insert = NanosecondsPer(start, kKeys);
  start = Clock::now();
  pages.CommitSession(kSession);
  const double commit = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

  std::vector<const Record*> probes;
  for (int i = 0; i < kKeys; ++i) probes.push_back(records[rng() % records.size()]);
  const int64_t reads_before = table.reads;
  auto state = index.NewScanState();
  int found = 0;
  start = Clock::now();
  for (const Record* probe : probes) {
    const TABSScanSearchCondition equal{TABSScanConditionKind::kEqual, probe->data(), 1, -1};
    TABSRecordId id;
    found += index.ScanStep(kSession, true, state.get(), id, nullptr, &equal, nullptr, true) ? 1 : 0;
  }
  const double lookup = NanosecondsPer(start, kKeys);
  std::printf("%-34s insert %8.0f ns  lookup %8.0f ns  (commit %.0f ms, %d found, %.1f record reads per lookup)\n",
              title, insert, lookup, commit, found, static_cast<double>(table.reads - reads_before) / kKeys);
  pages.Close();
  std::filesystem::remove(path);
}

}  // namespace

int main() {
  platform::SetCurrentLocale(platform::LocaleProfile::Czech());
  Run("INTEGER", TABSColumnType::Integer, 0,
      [](FakeTable& table, Record& record, int i) { table.SetInteger(record, 0, i * 7 - kKeys); });
  std::mt19937 names(7);
  Run("STRING(20), Czech", TABSColumnType::String, 20,
      [&](FakeTable& table, Record& record, int i) { table.SetString(record, 0, Name(names, i, 19)); });
  Run("STRING(30), 20-byte prefixes tie", TABSColumnType::String, 30, [](FakeTable& table, Record& record, int i) {
    std::string name = "P\xF8\xED" "jmen\xED a jm\xE9no hr\xE1\xE8" "e ";
    name += std::to_string(i);
    table.SetString(record, 0, name);
  });
  return 0;
}
