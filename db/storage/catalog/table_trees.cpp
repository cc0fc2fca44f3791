#include "db/storage/catalog/table_trees.h"

#include <memory>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/btree/btree.h"
#include "db/tables/btree/page_index.h"
#include "db/tables/btree/record_index.h"
#include "db/tables/metadata/meta_object_defs.h"

namespace kelvorin::table_trees {
namespace {

std::unique_ptr<TABSBTreePageIndex> PageIndex(TABSPageManager& manager, TABSPageIndexKind kind, int32_t root,
                                              int32_t records_per_page) {
  if (kind == TABSPageIndexKind::kRecordPages) {
    return std::make_unique<TABSBTreeRecordPageIndex>(manager, root, records_per_page);
  }
  return std::make_unique<TABSBTreeBlobPageIndex>(manager, root);
}

// An index's tree as the catalogue works on it; only a check reads records.
class OpenIndex {
 public:
  OpenIndex(TABSPageManager& manager, const TABSIndexDef& definition, const TABSFieldDefs& fields,
            TABSIndexRecordReader* reader = nullptr)
      : index_(manager, fields, reader) {
    index_.Open(definition);
  }
  TABSBTreeRecordIndex* operator->() { return &index_; }

 private:
  TABSBTreeRecordIndex index_;
};

void Collect(const TABSBTreeCheckResult& result, TABSTreeCheck& check) {
  check.tree_pages = result.pages;
  for (const TABSBTreeProblem& problem : result.problems) {
    check.problems.push_back(problem.reason.empty() ? problem.text : problem.text + " (" + problem.reason + ")");
  }
}

}  // namespace

void CheckIndexLayout(const TABSIndexDef& index, const TABSFieldDefs& fields, int32_t page_data_size) {
  TABSRecordKeyRef layout(index, fields, page_data_size);
}

void BuildIndex(TABSPageManager& manager, int32_t session, TABSIndexDef& index, const TABSFieldDefs& fields) {
  TABSBTreeRecordIndex(manager, fields, nullptr).Build(session, nullptr, index);
}

void EmptyIndex(TABSPageManager& manager, int32_t session, const TABSIndexDef& index,
                const TABSFieldDefs& fields) {
  OpenIndex(manager, index, fields)->Empty(session);
}

void DropIndex(TABSPageManager& manager, int32_t session, const TABSIndexDef& index,
               const TABSFieldDefs& fields) {
  OpenIndex(manager, index, fields)->Drop(session);
}

TABSTreeCheck CheckPageIndex(TABSPageManager& manager, int32_t session, TABSPageIndexKind kind, int32_t root,
                             int32_t records_per_page) {
  TABSTreeCheck check;
  const auto index = PageIndex(manager, kind, root, records_per_page);
  Collect(index->Check(session), check);
  if (!check.problems.empty()) return check;
  try {
    for (const TABSPageAmount& entry : index->Entries(session)) {
      check.listed_pages.push_back(entry.page_no);
      check.listed_amounts.push_back(entry.amount);
    }
  } catch (const EABSException& e) {
    check.problems.push_back(e.what());
  }
  return check;
}

TABSTreeCheck CheckIndex(TABSPageManager& manager, int32_t session, const TABSIndexDef& index,
                         const TABSFieldDefs& fields, TABSIndexRecordReader* reader) {
  TABSTreeCheck check;
  try {
    Collect(OpenIndex(manager, index, fields, reader)->CheckIntegrity(session, reader != nullptr), check);
  } catch (const EABSException& e) {
    // A key layout the definitions do not allow.
    check.problems.push_back(e.what());
  }
  return check;
}

std::vector<std::string> UnlistedRecords(TABSPageManager& manager, int32_t session, const TABSIndexDef& index,
                                         const TABSFieldDefs& fields, TABSIndexRecordReader& reader,
                                         const TABSRecordWalk& walk) {
  std::vector<std::string> problems;
  OpenIndex open(manager, index, fields, &reader);
  walk([&](TABSRecordId id, const uint8_t* record) {
    TABSKeyPath path;
    if (!open->Locate(session, id, path, record)) {
      problems.push_back("the record at page " + std::to_string(id.page_no) + " slot " + std::to_string(id.slot) +
                         " is not listed");
    }
  });
  return problems;
}

}  // namespace kelvorin::table_trees
