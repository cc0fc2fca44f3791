#include "db/storage/file/database_file_layout.h"

#include <bit>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_errors.h"

namespace kelvorin {

namespace {

constexpr std::string_view kPageTypeNames[] = {
    "Unknown Page",         "Empty Page",          "EAM Page",
    "PFS Page",             "FileSystemDirectory Page", "ActiveSessionList Page",
    "TableList Page",       "TableLocks Page",     "TableMetaData Page",
    "TableMostUpdated Page", "TableRecord Page",   "TableBlob Page",
    "TableIndex Page",
};

}  // namespace

void TABSDatabaseHeader::Encode(uint8_t* out) const {
  std::memset(out, 0, kDatabaseHeaderSize);
  std::memcpy(out, signature, 16);
  StoreU16(out + 16, header_size);
  StoreU64(out + 18, std::bit_cast<uint64_t>(version));
  StoreU16(out + 26, page_size);
  StoreU16(out + 28, pages_per_extent);
  StoreI32(out + 30, total_page_count);
  StoreI32(out + 34, last_used_page);
  StoreI32(out + 38, commit_counter);
  out[42] = state;
  out[43] = encrypted;
}

TABSDatabaseHeader TABSDatabaseHeader::Decode(const uint8_t* in) {
  TABSDatabaseHeader h;
  std::memcpy(h.signature, in, 16);
  h.header_size = LoadU16(in + 16);
  h.version = std::bit_cast<double>(LoadU64(in + 18));
  h.page_size = LoadU16(in + 26);
  h.pages_per_extent = LoadU16(in + 28);
  h.total_page_count = LoadI32(in + 30);
  h.last_used_page = LoadI32(in + 34);
  h.commit_counter = LoadI32(in + 38);
  h.state = in[42];
  h.encrypted = in[43];
  return h;
}

void TABSEncryptionHeader::Encode(uint8_t* out) const {
  std::memset(out, 0, kEncryptionHeaderSize);
  StoreU16(out, header_size);
  out[2] = cipher_id;
  std::memcpy(out + 4, check_block, kCheckBlockSize);
  StoreU32(out + 260, check_crc);
}

TABSEncryptionHeader TABSEncryptionHeader::Decode(const uint8_t* in) {
  TABSEncryptionHeader h;
  h.header_size = LoadU16(in);
  h.cipher_id = in[2];
  std::memcpy(h.check_block, in + 4, kCheckBlockSize);
  h.check_crc = LoadU32(in + 260);
  return h;
}

void InitPageHeader(uint8_t* page) {
  std::memset(page, 0, kPageHeaderSize);
  std::memcpy(page + page_field::kMagic, kPageMagic.data(), 4);
  StoreI32(page + page_field::kNextPage, -1);
  StoreI32(page + page_field::kOwner, -1);
  StoreI32(page + page_field::kReserved26, -1);
}

std::string_view PageTypeName(uint16_t type) {
  if (type > kLastPageType) {
    throw EABSException(page_errors::kUnknownPageType, "Unknown Page Type: (%d)", {int32_t{type}});
  }
  return kPageTypeNames[type];
}

void CheckPageType(uint16_t found, uint16_t wanted, int32_t native_code) {
  if (wanted == kAnyPageType || found == wanted) return;
  // An unknown stored type must not hide the real failure behind its own.
  const std::string_view found_name = found <= kLastPageType ? kPageTypeNames[found] : "Unknown Page";
  throw EABSException(native_code, "Wrong page type. Found '%s', but wanted: '%s'",
                      {std::string(found_name), std::string(PageTypeName(wanted))});
}

}  // namespace kelvorin
