#include "db/storage/catalog/disk_table_files.h"

#include "db/storage/catalog/catalog_errors.h"
#include "db/storage/compression/compression.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/locks/lock_errors.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {
namespace {

constexpr int kMetadataCompressionLevel = 1;

}  // namespace

bool HasBlobFields(const TABSFieldDefs& fields) {
  for (int32_t i = 0; i < fields.Count(); ++i) {
    if (IsBlobStorage(fields.Items(i)->StorageType())) return true;
  }
  return false;
}

TABSDiskTableFiles::TABSDiskTableFiles(TABSDiskPageManager& pages, const TABSTableListEntry& entry)
    : pages_(pages),
      metadata_file_(pages, ptTableMetaData),
      most_updated_file_(pages, ptTableMostUpdated),
      locks_file_(pages, ptTableLocks),
      locks_page_(entry.locks_page) {
  metadata_file_.Open(entry.metadata_page);
  most_updated_file_.Open(entry.most_updated_page);
}

void TABSDiskTableFiles::Create(int32_t session, int32_t max_connections) {
  locks_file_.Create(kLockBytesPerConnection * max_connections);
  metadata_file_.Create(session);
  most_updated_file_.Create(session);
}

void TABSDiskTableFiles::OpenLocks(int32_t max_connections) {
  if (locks_file_.IsOpen()) return;
  locks_file_.Open(locks_page_);
  if (locks_file_.GetSize() != int64_t{kLockBytesPerConnection} * max_connections) {
    locks_file_.Close();
    throw EABSException(native::kInvalidLocksFileSize);
  }
}

void TABSDiskTableFiles::Delete(int32_t session) {
  locks_file_.Delete();
  metadata_file_.Delete(session);
  most_updated_file_.Delete(session);
}

void TABSDiskTableFiles::ReadMetadata(int32_t session, TABSTableMetadata& metadata, std::string_view table_name,
                                      const TABSPageIndexRootSection& record_index,
                                      const TABSPageIndexRootSection& blob_index) {
  int32_t size = 0;
  const TABSMemoryBlock block = metadata_file_.ReadAll(session, &size);
  TABSBufferValueInput input(std::string_view(block.chars(), static_cast<size_t>(size)));
  metadata.LoadFromStream(input);
  bool valid = input.Position() == input.Size() && metadata.Fields().Count() > 0 && record_index.root >= 0 &&
               (blob_index.root >= 0) == HasBlobFields(metadata.Fields()) &&
               RecordsPerPage(pages_.DataSize(), metadata.StoredRecordSize()) > 0;
  for (int32_t i = 0; valid && i < metadata.Indexes().Count(); ++i) {
    valid = metadata.Indexes().Items(i)->RootPage() >= 0;
  }
  if (!valid) throw EABSException(native::kInvalidTableMetadata, {table_name});
}

void TABSDiskTableFiles::WriteMetadata(int32_t session, const TABSTableMetadata& metadata) {
  const std::string block = metadata.MetadataBlock();
  metadata_file_.WriteFile(session, block.data(), static_cast<int32_t>(block.size()),
                           static_cast<uint8_t>(TABSCompressionAlgorithm::kZlib), kMetadataCompressionLevel);
}

TABSTableState TABSDiskTableFiles::ReadState(int32_t session, int32_t field_count) {
  // The size is checked before a buffer is made for it.
  if (most_updated_file_.GetSize(session).uncompressed_size > TABSTableState::MaxBlockSize(field_count)) {
    throw EABSException(native::kInvalidTableHeaderData20164);
  }
  int32_t size = 0;
  const TABSMemoryBlock block = most_updated_file_.ReadAll(session, &size);
  return TABSTableState::Decode(std::string_view(block.chars(), static_cast<size_t>(size)), field_count);
}

void TABSDiskTableFiles::WriteState(int32_t session, const TABSTableState& state, int32_t field_count) {
  const std::string block = state.Encode();
  if (static_cast<int64_t>(block.size()) > TABSTableState::MaxBlockSize(field_count)) {
    throw EABSException(native::kInvalidTableHeaderData20164);
  }
  most_updated_file_.WriteFile(session, block.data(), static_cast<int32_t>(block.size()), 0, 0);
}

}  // namespace kelvorin
