// TABSTableMetadata: the three definition lists of a table (fields, indexes,
// constraints) with the operations that span them: deriving constraints
// from field and index definitions, attaching constraints to the table with
// generated names, temporary index names, field rename, and the stored
// metadata block.
//
// The block holds the field section, the index section and the constraint
// section, then the sections of the record manager and of the BLOB manager,
// which their own layers write and read through TABSMetadataSection.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "db/tables/metadata/meta_object_defs.h"

namespace kelvorin {

// A section of another layer inside the metadata block.
class TABSMetadataSection {
 public:
  virtual ~TABSMetadataSection() = default;
  virtual void SaveToStream(TABSMetadataWriter& writer) const = 0;
  virtual void LoadFromStream(TABSMetadataReader& reader) = 0;
};

// The uniform random source of generated names.
class TABSNameRandom {
 public:
  virtual ~TABSNameRandom() = default;
  // A number from 0 to `max` inclusive.
  virtual uint32_t Next(uint32_t max) = 0;
};
TABSNameRandom& DefaultNameRandom();

// Hands out the database's next object number.
using TABSObjectIdSource = std::function<int32_t()>;

// A field as the dataset layer defines it when a table is created.
struct TABSDatasetFieldDef {
  std::string name;
  TABSColumnType type = TABSColumnType::None;
  int32_t size = 0;
  bool required = false;
  TABSVariant default_value;
  TABSVariant minimum;
  TABSVariant maximum;
  uint8_t blob_compression_algorithm = 0;
  uint8_t blob_compression_level = 0;
  int32_t blob_block_size = 0;
  int64_t autoinc_increment = 1;
  int64_t autoinc_initial = 0;
  int64_t autoinc_minimum = 0;
  int64_t autoinc_maximum = std::numeric_limits<int64_t>::max();
  bool autoinc_cycle = false;
};

// "C_PK" or "C_Unique" followed by "$" and each column's field name.
std::string IndexConstraintName(const TABSIndexDef& index);
// The unique or primary-key constraint derived from an index (none for an
// index that is neither).
std::unique_ptr<TABSConstraintDef> ConstraintOfIndex(const TABSIndexDef& index);

class TABSTableMetadata {
 public:
  static constexpr std::string_view kTemporaryIndexPrefix = "TEMPORARY_INDEX_";

  TABSFieldDefs& Fields() { return fields_; }
  const TABSFieldDefs& Fields() const { return fields_; }
  TABSIndexDefs& Indexes() { return indexes_; }
  const TABSIndexDefs& Indexes() const { return indexes_; }
  TABSConstraintDefs& Constraints() { return constraints_; }
  const TABSConstraintDefs& Constraints() const { return constraints_; }

  // The sections that end the block; either may be none.
  void SetTrailingSections(TABSMetadataSection* record_manager, TABSMetadataSection* blob_manager) {
    record_manager_ = record_manager;
    blob_manager_ = blob_manager;
  }

  void SaveToStream(TABSValueOutput& output) const;
  // The whole block, or an error (and no block).
  std::string MetadataBlock() const;
  // Reads the sections in order and recomputes the record layout; on an
  // error the lists are left as they were.
  void LoadFromStream(TABSValueInput& input);

  int32_t MemoryRecordSize() const { return memory_record_size_; }
  int32_t StoredRecordSize() const { return stored_record_size_; }
  void ComputeLayout() { fields_.ComputeLayout(&memory_record_size_, &stored_record_size_); }

  // Creates the field definitions in order, then a not-null constraint for
  // each required field and a check constraint for each field with a bound.
  void DefineFields(const std::vector<TABSDatasetFieldDef>& fields);
  // Appends the constraint of each primary or unique index, in index order.
  void DeriveIndexConstraints();
  // Takes over every constraint for the table: its table name, a new object
  // number, the numbers of its index and fields, and a generated name when
  // it has none.
  void AttachConstraints(std::string_view table_name, const TABSObjectIdSource& next_id,
                         TABSNameRandom& random = DefaultNameRandom());

  // "TEMPORARY_INDEX_" and a random number from 0 to 999999 not yet used.
  std::string TemporaryIndexName(TABSNameRandom& random = DefaultNameRandom()) const;
  // Appends a temporary index of the session for an ordering (its B-tree is
  // built by the caller).
  TABSIndexDef* AddTemporaryIndex(const std::vector<std::string>& field_names,
                                  const std::vector<std::string>& directions,
                                  const std::vector<std::string>& case_options, int32_t session_id,
                                  int32_t change_counter, const TABSObjectIdSource& next_id,
                                  TABSNameRandom& random = DefaultNameRandom());

  // Appends an index with a fresh object number and builds it (the B-tree
  // layer's `build`); a failed build removes it again and the error
  // propagates. A persistent primary or unique index then derives its
  // constraint for the table, with a number of its own, resolved at once.
  TABSIndexDef* AddIndex(std::unique_ptr<TABSIndexDef> index, std::string_view table_name,
                         const TABSObjectIdSource& next_id,
                         const std::function<void(TABSIndexDef&)>& build);
  // Removes an index; a persistent one first loses the first unique or
  // primary-key constraint whose subject it is. False when there is none.
  bool DropIndex(int32_t object_id);
  // Drops every temporary index (when the last cursor on the table closes).
  void DropTemporaryIndexes();

  // Renames a field and every index column that names it.
  void RenameField(std::string_view old_name, std::string_view new_name);

 private:
  void ResolveConstraint(TABSConstraintDef* constraint);
  std::string GeneratedName(const TABSConstraintDef& constraint, TABSNameRandom& random) const;
  bool ConstraintNameUsed(std::string_view name) const;

  TABSFieldDefs fields_;
  TABSIndexDefs indexes_;
  TABSConstraintDefs constraints_;
  TABSMetadataSection* record_manager_ = nullptr;
  TABSMetadataSection* blob_manager_ = nullptr;
  int32_t memory_record_size_ = 0;
  int32_t stored_record_size_ = 0;
};

}  // namespace kelvorin
