#include "db/storage/catalog/table_list_file.h"

#include <cstring>

#include "db/storage/catalog/catalog_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {
namespace {

constexpr int32_t kNameBytes = 256;
constexpr int32_t kIdOffset = 256;
constexpr int32_t kMetadataOffset = 260;
constexpr int32_t kMostUpdatedOffset = 264;
constexpr int32_t kLocksOffset = 268;

}  // namespace

void CheckTableName(std::string_view name) {
  if (name.empty() || name.size() > kMaxObjectNameLength) {
    throw EABSException(native::kInvalidTableName, {name});
  }
}

std::string HiddenTableName(int32_t object_id) {
  return std::string(kHiddenTablePrefix) + std::to_string(object_id);
}

bool IsHiddenTableName(std::string_view name) {
  if (name.size() < kHiddenTablePrefix.size()) return false;
  for (size_t i = 0; i < kHiddenTablePrefix.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(name[i]) != kHiddenTablePrefix[i]) return false;
  }
  return true;
}

void CheckUserTableName(std::string_view name) {
  CheckTableName(name);
  if (IsHiddenTableName(name)) throw EABSException(native::kReservedTableName, {name, kHiddenTablePrefix});
}

int32_t FindTableEntry(const TABSTableList& list, std::string_view name) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (SameObjectName(list[i].name, name)) return static_cast<int32_t>(i);
  }
  return -1;
}

void TABSTableListFile::Create(int32_t session) {
  file_.Create(session);
  entries_.clear();
}

void TABSTableListFile::Open(int32_t start_page) {
  if (file_.IsOpen()) throw EABSException(native::kTableListFileOpened30393);
  file_.Open(start_page);
}

TABSTableList TABSTableListFile::Read(int32_t session) {
  int32_t size = 0;
  const TABSMemoryBlock content = file_.ReadAll(session, &size);
  if (size % kEntrySize != 0) throw EABSException(native::kInvalidTableListSize, {size});
  TABSTableList list;
  list.reserve(static_cast<size_t>(size / kEntrySize));
  for (int32_t at = 0; at < size; at += kEntrySize) {
    const uint8_t* entry = content.bytes() + at;
    const uint8_t length = entry[0];
    if (length == 0) throw EABSException(native::kInvalidTableListEntry, {at / kEntrySize});
    list.push_back({std::string(reinterpret_cast<const char*>(entry + 1), length), LoadI32(entry + kIdOffset),
                    LoadI32(entry + kMetadataOffset), LoadI32(entry + kMostUpdatedOffset),
                    LoadI32(entry + kLocksOffset)});
  }
  return list;
}

void TABSTableListFile::Write(int32_t session, const TABSTableList& list) {
  std::string content(list.size() * kEntrySize, '\0');
  for (size_t i = 0; i < list.size(); ++i) {
    const TABSTableListEntry& e = list[i];
    CheckTableName(e.name);
    uint8_t* entry = reinterpret_cast<uint8_t*>(content.data()) + i * kEntrySize;
    entry[0] = static_cast<uint8_t>(e.name.size());
    std::memcpy(entry + 1, e.name.data(), e.name.size());
    static_assert(kNameBytes == kIdOffset);
    StoreI32(entry + kIdOffset, e.object_id);
    StoreI32(entry + kMetadataOffset, e.metadata_page);
    StoreI32(entry + kMostUpdatedOffset, e.most_updated_page);
    StoreI32(entry + kLocksOffset, e.locks_page);
  }
  file_.WriteFile(session, content.data(), static_cast<int32_t>(content.size()), 0, 0);
}

}  // namespace kelvorin
