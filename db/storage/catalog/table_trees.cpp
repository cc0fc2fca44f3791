// Interim: single-page trees only, until the B-tree layer is merged.
#include "db/storage/catalog/table_trees.h"

#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_hold.h"
#include "db/tables/metadata/meta_object_defs.h"

namespace kelvorin::table_trees {
namespace {

constexpr int kHeaderSize = 18;

int32_t NewRoot(TABSPageManager& manager, int32_t session, uint16_t key_size) {
  TABSPageHold page = TABSPageHold::Add(manager, session, ptTableIndex);
  uint8_t* d = page->Data();
  d[0] = 1;
  d[1] = 1;
  StoreI32(d + 2, -1);
  StoreI32(d + 6, -1);
  d[10] = 1;
  d[11] = 0;
  StoreU16(d + 12, key_size);
  StoreU16(d + 14, 0);
  StoreU16(d + 16, 0);
  page.MarkDirty();
  return page->PageNo();
}

void CheckEmptyRoot(TABSPageManager& manager, int32_t session, int32_t root) {
  TABSPageHold page = TABSPageHold::Get(manager, session, root, ptTableIndex);
  if (LoadU16(page->Data() + 14) != 0 || page->Data()[1] != 1) {
    throw EABSException(99990, "interim tree layer: tree is not empty");
  }
  (void)kHeaderSize;
}

uint16_t KeySize(const TABSIndexDef& index, const TABSFieldDefs& fields) {
  int32_t size = 0;
  for (const TABSIndexColumn& column : index.Columns()) {
    const TABSFieldDef* field = fields.Find(column.field_name);
    if (field == nullptr) throw EABSException(20043, "Cannot find index field '%s'", {column.field_name});
    const int32_t s = field->MemorySize();
    size += column.max_indexed_size < s ? column.max_indexed_size + 3 : s + 1;
  }
  return static_cast<uint16_t>(size);
}

}  // namespace

int32_t CreatePageIndex(TABSPageManager& manager, int32_t session, TABSPageIndexKind, int32_t) {
  return NewRoot(manager, session, 4);
}

std::vector<int32_t> ListedPages(TABSPageManager& manager, int32_t session, TABSPageIndexKind, int32_t root,
                                 int32_t) {
  CheckEmptyRoot(manager, session, root);
  return {};
}

void EmptyPageIndex(TABSPageManager& manager, int32_t session, TABSPageIndexKind, int32_t root, int32_t) {
  CheckEmptyRoot(manager, session, root);
}

void DropPageIndex(TABSPageManager& manager, int32_t session, TABSPageIndexKind, int32_t root, int32_t) {
  CheckEmptyRoot(manager, session, root);
  manager.RemovePage(session, root);
}

void BuildIndex(TABSPageManager& manager, int32_t session, TABSIndexDef& index, const TABSFieldDefs& fields) {
  index.SetRootPage(NewRoot(manager, session, KeySize(index, fields)));
}

void EmptyIndex(TABSPageManager& manager, int32_t session, const TABSIndexDef& index, const TABSFieldDefs&) {
  CheckEmptyRoot(manager, session, index.RootPage());
}

void DropIndex(TABSPageManager& manager, int32_t session, const TABSIndexDef& index, const TABSFieldDefs&) {
  CheckEmptyRoot(manager, session, index.RootPage());
  manager.RemovePage(session, index.RootPage());
}

TABSTreeCheck CheckPageIndex(TABSPageManager& manager, int32_t session, TABSPageIndexKind, int32_t root,
                             int32_t) {
  TABSTreeCheck check;
  try {
    CheckEmptyRoot(manager, session, root);
    check.tree_pages.push_back(root);
  } catch (const EABSException& e) {
    check.problems.push_back(e.what());
  }
  return check;
}

TABSTreeCheck CheckIndex(TABSPageManager& manager, int32_t session, const TABSIndexDef& index,
                         const TABSFieldDefs&) {
  TABSTreeCheck check;
  try {
    CheckEmptyRoot(manager, session, index.RootPage());
    check.tree_pages.push_back(index.RootPage());
  } catch (const EABSException& e) {
    check.problems.push_back(e.what());
  }
  return check;
}

}  // namespace kelvorin::table_trees
