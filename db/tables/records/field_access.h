// Field access on memory records: reading and writing one field of a record
// as raw bytes (the cursor layer's record buffers) or as a TABSVariant.
// Field numbers are table field numbers (a cursor with a projection maps its
// own first); a number outside the table raises the given error, whose text
// names the number and the field count.
//
// Raw data is each field's memory form, except SINGLE and EXTENDED fields,
// which are handed over as 8-byte doubles. BLOB-like fields carry their
// values through BLOB streams: reading one copies nothing, and only NULL can
// be written into one, through the table's BLOB manager: the field then
// holds an empty written value, and its stored value goes when the record
// is posted.
//
// Strings: a read value ends at its terminator, never past its slot; a write
// clears the slot and keeps its last character for the terminator. An empty
// string written into a field makes it NULL.
#pragma once

#include <cstdint>

#include "db/storage/blobs/blob_manager.h"
#include "db/tables/records/record_fields.h"
#include "db/tables/records/table_data_errors.h"
#include "db/tables/values/abs_variant.h"

namespace kelvorin {

// False when the field is NULL; a null `buffer` asks only that.
bool GetFieldData(const TABSRecordFields& fields, int32_t field, void* buffer, const uint8_t* record,
                  const TABSNativeError& field_error = native::kGetFieldDataFieldNumber);
// A null `buffer` (or an empty string) makes the field NULL.
void SetFieldData(const TABSRecordFields& fields, int32_t field, const void* buffer, uint8_t* record,
                  TABSBlobManager* blobs = nullptr,
                  const TABSNativeError& field_error = native::kSetFieldDataFieldNumber);
// A NULL field gives a NULL value of the value's type.
void GetFieldValue(const TABSRecordFields& fields, int32_t field, TABSVariant& value, const uint8_t* record,
                   const TABSNativeError& field_error = native::kGetFieldDataFieldNumber);
// Converts a copy of the value to the field's storage type first: a value
// that does not convert or fit (20056 "Buffer size exceeded") leaves the
// record as it was.
void SetFieldValue(const TABSRecordFields& fields, int32_t field, const TABSVariant& value, uint8_t* record,
                   TABSBlobManager* blobs = nullptr,
                   const TABSNativeError& field_error = native::kSetFieldDataFieldNumber);

}  // namespace kelvorin
