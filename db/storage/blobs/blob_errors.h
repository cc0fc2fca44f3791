// Native error entries of the BLOB storage that the common catalogue
// (native_errors.h) does not name: references, BLOB pages and large BLOBs
// that do not fit their table, and the limit of values in use at once.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

// Codes of this catalogue: 10750..10759 (10740..10749: record storage).

inline constexpr TABSNativeError kInvalidBlobReference{10750, "Invalid blob reference. PageNo=%d, Slot=%d"};
inline constexpr TABSNativeError kBlobPageDamaged{10751, "Blob page %d is damaged: %s"};
inline constexpr TABSNativeError kLargeBlobDamaged{10752, "Large blob at page %d is damaged: %s"};
inline constexpr TABSNativeError kBlobPageMismatch{
    10753, "Blob page %d does not match the blob-page index. Used=%d, Listed=%d"};
inline constexpr TABSNativeError kBlobPageTwice{10754, "Blob page %d belongs to two blob values"};
inline constexpr TABSNativeError kTooManyBlobValues{10755, "Too many blob values in use. Limit is %d"};
inline constexpr TABSNativeError kInvalidBlobValue{10756, "Invalid blob value. Blocks=%d, Size=%d"};

// Places of the common catalogue's messages.
inline constexpr TABSNativeError kBlobCacheNotReleased = kBlobCacheNotReleased20150;
inline constexpr TABSNativeError kCannotReadBlob = kCannotReadBlobValue20162;
inline constexpr TABSNativeError kBlobEntryMissing = kCannotFindBlobField20171;
inline constexpr TABSNativeError kBlobIdsExhausted = kInvalidBlobFieldId20172;
inline constexpr TABSNativeError kBlobPageFull = kCannotAddBlobPageFull20173;

}  // namespace kelvorin::native
