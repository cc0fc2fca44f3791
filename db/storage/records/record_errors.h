// Native error entries of the record storage that the common catalogue
// (native_errors.h) does not name: records, identifiers and record pages
// that do not fit their table, and the limit of the record count.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

// Codes of this catalogue: 10740..10749 (10750..10759: BLOB storage).

inline constexpr TABSNativeError kInvalidRecordLayout{
    10740, "Invalid record layout. FieldNo=%d, MemoryRecordSize=%d, StoredRecordSize=%d"};
inline constexpr TABSNativeError kInvalidRecordId{10741,
                                                  "Invalid record id. PageNo=%d, Slot=%d, RecordsPerPage=%d"};
inline constexpr TABSNativeError kRecordPageMismatch{
    10742, "Record page %d does not match the record-page index. Records=%d, Listed=%d"};
inline constexpr TABSNativeError kTableFull{
    10743, "Cannot add record. The table holds %d records, the most a table can hold"};
inline constexpr TABSNativeError kRecordPageListDamaged{
    10744, "Invalid record-page index. PageNo=%d is listed out of order"};
inline constexpr TABSNativeError kNotABlobField{10745, "Field #%d is not a BLOB field"};
inline constexpr TABSNativeError kInvalidRecordCount{10746, "Invalid record count of table. RecordCount=%d"};

// Places of the common catalogue's messages.
inline constexpr TABSNativeError kRecordPageGeometry = kInvalidNumberOfRecords20140;
inline constexpr TABSNativeError kRecordPageFull = kCannotAddRecordPageFull20141;
inline constexpr TABSNativeError kFirstRecordMissing = kRecordNotFound20143;
inline constexpr TABSNativeError kLastRecordMissing = kRecordNotFound20144;
inline constexpr TABSNativeError kNextRecordMissing = kRecordNotFound20145;
inline constexpr TABSNativeError kPriorRecordMissing = kRecordNotFound20146;
inline constexpr TABSNativeError kRecordTooLarge = kRecordTooLarge20174;

}  // namespace kelvorin::native
