#include "db/tables/metadata/meta_object_def.h"

#include "db/storage/errors/abs_exception.h"
#include "db/tables/metadata/metadata_errors.h"
#include "platform/locale_profile.h"

namespace kelvorin {

std::string CutObjectName(std::string_view name) {
  return std::string(name.substr(0, kMaxObjectNameLength));
}

bool SameObjectName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const platform::LocaleProfile& locale = platform::CurrentLocale();
  for (size_t i = 0; i < a.size(); ++i) {
    if (locale.UpperAnsiChar(a[i]) != locale.UpperAnsiChar(b[i])) return false;
  }
  return true;
}

void TABSMetaObjectDef::Assign(const TABSMetaObjectDef& source) {
  if (&source == this) return;
  name_ = source.name_;
  object_id_ = source.object_id_;
}

void TABSMetaObjectDef::SaveHeader(TABSMetadataWriter& writer) const {
  writer.ShortName(name_);
  writer.I32(object_id_);
}

void TABSMetaObjectDef::LoadHeader(TABSMetadataReader& reader) {
  std::string name = reader.ShortName();
  int32_t id = reader.I32();
  name_ = std::move(name);
  object_id_ = id;
}

void TABSMetaObjectDef::LoadFromStream(TABSMetadataReader& reader) { LoadHeader(reader); }

void TABSMetaObjectDef::SaveToStream(TABSMetadataWriter& writer) const { SaveHeader(writer); }

}  // namespace kelvorin
