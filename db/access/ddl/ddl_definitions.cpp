#include "db/access/ddl/ddl_definitions.h"

#include <exception>
#include <limits>

#include "db/access/ddl/ddl_errors.h"
#include "db/storage/compression/compression.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/value_compare.h"
#include "db/tables/values/value_convert.h"

namespace kelvorin {
namespace {

using Limits = std::pair<int64_t, int64_t>;

// The values an auto-increment column of the storage type holds.
Limits IntegerLimits(TABSStorageType type) {
  switch (type) {
    case TABSStorageType::ShortInt: return {INT8_MIN, INT8_MAX};
    case TABSStorageType::SmallInt: return {INT16_MIN, INT16_MAX};
    case TABSStorageType::Integer: return {INT32_MIN, INT32_MAX};
    case TABSStorageType::Byte: return {0, UINT8_MAX};
    case TABSStorageType::Word: return {0, UINT16_MAX};
    case TABSStorageType::Cardinal: return {0, UINT32_MAX};
    default: return {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()};
  }
}

bool IsNumberValue(const TABSVariant& value) {
  return IsNumericStorage(value.Type());
}

// The value in the field's type; raises `error` {field, reason} when it
// does not convert, would come back changed (a number cut or rounded) or
// does not fit the field's size.
TABSVariant ValueForField(const TABSVariant& value, const TABSFieldDef& field, const TABSNativeError& error) {
  if (value.IsNull()) return TABSVariant();
  TABSVariant converted(value);
  try {
    converted.ConvertTo(field.StorageType());
    if (IsStringStorage(value.Type()) && field.StorageType() == TABSStorageType::Logical &&
        !TextNamesTruthValue(value.AsString())) {
      throw EABSException(error, {field.Name(), "'" + value.AsString() + "' is neither TRUE nor FALSE"});
    }
    if (IsNumberValue(value)) {
      TABSVariant back(converted);
      back.ConvertTo(value.Type());
      if (back.Compare(value) != kCompareEqual) {
        throw EABSException(error, {field.Name(), value.AsString() + " does not keep its value as " +
                                                      std::string(ColumnTypeName(field.ColumnType()))});
      }
    }
  } catch (const EABSException& failure) {
    if (failure.NativeError() == error.code) throw;
    throw EABSException(error, {field.Name(), failure.what()});
  } catch (const std::exception& failure) {
    throw EABSException(error, {field.Name(), failure.what()});
  }
  const TABSStorageType type = field.StorageType();
  const bool sized = IsStringStorage(type) || type == TABSStorageType::Bytes || type == TABSStorageType::VarBytes;
  if (sized) {
    const int64_t length = IsStringStorage(type) ? converted.StringLength() : converted.DataSize();
    if (length > field.DeclaredSize()) {
      throw EABSException(error, {field.Name(), "'" + value.AsString() + "' is longer than " +
                                                    std::to_string(field.DeclaredSize())});
    }
  }
  return converted;
}

void CheckAutoInc(const TSQLFieldDef& column, const TABSFieldDef& field) {
  if (!IsAutoIncColumn(field.ColumnType())) return;
  const auto fail = [&](const std::string& reason) {
    throw EABSException(native::kAutoIncSettingsInvalid, {field.Name(), reason});
  };
  if (field.AutoIncIncrement() == 0) fail("INCREMENT 0");
  // A default would stand in every new record where the next number belongs.
  if (!field.DefaultValue().IsNull()) fail("an auto-increment column takes no DEFAULT");
  if (field.AutoIncMinimum() >= field.AutoIncMaximum()) fail("MINVALUE is not below MAXVALUE");
  const Limits limits = IntegerLimits(field.StorageType());
  const auto within = [&](bool given, int64_t value, const char* what) {
    if (given && (value < limits.first || value > limits.second)) {
      fail(std::string(what) + " " + std::to_string(value) + " does not fit " +
           std::string(ColumnTypeName(field.ColumnType())));
    }
  };
  // NOMAXVALUE gives the largest 64-bit number: no limit of its own.
  within(column.min_value_given, field.AutoIncMinimum(), "MINVALUE");
  within(column.max_value_given && field.AutoIncMaximum() != std::numeric_limits<int64_t>::max(),
         field.AutoIncMaximum(), "MAXVALUE");
  within(column.initial_value_given, field.AutoIncInitialValue(), "INITIALVALUE");
  if (field.AutoIncInitialValue() < field.AutoIncMinimum() || field.AutoIncInitialValue() > field.AutoIncMaximum()) {
    fail("INITIALVALUE lies outside MINVALUE..MAXVALUE");
  }
}

void CheckCompression(const TABSFieldDef& field) {
  if (!IsBlobStorage(field.StorageType())) return;
  const uint8_t algorithm = field.BlobCompressionAlgorithm();
  if (!IsValidCompressionLevel(algorithm, field.BlobCompressionLevel())) {
    throw EABSException(native::kCompressionLevelInvalid,
                        {field.BlobCompressionLevel(), CompressionAlgorithmName(algorithm), field.Name()});
  }
}

int32_t FindConstraint(const TABSConstraintDefs& constraints, TABSConstraintKind kind, const std::string& field) {
  for (int32_t i = 0; i < constraints.Count(); ++i) {
    const TABSConstraintDef& constraint = *constraints.Items(i);
    if (constraint.Kind() == static_cast<uint8_t>(kind) && SameObjectName(constraint.SubjectPair().name, field)) {
      return i;
    }
  }
  return -1;
}

void ApplyRequired(const TSQLFieldDef& column, const std::string& field, TABSConstraintDefs& constraints) {
  if (!column.required_given) return;
  const int32_t at = FindConstraint(constraints, TABSConstraintKind::kNotNull, field);
  if (!column.required) {
    if (at >= 0) constraints.Delete(at);
  } else if (at < 0) {
    auto constraint = std::make_unique<TABSConstraintDefNotNull>();
    constraint->SubjectPair().name = CutObjectName(field);
    constraints.Add(std::move(constraint));
  }
}

void ApplyBounds(const TSQLFieldDef& column, const TABSFieldDef& field, TABSConstraintDefs& constraints) {
  int32_t at = FindConstraint(constraints, TABSConstraintKind::kCheck, field.Name());
  if (column.min_constraint_given || column.max_constraint_given) {
    if (at < 0) {
      auto constraint = std::make_unique<TABSConstraintDefCheck>();
      constraint->SubjectPair().name = CutObjectName(field.Name());
      constraints.Add(std::move(constraint));
      at = constraints.Count() - 1;
    }
    auto& check = static_cast<TABSConstraintDefCheck&>(*constraints.Items(at));
    if (column.min_constraint_given) check.Minimum() = column.min_constraint;
    if (column.max_constraint_given) check.Maximum() = column.max_constraint;
  }
  if (at < 0) return;
  auto& check = static_cast<TABSConstraintDefCheck&>(*constraints.Items(at));
  // Both limits in the field's type (a changed type may no longer hold them).
  check.Minimum() = ValueForField(check.Minimum(), field, native::kBoundInvalid);
  check.Maximum() = ValueForField(check.Maximum(), field, native::kBoundInvalid);
  if (check.Minimum().IsNull() && check.Maximum().IsNull()) {
    constraints.Delete(at);
    return;
  }
  if (!check.Minimum().IsNull() && !check.Maximum().IsNull() && check.Minimum().Compare(check.Maximum()) == kCompareGreater) {
    throw EABSException(native::kBoundInvalid, {field.Name(), "MINVALUE is above MAXVALUE"});
  }
  // A default outside the limits would fail every record that takes it.
  const TABSVariant& value = field.DefaultValue();
  if (value.IsNull()) return;
  const bool below = !check.Minimum().IsNull() && value.Compare(check.Minimum()) == kCompareLess;
  const bool above = !check.Maximum().IsNull() && value.Compare(check.Maximum()) == kCompareGreater;
  if (below || above) {
    throw EABSException(native::kDefaultInvalid, {field.Name(), value.AsString() + " lies outside MINVALUE..MAXVALUE"});
  }
}

}  // namespace

void ApplyColumn(const TSQLFieldDef& column, TABSFieldDef& field, TABSConstraintDefs& constraints) {
  if (field.Name().empty()) field.SetName(column.name);
  if (column.data_type_given) field.SetType(column.data_type, column.size_given ? column.size : 0);
  field.SetBlobSettings(
      column.blob_compression_algorithm_given ? column.blob_compression_algorithm : field.BlobCompressionAlgorithm(),
      column.blob_compression_mode_given ? column.blob_compression_mode : field.BlobCompressionLevel(),
      column.blob_block_size_given ? column.blob_block_size : field.BlobBlockSize());
  field.SetAutoInc(column.increment_given ? column.increment : field.AutoIncIncrement(),
                   column.initial_value_given ? column.initial_value : field.AutoIncInitialValue(),
                   column.min_value_given ? column.min_value : field.AutoIncMinimum(),
                   column.max_value_given ? column.max_value : field.AutoIncMaximum(),
                   column.cycled_given ? column.cycled : field.AutoIncCycle());
  if (column.default_value_given) field.DefaultValue() = column.default_value;
  field.DefaultValue() = ValueForField(field.DefaultValue(), field, native::kDefaultInvalid);
  CheckAutoInc(column, field);
  CheckCompression(field);
  ApplyRequired(column, field.Name(), constraints);
  ApplyBounds(column, field, constraints);
}

std::string DeclaredIndexName(const TABSDDLIndex& index) {
  if (!index.name.empty()) return index.name;
  std::string name = index.primary ? "C_PK" : index.unique ? "C_Unique" : "i";
  for (const TABSIndexField& field : index.fields) name += "$" + field.field_name;
  return name;
}

std::unique_ptr<TABSIndexDef> MakeIndexDef(const std::string& name, const std::vector<TABSIndexField>& fields,
                                           bool unique, bool primary) {
  std::vector<std::string> names, directions, cases;
  for (const TABSIndexField& field : fields) {
    names.push_back(field.field_name);
    directions.emplace_back(field.descending ? "DESC" : "");
    cases.emplace_back(field.case_insensitive ? "NO_CASE" : "");
  }
  auto index = std::make_unique<TABSIndexDef>();
  index->SetName(name);
  index->SetColumns(names, directions, cases);
  index->SetPrimary(primary);
  index->SetUnique(unique || primary);
  return index;
}

void AddDeclaredIndexes(const std::vector<TABSDDLIndex>& indexes, TABSTableMetadata& definitions) {
  for (const TABSDDLIndex& declared : indexes) {
    const std::string name = DeclaredIndexName(declared);
    if (definitions.Indexes().Find(name) != nullptr) throw EABSException(native::kIndexDeclaredTwice, {name});
    for (const TABSIndexField& field : declared.fields) {
      if (definitions.Fields().Find(field.field_name) == nullptr) {
        throw EABSException(native::kIndexColumnUnknown, {name, field.field_name});
      }
    }
    std::unique_ptr<TABSIndexDef> index = MakeIndexDef(name, declared.fields, declared.unique, declared.primary);
    std::unique_ptr<TABSConstraintDef> constraint = ConstraintOfIndex(*index);
    definitions.Indexes().Add(std::move(index));
    if (constraint != nullptr) definitions.Constraints().Add(std::move(constraint));
  }
}

void RemoveFieldConstraints(TABSConstraintDefs& constraints, const std::string& field_name) {
  for (int32_t i = constraints.Count() - 1; i >= 0; --i) {
    const TABSConstraintDef& constraint = *constraints.Items(i);
    const bool of_field = constraint.Kind() == static_cast<uint8_t>(TABSConstraintKind::kNotNull) ||
                          constraint.Kind() == static_cast<uint8_t>(TABSConstraintKind::kCheck);
    if (of_field && SameObjectName(constraint.SubjectPair().name, field_name)) constraints.Delete(i);
  }
}

}  // namespace kelvorin
