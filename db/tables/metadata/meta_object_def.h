// TABSMetaObjectDef: the base of every definition of a table's metadata (a
// field, an index, a constraint): a name of at most 255 8-bit characters and
// an object number unique in the database file (-1 until one is given).
// Every definition starts its stored entry with the same header: a length
// byte, the name's characters and the signed 32-bit object number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/metadata/metadata_errors.h"
#include "db/tables/metadata/metadata_stream.h"

namespace kelvorin {

inline constexpr size_t kMaxObjectNameLength = 255;
inline constexpr int32_t kNoObjectId = -1;

// Cuts a name to the longest that a definition holds.
std::string CutObjectName(std::string_view name);
// Names compared upper-cased with the locale's rules.
bool SameObjectName(std::string_view a, std::string_view b);

class TABSMetaObjectDef {
 public:
  TABSMetaObjectDef() = default;
  virtual ~TABSMetaObjectDef() = default;
  TABSMetaObjectDef(const TABSMetaObjectDef&) = default;
  TABSMetaObjectDef& operator=(const TABSMetaObjectDef&) = default;

  const std::string& Name() const { return name_; }
  void SetName(std::string_view name) { name_ = CutObjectName(name); }
  int32_t ObjectId() const { return object_id_; }
  void SetObjectId(int32_t id) { object_id_ = id; }

  // Copies a definition of the same class; assigning a definition to itself
  // changes nothing, and a failure leaves this one as it was.
  virtual void Assign(const TABSMetaObjectDef& source);
  virtual void LoadFromStream(TABSMetadataReader& reader);
  virtual void SaveToStream(TABSMetadataWriter& writer) const;

 protected:
  void SaveHeader(TABSMetadataWriter& writer) const;
  void LoadHeader(TABSMetadataReader& reader);

 private:
  std::string name_;
  int32_t object_id_ = kNoObjectId;
};

// The source of an Assign as the definition class T, or an engine error.
template <typename T>
const T& SameClass(const TABSMetaObjectDef& source) {
  const T* typed = dynamic_cast<const T*>(&source);
  if (typed == nullptr) throw EABSException(native::kAssignOtherClass);
  return *typed;
}

}  // namespace kelvorin
