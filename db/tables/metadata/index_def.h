// TABSIndexDef: the definition of one index of a table: its ordered columns
// (TABSIndexColumn: field name, direction, case option, indexed prefix),
// uniqueness, primary-key flag and B-tree root page. A temporary index
// belongs to one session, carries the table's change counter at its last
// build and is never stored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {

struct TABSIndexColumn {
  static constexpr int32_t kDefaultMaxIndexedSize = 20;

  std::string field_name;
  bool descending = false;
  bool case_insensitive = false;
  // Bytes of a string value that the key keeps.
  int32_t max_indexed_size = kDefaultMaxIndexedSize;

  bool operator==(const TABSIndexColumn&) const = default;
};

class TABSIndexDef : public TABSMetaObjectDef {
 public:
  TABSIndexDef() = default;

  void Assign(const TABSMetaObjectDef& source) override;
  void LoadFromStream(TABSMetadataReader& reader) override;
  void SaveToStream(TABSMetadataWriter& writer) const override;

  // One column per name: descending for the direction "DESC",
  // case-insensitive for the case option "NO_CASE", 20 bytes indexed.
  void SetColumns(const std::vector<std::string>& field_names,
                  const std::vector<std::string>& directions,
                  const std::vector<std::string>& case_options);

  uint8_t Kind() const { return kind_; }
  std::vector<TABSIndexColumn>& Columns() { return columns_; }
  const std::vector<TABSIndexColumn>& Columns() const { return columns_; }
  bool Unique() const { return unique_; }
  void SetUnique(bool v) { unique_ = v; }
  bool Primary() const { return primary_; }
  void SetPrimary(bool v) { primary_ = v; }
  int32_t RootPage() const { return root_page_; }
  void SetRootPage(int32_t page) { root_page_ = page; }
  bool Temporary() const { return temporary_; }
  void SetTemporary(bool v) { temporary_ = v; }
  int32_t SessionId() const { return session_id_; }
  void SetSessionId(int32_t id) { session_id_ = id; }
  int32_t ChangeCounter() const { return change_counter_; }
  void SetChangeCounter(int32_t v) { change_counter_ = v; }

 private:
  uint8_t kind_ = 0;
  std::vector<TABSIndexColumn> columns_;
  bool unique_ = false;
  bool primary_ = false;
  int32_t root_page_ = -1;
  bool temporary_ = false;
  int32_t session_id_ = -1;
  int32_t change_counter_ = 0;
};

}  // namespace kelvorin
