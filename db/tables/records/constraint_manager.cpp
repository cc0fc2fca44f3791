#include "db/tables/records/constraint_manager.h"

#include <string>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/records/field_access.h"
#include "db/tables/records/table_data_errors.h"

namespace kelvorin {
namespace {

std::string ColumnNames(const TABSConstraintDefUnique& constraint) {
  std::string names;
  for (const TABSNameAndNumber& column : constraint.Columns()) {
    if (!names.empty()) names += ",";
    names += column.name;
  }
  return names;
}

}  // namespace

TABSBaseConstraintManager::TABSBaseConstraintManager(const TABSConstraintDefs& constraints,
                                                     const TABSFieldDefs& fields, const TABSRecordFields& record_fields,
                                                     TABSBaseIndexManager& indexes)
    : constraints_(constraints), fields_(fields), record_fields_(record_fields), indexes_(indexes) {}

void TABSBaseConstraintManager::CheckConstraints(int32_t session, const uint8_t* record, TABSRecordId id,
                                                 bool inserting, const uint8_t* old_record, int64_t record_count) {
  for (int32_t i = 0; i < constraints_.Count(); ++i) {
    const TABSConstraintDef& constraint = *constraints_.Items(i);
    switch (static_cast<TABSConstraintKind>(constraint.Kind())) {
      case TABSConstraintKind::kPrimaryKey:
      case TABSConstraintKind::kUnique:
        CheckKey(session, constraint, record, id, inserting, old_record, record_count);
        break;
      case TABSConstraintKind::kNotNull: {
        const int32_t field = SubjectField(constraint, native::kNotNullFieldNotFound);
        if (TABSRecordFields::IsNull(record, field)) {
          throw EABSException(native::kNotNullViolated, {constraint.Name(), fields_.Items(field)->Name()});
        }
        break;
      }
      case TABSConstraintKind::kCheck:
        CheckBounds(constraint, record);
        break;
      default:
        throw EABSException(native::kUnknownConstraintKind);
    }
  }
}

void TABSBaseConstraintManager::CheckKey(int32_t session, const TABSConstraintDef& constraint,
                                         const uint8_t* record, TABSRecordId id, bool inserting,
                                         const uint8_t* old_record, int64_t record_count) {
  const bool primary = constraint.Kind() == static_cast<uint8_t>(TABSConstraintKind::kPrimaryKey);
  TABSBTreeRecordIndex* index = indexes_.FindIndex(constraint.SubjectPair().number);
  if (index == nullptr) {
    throw EABSException(native::kConstraintIndexMissing, {constraint.SubjectPair().number, constraint.Name()});
  }
  if (primary && index->KeyLayout().AllColumnsNull(record)) {
    throw EABSException(native::kPrimaryKeyNull,
                        {constraint.Name(), ColumnNames(static_cast<const TABSConstraintDefUnique&>(constraint))});
  }
  if (record_count <= 0) return;
  const bool free = inserting || old_record == nullptr ? index->IsKeyFree(session, record)
                                                       : index->IsKeyFreeOnUpdate(session, old_record, record, id);
  if (!free) throw EABSException(primary ? native::kPrimaryKeyDuplicate : native::kUniqueDuplicate, {constraint.Name()});
}

int32_t TABSBaseConstraintManager::SubjectField(const TABSConstraintDef& constraint,
                                                const TABSNativeError& not_found) const {
  const int32_t field = fields_.IndexOfNumber(constraint.SubjectPair().number);
  if (field < 0) throw EABSException(not_found, {constraint.SubjectPair().number});
  return field;
}

void TABSBaseConstraintManager::CheckBounds(const TABSConstraintDef& constraint, const uint8_t* record) const {
  const int32_t field = SubjectField(constraint, native::kCheckFieldNotFound);
  if (TABSRecordFields::IsNull(record, field)) return;
  const auto& check = static_cast<const TABSConstraintDefCheck&>(constraint);
  TABSVariant value;
  GetFieldValue(record_fields_, field, value, record);
  const std::string& field_name = fields_.Items(field)->Name();
  if (!check.Minimum().IsNull() && check.Minimum().Compare(value) == kCompareGreater) {
    throw EABSException(native::kCheckBelowMinimum, {constraint.Name(), field_name, check.Minimum().AsString()});
  }
  if (!check.Maximum().IsNull() && check.Maximum().Compare(value) == kCompareLess) {
    throw EABSException(native::kCheckAboveMaximum, {constraint.Name(), field_name, check.Maximum().AsString()});
  }
}

}  // namespace kelvorin
