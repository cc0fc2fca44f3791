// Native error codes raised by the database file, the page manager and the
// free-space map. Messages are built where they are raised.
#pragma once

#include <cstdint>

namespace kelvorin::page_errors {

// Database file and disk page manager.
inline constexpr int32_t kHeaderNotOpenRead = 10459;
inline constexpr int32_t kHeaderNotOpenWrite = 10460;
inline constexpr int32_t kCreateInUse = 10461;
inline constexpr int32_t kOpenInUse = 10462;
inline constexpr int32_t kWriteHeader = 10462;
inline constexpr int32_t kReadHeader = 10464;
inline constexpr int32_t kWritePage = 10469;
inline constexpr int32_t kBadSignature = 10470;
inline constexpr int32_t kInvalidPageNo = 10471;
inline constexpr int32_t kReadPartOfPage = 10474;
inline constexpr int32_t kWritePartOfPage = 10475;
inline constexpr int32_t kReadPartOffset = 10476;
inline constexpr int32_t kWritePartOffset = 10477;
inline constexpr int32_t kWriteDiskCounter = 20198;
inline constexpr int32_t kCommitLocked = 20213;
inline constexpr int32_t kOpenLocked = 20230;
inline constexpr int32_t kAllocateLocked = 20231;
inline constexpr int32_t kFreeLocked = 20232;
inline constexpr int32_t kPageCountLocked = 20236;
inline constexpr int32_t kReadLocked = 10767;
inline constexpr int32_t kInvalidFormat = 20237;
inline constexpr int32_t kTablesLocked = 20210;
inline constexpr int32_t kTablesUnlock = 20211;
inline constexpr int32_t kCreateFile = 30361;
inline constexpr int32_t kOpenFile = 30364;
inline constexpr int32_t kCloseFile = 30365;
inline constexpr int32_t kUnknownAccessMode = 30366;
inline constexpr int32_t kUnknownShareMode = 30367;
inline constexpr int32_t kTruncate = 30370;
inline constexpr int32_t kGetSize = 30371;
inline constexpr int32_t kSetPosition = 30372;
inline constexpr int32_t kBlankName = 30374;
inline constexpr int32_t kClosedFile = 30376;
inline constexpr int32_t kOpenedFile = 30377;
inline constexpr int32_t kFlush = 30379;
inline constexpr int32_t kUnknownPageType = 30382;
inline constexpr int32_t kObjectIdNotOpen = 30399;
inline constexpr int32_t kObjectIdRead = 30400;
inline constexpr int32_t kObjectIdLocked = 30401;
inline constexpr int32_t kObjectIdWrite = 30404;
inline constexpr int32_t kNotOpen = 30436;
inline constexpr int32_t kEncryptionHeaderNotOpenWrite = 30437;
inline constexpr int32_t kReservedHeaderNotOpenRead = 30441;
inline constexpr int32_t kReservedHeaderNotOpenWrite = 30443;
inline constexpr int32_t kWriteEncryptionHeader = 30438;
inline constexpr int32_t kReadEncryptionHeader = 30439;
inline constexpr int32_t kReadReservedHeader = 30442;
inline constexpr int32_t kWriteReservedHeader = 30444;
inline constexpr int32_t kWrongPassword = 30445;
inline constexpr int32_t kDecryptCrc = 30446;

// Page manager.
inline constexpr int32_t kBufferNil = 20038;
inline constexpr int32_t kBadModification = 20039;
inline constexpr int32_t kInvalidPageNumber = 20064;
inline constexpr int32_t kInvalidDirtyPage = 20085;
inline constexpr int32_t kWriteUsedPage = 20086;
inline constexpr int32_t kInvalidIndexPage = 20087;
inline constexpr int32_t kRemoveUsedPage = 20088;
inline constexpr int32_t kPageUsedByOther = 20090;
inline constexpr int32_t kNotCommitted = 20097;
inline constexpr int32_t kPagesNotReleased = 20152;
inline constexpr int32_t kInvalidPageType = 20153;
inline constexpr int32_t kListEmpty = 20165;
inline constexpr int32_t kListNotFound = 20166;
inline constexpr int32_t kPageNotFound = 20167;
inline constexpr int32_t kInvalidSession = 20186;
inline constexpr int32_t kInvalidPageOwner = 10700;
inline constexpr int32_t kStatementActive = 10760;

// Free-space map.
inline constexpr int32_t kWrongEamType = 30423;
inline constexpr int32_t kWrongPfsType = 30424;
inline constexpr int32_t kAlreadyUsed = 30425;
inline constexpr int32_t kAlreadyFree = 30427;
inline constexpr int32_t kWrongEamTypeMark = 30428;
inline constexpr int32_t kPfsNotAddressed = 30430;
inline constexpr int32_t kEamNotAddressed = 30431;
inline constexpr int32_t kSystemPage = 30434;

}  // namespace kelvorin::page_errors
