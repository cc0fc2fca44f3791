// The B-trees a disk table owns, as the catalogue creates, empties, drops
// and checks them: the trees of its indexes, and (checking only) the
// page-index trees that list its record pages and BLOB pages, which the
// record and BLOB managers keep. The trees themselves belong to the B-tree
// layer; this is the one place the catalogue reaches them through.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/tables/btree/record_id.h"

namespace kelvorin {

class TABSPageManager;
class TABSIndexDef;
class TABSFieldDefs;
class TABSIndexRecordReader;

enum class TABSPageIndexKind { kRecordPages, kBlobPages };

namespace table_trees {

// Raises unless the index's key layout can be used on pages of that size.
void CheckIndexLayout(const TABSIndexDef& index, const TABSFieldDefs& fields, int32_t page_data_size);
// A new empty tree for the index; its root page number goes into the
// definition.
void BuildIndex(TABSPageManager& manager, int32_t session, TABSIndexDef& index, const TABSFieldDefs& fields);
void EmptyIndex(TABSPageManager& manager, int32_t session, const TABSIndexDef& index,
                const TABSFieldDefs& fields);
void DropIndex(TABSPageManager& manager, int32_t session, const TABSIndexDef& index,
               const TABSFieldDefs& fields);

// What checking one tree found: its pages, the data pages a page-index tree
// lists with the amount of each, and every inconsistency (none when the
// tree is sound).
struct TABSTreeCheck {
  std::vector<int32_t> tree_pages;
  std::vector<int32_t> listed_pages;
  std::vector<int32_t> listed_amounts;
  std::vector<std::string> problems;
};

TABSTreeCheck CheckPageIndex(TABSPageManager& manager, int32_t session, TABSPageIndexKind kind, int32_t root,
                             int32_t records_per_page);
// With a record reader, cut keys that tie are ordered on their records, and
// every entry's record must exist with the entry's key.
TABSTreeCheck CheckIndex(TABSPageManager& manager, int32_t session, const TABSIndexDef& index,
                         const TABSFieldDefs& fields, TABSIndexRecordReader* reader = nullptr);
// The records (memory forms, by identifier) that the index does not list,
// each named in a problem; the index's tree must be sound.
using TABSRecordWalk = std::function<void(const std::function<void(TABSRecordId, const uint8_t*)>&)>;
std::vector<std::string> UnlistedRecords(TABSPageManager& manager, int32_t session, const TABSIndexDef& index,
                                         const TABSFieldDefs& fields, TABSIndexRecordReader& reader,
                                         const TABSRecordWalk& walk);

}  // namespace table_trees
}  // namespace kelvorin
