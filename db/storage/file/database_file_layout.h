// Byte layout of a database file: the three headers at its start, the
// next-object-number counter, the page area and the 40-byte page header,
// with the little-endian accessors used to read and write them.
//
//   0    database header (76 bytes)
//   76   encryption header (280 bytes)
//   356  reserved header (20 bytes)
//   376  next-object-number counter (i32)
//   380  page n at 380 + n * page size
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "db/storage/file/little_endian.h"

namespace kelvorin {

inline constexpr int64_t kDatabaseHeaderSize = 76;
inline constexpr int64_t kEncryptionHeaderOffset = 76;
inline constexpr int64_t kEncryptionHeaderSize = 280;
inline constexpr int64_t kReservedHeaderOffset = 356;
inline constexpr int64_t kReservedHeaderSize = 20;
inline constexpr int64_t kObjectCounterOffset = 376;
inline constexpr int64_t kPageAreaOffset = 380;
inline constexpr int32_t kPageHeaderSize = 40;
inline constexpr int32_t kCheckBlockSize = 256;

inline constexpr std::string_view kDatabaseSignature = "KELVORINDATABASE";
inline constexpr double kFormatVersion = 3.21;
// Files older than this open with the needs-repair flag.
inline constexpr double kOldestCleanVersion = 2.99;
// Files from this version on keep the owner field of their page headers.
inline constexpr double kFirstVersionWithPageOwners = 2.99;

// Fields of the database header that are read or written on their own.
inline constexpr int64_t kCommitCounterFieldOffset = 38;
inline constexpr int64_t kStateFieldOffset = 42;

inline constexpr uint8_t kStateCommitting = 1;
inline constexpr uint8_t kStateConsistent = 2;
inline constexpr uint8_t kEncryptedFlag = 0xFF;

// Lock bytes.
inline constexpr int64_t kTableListLockOffset = 359;
inline constexpr int64_t kHeaderLockOffset = 360;
inline constexpr int64_t kObjectNumberLockOffset = 376;

// Write counters: writing never produces kWriteCounterLimit or more; the
// maximum marks a page that could not be read (or, on disk, a freed page).
inline constexpr int32_t kWriteCounterLimit = 0x7FFFFFFD;
inline constexpr int32_t kUnreadablePage = 0x7FFFFFFF;
inline constexpr int32_t kMaxInitialWriteCounter = 0x3FFFFFFE;

// Limits a file must respect to be opened; a header outside them is damage.
inline constexpr int32_t kMinPageSize = 128;
inline constexpr int32_t kMaxPageSize = 65535;

inline int32_t NextWriteCounter(int32_t counter) {
  if (counter < 0 || counter >= kWriteCounterLimit - 1) return 0;
  return counter + 1;
}

// Little-endian field access by width, as the layout tables name the fields.
inline uint16_t LoadU16(const uint8_t* p) { return LoadLE<uint16_t>(p); }
inline uint32_t LoadU32(const uint8_t* p) { return LoadLE<uint32_t>(p); }
inline int32_t LoadI32(const uint8_t* p) { return LoadLE<int32_t>(p); }
inline uint64_t LoadU64(const uint8_t* p) { return LoadLE<uint64_t>(p); }
inline void StoreU16(uint8_t* p, uint16_t v) { StoreLE(p, v); }
inline void StoreU32(uint8_t* p, uint32_t v) { StoreLE(p, v); }
inline void StoreI32(uint8_t* p, int32_t v) { StoreLE(p, v); }
inline void StoreU64(uint8_t* p, uint64_t v) { StoreLE(p, v); }

struct TABSDatabaseHeader {
  char signature[16];
  uint16_t header_size = kDatabaseHeaderSize;
  double version = kFormatVersion;
  uint16_t page_size = 4096;
  uint16_t pages_per_extent = 8;
  int32_t total_page_count = 0;
  int32_t last_used_page = -1;
  int32_t commit_counter = 0;
  uint8_t state = kStateConsistent;
  uint8_t encrypted = 0;

  TABSDatabaseHeader() { std::memcpy(signature, kDatabaseSignature.data(), sizeof signature); }
  void Encode(uint8_t* out) const;  // kDatabaseHeaderSize bytes
  static TABSDatabaseHeader Decode(const uint8_t* in);
  bool HasSignature() const { return std::string_view(signature, 16) == kDatabaseSignature; }
};

struct TABSEncryptionHeader {
  uint16_t header_size = kEncryptionHeaderSize;
  uint8_t cipher_id = 0;
  uint8_t check_block[kCheckBlockSize] = {};
  uint32_t check_crc = 0;

  void Encode(uint8_t* out) const;  // kEncryptionHeaderSize bytes
  static TABSEncryptionHeader Decode(const uint8_t* in);
};

// Page header fields (offsets within a page).
namespace page_field {
inline constexpr int kMagic = 0;
inline constexpr int kWriteCounter = 4;
inline constexpr int kPageType = 8;
inline constexpr int kNextPage = 10;
inline constexpr int kDataCrc = 14;
inline constexpr int kCipherId = 20;
inline constexpr int kOwner = 22;
inline constexpr int kReserved26 = 26;
}  // namespace page_field

inline constexpr std::string_view kPageMagic = "ABSP";

// Initialises the 40-byte header of a zero-filled page buffer.
void InitPageHeader(uint8_t* page);

enum TABSPageType : uint16_t {
  ptUnknown = 0,
  ptEmpty = 1,
  ptEAM = 2,
  ptPFS = 3,
  ptFileSystemDirectory = 4,
  ptActiveSessionList = 5,
  ptTableList = 6,
  ptTableLocks = 7,
  ptTableMetaData = 8,
  ptTableMostUpdated = 9,
  ptTableRecord = 10,
  ptTableBlob = 11,
  ptTableIndex = 12,
};
inline constexpr uint16_t kAnyPageType = 255;
inline constexpr uint16_t kLastPageType = ptTableIndex;

// The name used in messages; raises "Unknown Page Type: (%d)" above 12.
std::string_view PageTypeName(uint16_t type);
// Raises "Wrong page type. Found '%s', but wanted: '%s'" with the caller's
// code unless found == wanted or wanted is kAnyPageType.
void CheckPageType(uint16_t found, uint16_t wanted, int32_t native_code);

}  // namespace kelvorin
