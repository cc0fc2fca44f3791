// TABSBaseConstraintManager: checks a record against the table's
// constraints, in list order, stopping at the first violation:
//   primary key  all key columns NULL (30330), or the key taken (30319)
//   unique       the key taken (30320)
//   not null     the field NULL (30026)
//   check        the field's value below the minimum (30029) or above the
//                maximum (30030); NULL passes
// A key is taken when another record holds an equal key, compared as the
// constraint's index compares keys (an update does not count the record
// itself). Every check runs before a record is changed.
#pragma once

#include <cstdint>

#include "db/tables/btree/record_id.h"
#include "db/tables/metadata/meta_object_defs.h"
#include "db/tables/records/index_manager.h"
#include "db/tables/records/record_fields.h"

namespace kelvorin {

class TABSBaseConstraintManager {
 public:
  TABSBaseConstraintManager(const TABSConstraintDefs& constraints, const TABSFieldDefs& fields,
                            const TABSRecordFields& record_fields, TABSBaseIndexManager& indexes);
  virtual ~TABSBaseConstraintManager() = default;
  TABSBaseConstraintManager(const TABSBaseConstraintManager&) = delete;
  TABSBaseConstraintManager& operator=(const TABSBaseConstraintManager&) = delete;

  // `old_record`: the stored version of an updated record (update only);
  // `record_count`: the table's records (no key can be taken in an empty
  // table).
  virtual void CheckConstraints(int32_t session, const uint8_t* record, TABSRecordId id, bool inserting,
                                const uint8_t* old_record, int64_t record_count);

 private:
  void CheckKey(int32_t session, const TABSConstraintDef& constraint, const uint8_t* record, TABSRecordId id,
                bool inserting, const uint8_t* old_record, int64_t record_count);
  int32_t SubjectField(const TABSConstraintDef& constraint, const TABSNativeError& not_found) const;
  void CheckBounds(const TABSConstraintDef& constraint, const uint8_t* record) const;

  const TABSConstraintDefs& constraints_;
  const TABSFieldDefs& fields_;
  const TABSRecordFields& record_fields_;
  TABSBaseIndexManager& indexes_;
};

}  // namespace kelvorin
