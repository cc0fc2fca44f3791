#include "db/tables/metadata/field_def.h"

#include <utility>

namespace kelvorin {
namespace {

// Far beyond any record that fits a page; larger stored sizes are damage.
constexpr int32_t kMaxStoredDeclaredSize = 1 << 24;

}  // namespace

void TABSFieldDef::SetType(TABSColumnType column_type, int32_t declared_size) {
  TABSStorageType storage = StorageTypeOf(column_type);
  if (storage == TABSStorageType::None) {
    throw EABSException(native::kUnsupportedFieldType, {ColumnTypeName(column_type)});
  }
  int32_t memory = StorageSize(storage, declared_size);
  column_type_ = column_type;
  storage_type_ = storage;
  declared_size_ = declared_size;
  memory_size_ = memory;
  stored_size_ = IsBlobStorage(storage) ? kBlobReferenceStoredSize : memory;
}

void TABSFieldDef::SetBlobSettings(uint8_t algorithm, uint8_t level, int32_t block_size) {
  blob_compression_algorithm_ = algorithm;
  blob_compression_level_ = level;
  blob_block_size_ = block_size > 0 ? block_size : kDefaultBlobBlockSize;
}

void TABSFieldDef::SetAutoInc(int64_t increment, int64_t initial, int64_t minimum, int64_t maximum,
                              bool cycle) {
  autoinc_increment_ = increment;
  autoinc_initial_ = initial;
  autoinc_minimum_ = minimum;
  autoinc_maximum_ = maximum;
  autoinc_cycle_ = cycle;
}

void TABSFieldDef::Assign(const TABSMetaObjectDef& source) {
  if (&source == this) return;
  const TABSFieldDef& s = SameClass<TABSFieldDef>(source);
  TABSVariant default_value(s.default_value_);  // the one step that can fail
  TABSMetaObjectDef::Assign(s);
  storage_type_ = s.storage_type_;
  column_type_ = s.column_type_;
  declared_size_ = s.declared_size_;
  stored_size_ = s.stored_size_;
  memory_size_ = s.memory_size_;
  default_value_ = std::move(default_value);
  blob_compression_algorithm_ = s.blob_compression_algorithm_;
  blob_compression_level_ = s.blob_compression_level_;
  blob_block_size_ = s.blob_block_size_;
  SetAutoInc(s.autoinc_increment_, s.autoinc_initial_, s.autoinc_minimum_, s.autoinc_maximum_,
             s.autoinc_cycle_);
}

void TABSFieldDef::SaveToStream(TABSMetadataWriter& writer) const {
  SaveHeader(writer);
  writer.U8(static_cast<uint8_t>(storage_type_));
  writer.U8(static_cast<uint8_t>(column_type_));
  writer.I32(declared_size_);
  if (HasBlobSettings()) {
    writer.U8(blob_compression_algorithm_);
    writer.U8(blob_compression_level_);
    writer.I32(blob_block_size_);
  }
  writer.I64(autoinc_increment_);
  writer.I64(autoinc_initial_);
  writer.I64(autoinc_minimum_);
  writer.I64(autoinc_maximum_);
  writer.Bool(autoinc_cycle_);
  writer.Value(default_value_);
}

void TABSFieldDef::LoadFromStream(TABSMetadataReader& reader) {
  LoadHeader(reader);
  uint8_t storage = reader.U8();
  uint8_t column = reader.U8();
  int32_t declared = reader.I32();
  // The types must agree with each other, or the entry is damaged.
  if (StorageTypeOf(static_cast<TABSColumnType>(column)) != static_cast<TABSStorageType>(storage) ||
      storage == 0 || declared < 0 || declared > kMaxStoredDeclaredSize) {
    reader.Fail(storage, column);
  }
  SetType(static_cast<TABSColumnType>(column), declared);
  if (HasBlobSettings()) {
    uint8_t algorithm = reader.U8();
    uint8_t level = reader.U8();
    int32_t block_size = reader.I32();
    blob_compression_algorithm_ = algorithm;
    blob_compression_level_ = level;
    blob_block_size_ = block_size;
  }
  autoinc_increment_ = reader.I64();
  autoinc_initial_ = reader.I64();
  autoinc_minimum_ = reader.I64();
  autoinc_maximum_ = reader.I64();
  autoinc_cycle_ = reader.Bool();
  reader.Value(&default_value_);
}

}  // namespace kelvorin
