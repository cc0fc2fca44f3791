// TABSBaseFieldManager: a table's fields as records see them: the record
// layout of its field definitions, field access, new records with their
// default values, and the auto-increment numbering.
//
// Auto-increment: each field's last value lives in the table's state block
// (the array the manager is given). A generated value is the last value
// plus the field's increment (1 when 0); it must fit the field's storage
// type and stay at or below the field's maximum (0: none). A value that
// does not raises "Autoinc max value exceeded", or, for a field that
// cycles, starts again from the field's minimum (from the maximum when the
// increment is negative). A value given explicitly moves the last value
// only when it lies beyond it in the direction of counting, so no value is
// handed out twice.
#pragma once

#include <cstdint>
#include <vector>

#include "db/tables/metadata/meta_object_defs.h"
#include "db/tables/records/base_session.h"
#include "db/tables/records/field_access.h"
#include "db/tables/records/record_fields.h"

namespace kelvorin {

class TABSBaseFieldManager {
 public:
  // `fields` has its layout computed; both outlive the manager.
  TABSBaseFieldManager(const TABSFieldDefs& fields, std::vector<int64_t>& autoinc_values);
  virtual ~TABSBaseFieldManager() = default;
  TABSBaseFieldManager(const TABSBaseFieldManager&) = delete;
  TABSBaseFieldManager& operator=(const TABSBaseFieldManager&) = delete;

  const TABSFieldDefs& Fields() const { return fields_; }
  const TABSRecordFields& RecordFields() const { return record_fields_; }
  // After the definitions or their layout changed.
  void Relayout() { record_fields_ = TABSRecordFields(fields_); }
  // The BLOB manager that NULL BLOB fields go through.
  void SetBlobManager(TABSBlobManager* blobs) { blobs_ = blobs; }

  virtual int64_t NextAutoIncValue(int32_t field);
  // Writes each default into its field (converted to the field's type; a
  // default that does not convert or fit raises and the field keeps what it
  // had). BLOB-like fields take no default.
  virtual void ApplyDefaults(TABSBaseSession& session, uint8_t* record);
  // Fills each NULL auto-increment field with the next value and notes
  // explicit ones; returns the fields it filled.
  virtual std::vector<int32_t> AssignAutoIncValues(TABSBaseSession& session, uint8_t* record);
  // Moves each counter up to the record's value beyond it (an update that
  // gives a key a higher number), so that numbers given out later never
  // meet it; the session's last value stays the last one it inserted.
  void RaiseAutoIncCounters(const uint8_t* record);
  virtual int64_t NextSessionSequenceValue(TABSBaseSession& session, int32_t field);
  virtual int64_t LastSessionSequenceValue(const TABSBaseSession& session, int32_t field) const;

  // Every field NULL, then the defaults when asked.
  void InitRecord(TABSBaseSession& session, uint8_t* record, bool apply_defaults);
  // Raises the error a default of the definitions would raise on a new
  // record (a table with such a default is not created).
  static void CheckDefaults(const TABSFieldDefs& fields);

  bool GetFieldData(int32_t field, void* buffer, const uint8_t* record) const {
    return kelvorin::GetFieldData(record_fields_, field, buffer, record);
  }
  void SetFieldData(int32_t field, const void* buffer, uint8_t* record) const {
    kelvorin::SetFieldData(record_fields_, field, buffer, record, blobs_);
  }
  void GetFieldValue(int32_t field, TABSVariant& value, const uint8_t* record) const {
    kelvorin::GetFieldValue(record_fields_, field, value, record);
  }
  void SetFieldValue(int32_t field, const TABSVariant& value, uint8_t* record) const {
    kelvorin::SetFieldValue(record_fields_, field, value, record, blobs_);
  }

 private:
  const TABSFieldDef& AutoIncField(int32_t field) const;
  // Raises the field's counter to the record's value beyond it, noting it
  // as the session's last value when a session is given.
  void NoteAutoIncValue(TABSBaseSession* session, const uint8_t* record, int32_t field);

  const TABSFieldDefs& fields_;
  std::vector<int64_t>& autoinc_values_;
  TABSRecordFields record_fields_;
  TABSBlobManager* blobs_ = nullptr;
};

}  // namespace kelvorin
