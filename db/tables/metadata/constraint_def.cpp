#include "db/tables/metadata/constraint_def.h"

#include <stdexcept>
#include <utility>

namespace kelvorin {
namespace {

// A pair name as N = length + 1 in a byte (`wide` false) or in four bytes,
// then the length byte and the characters.
void SavePairName(TABSMetadataWriter& writer, const std::string& name, bool wide) {
  int32_t n = static_cast<int32_t>(name.size()) + 1;
  if (wide) {
    writer.I32(n);
  } else {
    if (n > 255) throw std::out_of_range("Range check error");
    writer.U8(static_cast<uint8_t>(n));
  }
  writer.ShortName(name);
}

std::string LoadPairName(TABSMetadataReader& reader, bool wide) {
  int64_t n = wide ? reader.I32() : reader.U8();
  if (n < 1 || n > 256 || n > reader.Left()) reader.Fail(n, reader.Left());
  uint8_t length = reader.U8();
  if (length != n - 1) reader.Fail(n, length + 1);
  return reader.Chars(length);
}

// Field number, N and the length byte.
constexpr int32_t kMinStoredColumnSize = 4 + 4 + 1;

}  // namespace

std::unique_ptr<TABSConstraintDef> TABSConstraintDef::Create(uint8_t kind) {
  switch (static_cast<TABSConstraintKind>(kind)) {
    case TABSConstraintKind::kPrimaryKey: return std::make_unique<TABSConstraintDefPrimary>();
    case TABSConstraintKind::kUnique: return std::make_unique<TABSConstraintDefUnique>();
    case TABSConstraintKind::kNotNull: return std::make_unique<TABSConstraintDefNotNull>();
    case TABSConstraintKind::kCheck: return std::make_unique<TABSConstraintDefCheck>();
  }
  return nullptr;
}

std::string* TABSConstraintDef::PairName(int i) {
  return i == 0 ? &first_.name : i == 1 ? &table_.name : &subject_.name;
}

const std::string* TABSConstraintDef::PairName(int i) const {
  return i == 0 ? &first_.name : i == 1 ? &table_.name : &subject_.name;
}

void TABSConstraintDef::Assign(const TABSMetaObjectDef& source) {
  if (&source == this) return;
  const TABSConstraintDef& s = SameClass<TABSConstraintDef>(source);
  if (s.kind_ != kind_) throw EABSException(native::kAssignOtherClass);
  TABSNameAndNumber first = s.first_;
  TABSNameAndNumber table = s.table_;
  TABSNameAndNumber subject = s.subject_;
  TABSMetaObjectDef::Assign(s);
  first_ = std::move(first);
  table_ = std::move(table);
  subject_ = std::move(subject);
}

void TABSConstraintDef::SaveCommon(TABSMetadataWriter& writer) const {
  SaveHeader(writer);
  writer.I32(first_.number);
  writer.I32(table_.number);
  writer.I32(subject_.number);
}

void TABSConstraintDef::LoadCommon(TABSMetadataReader& reader) {
  LoadHeader(reader);
  first_.number = reader.I32();
  table_.number = reader.I32();
  subject_.number = reader.I32();
}

void TABSConstraintDefNotNull::SaveToStream(TABSMetadataWriter& writer) const {
  SaveCommon(writer);
  for (int i = 0; i < 3; ++i) SavePairName(writer, *PairName(i), false);
}

void TABSConstraintDefNotNull::LoadFromStream(TABSMetadataReader& reader) {
  LoadCommon(reader);
  for (int i = 0; i < 3; ++i) *PairName(i) = LoadPairName(reader, false);
}

void TABSConstraintDefCheck::Assign(const TABSMetaObjectDef& source) {
  if (&source == this) return;
  const TABSConstraintDefCheck& s = SameClass<TABSConstraintDefCheck>(source);
  TABSVariant minimum(s.minimum_);
  TABSVariant maximum(s.maximum_);
  TABSConstraintDef::Assign(s);
  minimum_ = std::move(minimum);
  maximum_ = std::move(maximum);
}

void TABSConstraintDefCheck::SaveToStream(TABSMetadataWriter& writer) const {
  TABSConstraintDefNotNull::SaveToStream(writer);
  writer.Value(minimum_);
  writer.Value(maximum_);
}

void TABSConstraintDefCheck::LoadFromStream(TABSMetadataReader& reader) {
  TABSConstraintDefNotNull::LoadFromStream(reader);
  reader.Value(&minimum_);
  reader.Value(&maximum_);
}

void TABSConstraintDefUnique::Assign(const TABSMetaObjectDef& source) {
  if (&source == this) return;
  const TABSConstraintDefUnique& s = SameClass<TABSConstraintDefUnique>(source);
  std::vector<TABSNameAndNumber> columns = s.columns_;
  TABSConstraintDef::Assign(s);
  columns_ = std::move(columns);
}

void TABSConstraintDefUnique::SaveToStream(TABSMetadataWriter& writer) const {
  SaveCommon(writer);
  for (int i = 0; i < 3; ++i) SavePairName(writer, *PairName(i), true);
  writer.I32(static_cast<int32_t>(columns_.size()));
  for (const TABSNameAndNumber& column : columns_) {
    writer.I32(column.number);
    SavePairName(writer, column.name, true);
  }
}

void TABSConstraintDefUnique::LoadFromStream(TABSMetadataReader& reader) {
  LoadCommon(reader);
  for (int i = 0; i < 3; ++i) *PairName(i) = LoadPairName(reader, true);
  int32_t count = reader.Count(kMinStoredColumnSize);
  std::vector<TABSNameAndNumber> columns(static_cast<size_t>(count));
  for (TABSNameAndNumber& column : columns) {
    column.number = reader.I32();
    column.name = LoadPairName(reader, true);
  }
  columns_ = std::move(columns);
}

}  // namespace kelvorin
