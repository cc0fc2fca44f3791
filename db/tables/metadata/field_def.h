// TABSFieldDef: the definition of one field of a table: its column and
// storage types, declared, memory and stored sizes, its positions in the two
// record layouts, its default value, the compression of its BLOB values and
// its auto-increment settings (kept for every field, used only by the
// auto-increment column types).
#pragma once

#include <cstdint>
#include <limits>

#include "db/tables/values/abs_variant.h"
#include "db/tables/values/field_types.h"
#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {

class TABSFieldDef : public TABSMetaObjectDef {
 public:
  static constexpr int32_t kDefaultBlobBlockSize = 102400;

  TABSFieldDef() = default;

  void Assign(const TABSMetaObjectDef& source) override;
  void LoadFromStream(TABSMetadataReader& reader) override;
  void SaveToStream(TABSMetadataWriter& writer) const override;

  // Sets the column type with its declared size (characters of a string,
  // bytes of BYTES and VARBYTES) and derives the storage type and sizes.
  // Raises "Unsupported data type" for a column type without storage.
  void SetType(TABSColumnType column_type, int32_t declared_size);

  TABSStorageType StorageType() const { return storage_type_; }
  TABSColumnType ColumnType() const { return column_type_; }
  int32_t DeclaredSize() const { return declared_size_; }
  int32_t StoredSize() const { return stored_size_; }
  int32_t MemorySize() const { return memory_size_; }
  int32_t StoredOffset() const { return stored_offset_; }
  int32_t MemoryOffset() const { return memory_offset_; }
  void SetOffsets(int32_t stored_offset, int32_t memory_offset) {
    stored_offset_ = stored_offset;
    memory_offset_ = memory_offset;
  }

  const TABSVariant& DefaultValue() const { return default_value_; }
  TABSVariant& DefaultValue() { return default_value_; }

  uint8_t BlobCompressionAlgorithm() const { return blob_compression_algorithm_; }
  uint8_t BlobCompressionLevel() const { return blob_compression_level_; }
  int32_t BlobBlockSize() const { return blob_block_size_; }
  // A block size of 0 or less takes the default.
  void SetBlobSettings(uint8_t algorithm, uint8_t level, int32_t block_size);

  int64_t AutoIncIncrement() const { return autoinc_increment_; }
  int64_t AutoIncInitialValue() const { return autoinc_initial_; }
  int64_t AutoIncMinimum() const { return autoinc_minimum_; }
  int64_t AutoIncMaximum() const { return autoinc_maximum_; }
  bool AutoIncCycle() const { return autoinc_cycle_; }
  void SetAutoInc(int64_t increment, int64_t initial, int64_t minimum, int64_t maximum, bool cycle);

 private:
  bool HasBlobSettings() const { return IsBlobStorage(storage_type_); }

  TABSStorageType storage_type_ = TABSStorageType::None;
  TABSColumnType column_type_ = TABSColumnType::None;
  int32_t declared_size_ = 0;
  int32_t stored_size_ = 0;
  int32_t memory_size_ = 0;
  int32_t stored_offset_ = 0;
  int32_t memory_offset_ = 0;
  TABSVariant default_value_;
  uint8_t blob_compression_algorithm_ = 0;
  uint8_t blob_compression_level_ = 0;
  int32_t blob_block_size_ = kDefaultBlobBlockSize;
  int64_t autoinc_increment_ = 1;
  int64_t autoinc_initial_ = 0;
  int64_t autoinc_minimum_ = 0;
  int64_t autoinc_maximum_ = std::numeric_limits<int64_t>::max();
  bool autoinc_cycle_ = false;
};

}  // namespace kelvorin
