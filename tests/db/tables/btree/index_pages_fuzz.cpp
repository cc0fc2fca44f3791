// Index pages from arbitrary bytes: a record index or a page-index tree is
// built from the first bytes of the input, its stored pages are then
// overwritten at the places the rest of the input names, and every operation
// on the reopened tree must end in a result or an engine error: never a
// crash, a hang, a read outside a page or an allocation sized by a stored
// count.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/btree/page_index.h"
#include "db/tables/btree/record_index.h"
#include "platform/locale_profile.h"
#include "tests/db/tables/btree/fake_table.h"
#include "tests/db/tables/btree/memory_pages.h"

namespace {

using namespace kelvorin;
using namespace kelvorin::testing;

constexpr int32_t kSession = 1;

void Try(const std::function<void()>& operation, MemoryPageManager& pages) {
  try {
    operation();
  } catch (const EABSException&) {
  }
  pages.RollbackSession(kSession);
}

// Overwrites bytes of the stored pages: each patch is a page (by its place
// among the stored pages), a 16-bit offset into the page and a value.
void Patch(MemoryPageStore& store, const uint8_t* data, size_t size, int32_t page_size) {
  std::vector<int32_t> numbers;
  for (const auto& image : store.images) numbers.push_back(image.first);
  for (size_t i = 0; i + 4 <= size && !numbers.empty(); i += 4) {
    const int32_t page = numbers[data[i] % numbers.size()];
    const int32_t offset = (data[i + 1] | data[i + 2] << 8) % page_size;
    store.images[page][static_cast<size_t>(offset)] = data[i + 3];
  }
}

void RecordIndex(const uint8_t* data, size_t size, int32_t page_size, int records) {
  FakeTable table({{"Jmeno", TABSColumnType::String, 40}, {"Cislo", TABSColumnType::Integer, 0}});
  MemoryPageStore store;
  auto definition = MakeIndexDef("Fuzz", 1, {{"Cislo", true}, {"Jmeno", false, true, 3}});
  std::vector<TABSRecordId> ids;
  {
    MemoryPageManager pages(store, page_size);
    for (int i = 0; i < records; ++i) {
      Record record = table.NewRecord();
      table.SetInteger(record, 1, i % 13);
      table.SetString(record, 0, "Nov\xE1k " + std::to_string(i % 7));
      ids.push_back(table.Add(record));
    }
    FakeCursor cursor(table, kSession);
    TABSBTreeRecordIndex index(pages, table.Fields(), &table);
    index.Build(kSession, &cursor, *definition);
    pages.CommitSession(kSession);
  }
  Patch(store, data, size, page_size);
  MemoryPageManager pages(store, page_size);
  TABSBTreeRecordIndex index(pages, table.Fields(), &table);
  index.Open(*definition);
  index.CheckIntegrity(kSession);
  const Record& some = table.Records().begin()->second;
  const TABSRecordId some_id = table.Records().begin()->first;
  Try([&] {
        auto state = index.NewScanState();
        TABSRecordId id;
        for (bool restart = true; index.ScanStep(kSession, restart, state.get(), id, nullptr, nullptr, nullptr, false);
             restart = false) {
        }
      },
      pages);
  Try([&] {
        TABSIndexRecordRequest request;
        TABSIndexPositionCache cache;
        index.GetRecord(kSession, request, &cache);
        for (int i = 0; i < 2 * records + 2 && request.result == TABSGetRecordResult::kFound; ++i) {
          request.mode = TABSGetRecordMode::kNext;
          request.current_id = request.found_id;
          auto it = table.Records().find(request.found_id);
          request.current_record = it == table.Records().end() ? nullptr : it->second.data();
          index.GetRecord(kSession, request, &cache);
        }
      },
      pages);
  Try([&] { index.RecordNumber(kSession, some_id, nullptr, some.data()); }, pages);
  Try([&] {
        TABSRecordId id;
        index.GoToRecordNumber(kSession, nullptr, id, records / 2 + 1);
      },
      pages);
  Try([&] {
        const TABSScanSearchCondition lower{TABSScanConditionKind::kGreater, some.data(), 2, -1};
        index.EstimateCount(kSession, &lower, nullptr, records);
        auto state = index.NewScanState();
        TABSRecordId id;
        for (bool restart = true; index.ScanStep(kSession, restart, state.get(), id, nullptr, &lower, nullptr, true);
             restart = false) {
        }
      },
      pages);
  Try([&] { index.IsKeyFree(kSession, some.data()); }, pages);
  Try([&] {
        FakeCursor cursor(table, kSession);
        cursor.Set(&some, {999, 1});
        for (int i = 0; i < 40; ++i) index.Insert(cursor);
        index.Delete(kSession, some.data(), some_id);
      },
      pages);
  Try([&] { index.Empty(kSession); }, pages);
  Try([&] { index.Drop(kSession); }, pages);
}

void PageIndex(const uint8_t* data, size_t size, int32_t page_size, int pages_in_tree) {
  MemoryPageStore store;
  int32_t root;
  {
    MemoryPageManager pages(store, page_size);
    root = TABSBTreeRecordPageIndex::Create(pages, kSession);
    TABSBTreeRecordPageIndex index(pages, root, 9);
    for (int i = 0; i < pages_in_tree; ++i) index.AddAmount(kSession, 3 * i, 1 + i % 9);
    pages.CommitSession(kSession);
  }
  Patch(store, data, size, page_size);
  MemoryPageManager pages(store, page_size);
  TABSBTreeRecordPageIndex index(pages, root, 9);
  index.Check(kSession);
  Try([&] { index.Entries(kSession); }, pages);
  Try([&] { index.FindPageWithRoom(kSession, 1); }, pages);
  Try([&] { index.PositionOfNumber(kSession, pages_in_tree); }, pages);
  Try([&] { index.NumberOfPosition(kSession, 3 * (pages_in_tree / 2), 0); }, pages);
  Try([&] { index.NextPage(kSession, 3 * (pages_in_tree / 3)); }, pages);
  Try([&] { index.PriorPage(kSession, 3 * (pages_in_tree / 3)); }, pages);
  Try([&] {
        for (int i = 0; i < pages_in_tree; i += 2) index.SubtractAmount(kSession, 3 * i, 1 + i % 9);
        for (int i = 0; i < 60; ++i) index.AddAmount(kSession, 1000 + i, 2);
      },
      pages);
  Try([&] { index.Drop(kSession); }, pages);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const bool locale = [] {
    platform::SetCurrentLocale(platform::LocaleProfile::Czech());
    return true;
  }();
  (void)locale;
  const int32_t page_size = data[0] & 1 ? 512 : 256;
  const int count = 1 + data[1];
  if (data[0] & 2) {
    PageIndex(data + 2, size - 2, page_size, 2 * count);
  } else {
    RecordIndex(data + 2, size - 2, page_size, count);
  }
  return 0;
}
