#include "db/storage/catalog/table_trees.h"

#include <memory>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/btree/btree.h"
#include "db/tables/btree/page_index.h"
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

// The shape of an index's tree: its short key (one null byte and the value,
// or a cut prefix with two terminator bytes) and a record identifier.
// Interim: the record index of the B-tree layer will give it.
TABSBTreeShape IndexShape(const TABSIndexDef& index, const TABSFieldDefs& fields) {
  int32_t size = 0;
  for (const TABSIndexColumn& column : index.Columns()) {
    const TABSFieldDef* field = fields.Find(column.field_name);
    if (field == nullptr) throw EABSException(20043, "Cannot find index field '%s'", {column.field_name});
    const int32_t s = field->MemorySize();
    size += column.max_indexed_size < s ? column.max_indexed_size + 3 : s + 1;
  }
  return {size, 6};
}

void Collect(const TABSBTreeCheckResult& result, TABSTreeCheck& check) {
  check.tree_pages = result.pages;
  for (const TABSBTreeProblem& problem : result.problems) {
    check.problems.push_back(problem.reason.empty() ? problem.text : problem.text + " (" + problem.reason + ")");
  }
}

}  // namespace

int32_t CreatePageIndex(TABSPageManager& manager, int32_t session, TABSPageIndexKind, int32_t) {
  return TABSBTreePageIndex::Create(manager, session);
}

std::vector<int32_t> ListedPages(TABSPageManager& manager, int32_t session, TABSPageIndexKind kind, int32_t root,
                                 int32_t records_per_page) {
  std::vector<int32_t> pages;
  for (const TABSPageAmount& entry : PageIndex(manager, kind, root, records_per_page)->Entries(session)) {
    pages.push_back(entry.page_no);
  }
  return pages;
}

void EmptyPageIndex(TABSPageManager& manager, int32_t session, TABSPageIndexKind kind, int32_t root,
                    int32_t records_per_page) {
  PageIndex(manager, kind, root, records_per_page)->Empty(session);
}

void DropPageIndex(TABSPageManager& manager, int32_t session, TABSPageIndexKind kind, int32_t root,
                   int32_t records_per_page) {
  PageIndex(manager, kind, root, records_per_page)->Drop(session);
}

void BuildIndex(TABSPageManager& manager, int32_t session, TABSIndexDef& index, const TABSFieldDefs& fields) {
  index.SetRootPage(TABSBTree::CreateRoot(manager, session, IndexShape(index, fields)));
}

void EmptyIndex(TABSPageManager& manager, int32_t session, const TABSIndexDef& index,
                const TABSFieldDefs& fields) {
  TABSBTree(manager, IndexShape(index, fields), index.RootPage()).Empty(session);
}

void DropIndex(TABSPageManager& manager, int32_t session, const TABSIndexDef& index,
               const TABSFieldDefs& fields) {
  TABSBTree(manager, IndexShape(index, fields), index.RootPage()).Drop(session);
}

TABSTreeCheck CheckPageIndex(TABSPageManager& manager, int32_t session, TABSPageIndexKind kind, int32_t root,
                             int32_t records_per_page) {
  TABSTreeCheck check;
  const auto index = PageIndex(manager, kind, root, records_per_page);
  Collect(index->Check(session), check);
  if (!check.problems.empty()) return check;
  try {
    for (const TABSPageAmount& entry : index->Entries(session)) check.listed_pages.push_back(entry.page_no);
  } catch (const EABSException& e) {
    check.problems.push_back(e.what());
  }
  return check;
}

TABSTreeCheck CheckIndex(TABSPageManager& manager, int32_t session, const TABSIndexDef& index,
                         const TABSFieldDefs& fields) {
  TABSTreeCheck check;
  try {
    check.tree_pages = TABSBTree(manager, IndexShape(index, fields), index.RootPage()).CollectPages(session);
  } catch (const EABSException& e) {
    check.problems.push_back(e.what());
  }
  return check;
}

}  // namespace kelvorin::table_trees
