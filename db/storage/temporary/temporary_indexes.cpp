#include "db/storage/temporary/temporary_indexes.h"

namespace kelvorin {

TABSIndexDef* IndexForOrdering(TABSTableData& table, int32_t session, const std::vector<std::string>& field_names,
                               const std::vector<std::string>& directions,
                               const std::vector<std::string>& case_options) {
  std::lock_guard lock(table.CriticalSection());
  TABSIndexDefs& indexes = table.Metadata().Indexes();
  const int32_t object_id = indexes.FindMatching(field_names, directions, case_options, session);
  if (object_id < 0) return table.AddTemporaryIndex(session, field_names, directions, case_options);
  TABSIndexDef* definition = indexes.Items(indexes.IndexOfNumber(object_id));
  if (definition->Temporary()) table.RefreshTemporaryIndex(session, *definition);
  return definition;
}

}  // namespace kelvorin
