// The constraint definitions of a table. Every constraint has a kind and
// three name-and-number pairs: a first pair the table layer carries unread,
// the table, and the subject (the field of a not-null or check constraint,
// the index of a unique or primary-key constraint). Check constraints add
// two bounds, unique and primary-key constraints their columns.
//
// Stored entries (after the kind byte written by the list):
//   not null, check: header, the three numbers, the three pair names each as
//     a 1-byte N = length + 1 followed by the length byte and the
//     characters (so at most 254 characters), then for check the bounds;
//   unique, primary key: header, the three numbers, the three pair names
//     with a 4-byte N, the column count and per column the field's number,
//     a 4-byte N and the length byte and characters.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/tables/values/abs_variant.h"
#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {

enum class TABSConstraintKind : uint8_t { kPrimaryKey = 0, kUnique = 2, kNotNull = 3, kCheck = 4 };

struct TABSNameAndNumber {
  std::string name;
  int32_t number = kNoObjectId;

  bool operator==(const TABSNameAndNumber&) const = default;
};

class TABSConstraintDef : public TABSMetaObjectDef {
 public:
  // A definition of the class for a stored kind byte; nullptr for other kinds.
  static std::unique_ptr<TABSConstraintDef> Create(uint8_t kind);

  uint8_t Kind() const { return kind_; }

  TABSNameAndNumber& FirstPair() { return first_; }
  const TABSNameAndNumber& FirstPair() const { return first_; }
  TABSNameAndNumber& TablePair() { return table_; }
  const TABSNameAndNumber& TablePair() const { return table_; }
  TABSNameAndNumber& SubjectPair() { return subject_; }
  const TABSNameAndNumber& SubjectPair() const { return subject_; }

  void Assign(const TABSMetaObjectDef& source) override;

 protected:
  explicit TABSConstraintDef(TABSConstraintKind kind) : kind_(static_cast<uint8_t>(kind)) {}
  // Header and the three numbers.
  void SaveCommon(TABSMetadataWriter& writer) const;
  void LoadCommon(TABSMetadataReader& reader);

  std::string* PairName(int i);
  const std::string* PairName(int i) const;

 private:
  uint8_t kind_;
  TABSNameAndNumber first_;
  TABSNameAndNumber table_;
  TABSNameAndNumber subject_;
};

class TABSConstraintDefNotNull : public TABSConstraintDef {
 public:
  TABSConstraintDefNotNull() : TABSConstraintDef(TABSConstraintKind::kNotNull) {}
  void LoadFromStream(TABSMetadataReader& reader) override;
  // Raises a range error for a pair name longer than 254 characters.
  void SaveToStream(TABSMetadataWriter& writer) const override;

 protected:
  explicit TABSConstraintDefNotNull(TABSConstraintKind kind) : TABSConstraintDef(kind) {}
};

class TABSConstraintDefCheck : public TABSConstraintDefNotNull {
 public:
  TABSConstraintDefCheck() : TABSConstraintDefNotNull(TABSConstraintKind::kCheck) {}
  void Assign(const TABSMetaObjectDef& source) override;
  void LoadFromStream(TABSMetadataReader& reader) override;
  void SaveToStream(TABSMetadataWriter& writer) const override;

  TABSVariant& Minimum() { return minimum_; }
  const TABSVariant& Minimum() const { return minimum_; }
  TABSVariant& Maximum() { return maximum_; }
  const TABSVariant& Maximum() const { return maximum_; }

 private:
  TABSVariant minimum_;
  TABSVariant maximum_;
};

class TABSConstraintDefUnique : public TABSConstraintDef {
 public:
  TABSConstraintDefUnique() : TABSConstraintDef(TABSConstraintKind::kUnique) {}
  void Assign(const TABSMetaObjectDef& source) override;
  void LoadFromStream(TABSMetadataReader& reader) override;
  void SaveToStream(TABSMetadataWriter& writer) const override;

  // Field names and numbers, in index order.
  std::vector<TABSNameAndNumber>& Columns() { return columns_; }
  const std::vector<TABSNameAndNumber>& Columns() const { return columns_; }

 protected:
  explicit TABSConstraintDefUnique(TABSConstraintKind kind) : TABSConstraintDef(kind) {}

 private:
  std::vector<TABSNameAndNumber> columns_;
};

class TABSConstraintDefPrimary : public TABSConstraintDefUnique {
 public:
  TABSConstraintDefPrimary() : TABSConstraintDefUnique(TABSConstraintKind::kPrimaryKey) {}
};

}  // namespace kelvorin
