#include "db/tables/records/base_session.h"

#include <algorithm>

#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {
namespace {

bool SameKey(const TABSSessionNamedObjectSequenceValue& entry, int32_t object_id, std::string_view name) {
  if (object_id != -1) return entry.object_id == object_id;
  return entry.object_id == -1 && SameObjectName(entry.name, name);
}

}  // namespace

void TABSBaseSession::StoreSequenceValue(int32_t object_id, std::string_view name, int64_t value) {
  TABSSessionNamedObjectSequenceValue entry{object_id, std::string(name), value};
  std::erase_if(sequence_values_, [&](const auto& e) { return SameKey(e, object_id, name); });
  sequence_values_.push_back(std::move(entry));
}

const TABSSessionNamedObjectSequenceValue* TABSBaseSession::FindSequenceValue(int32_t object_id) const {
  for (const auto& entry : sequence_values_) {
    if (entry.object_id == object_id) return &entry;
  }
  return nullptr;
}

const TABSSessionNamedObjectSequenceValue* TABSBaseSession::FindSequenceValueByName(std::string_view name) const {
  for (const auto& entry : sequence_values_) {
    if (SameObjectName(entry.name, name)) return &entry;
  }
  return nullptr;
}

}  // namespace kelvorin
