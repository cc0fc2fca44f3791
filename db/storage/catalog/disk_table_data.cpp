#include "db/storage/catalog/disk_table_data.h"

#include "db/storage/catalog/catalog_errors.h"
#include "db/storage/catalog/disk_database_data.h"
#include "db/storage/compression/compression.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {
namespace {

constexpr int kMetadataCompressionLevel = 1;
// Each connection slot has 12 bytes in a table's locks file.
constexpr int32_t kLockBytesPerConnection = 12;

}  // namespace

TABSDiskTableData::TABSDiskTableData(TABSDiskDatabaseData& database, const TABSTableListEntry& entry)
    : TABSTableData(database, entry.name, &database.DiskPageManager()),
      disk_(database),
      object_id_(entry.object_id),
      metadata_file_(database.DiskPageManager(), ptTableMetaData),
      most_updated_file_(database.DiskPageManager(), ptTableMostUpdated),
      locks_file_(database.DiskPageManager(), ptTableLocks),
      locks_page_(entry.locks_page) {
  metadata_file_.Open(entry.metadata_page);
  most_updated_file_.Open(entry.most_updated_page);
  Metadata().SetTrailingSections(&record_index_, &blob_index_);
}

TABSDiskTableData::~TABSDiskTableData() = default;

TABSTableListEntry TABSDiskTableData::Entry() const {
  return {Name(), object_id_, metadata_file_.StartPage(), most_updated_file_.StartPage(),
          locks_file_.IsOpen() ? locks_file_.StartPage() : locks_page_};
}

bool TABSDiskTableData::HasBlobFields() const {
  const TABSFieldDefs& fields = Metadata().Fields();
  for (int32_t i = 0; i < fields.Count(); ++i) {
    if (IsBlobStorage(fields.Items(i)->StorageType())) return true;
  }
  return false;
}

int32_t TABSDiskTableData::ComputeRecordsPerPage() const {
  // trunc((D - 1) / (R + 1/8)): each record takes its bytes and one bit.
  const int64_t data_size = disk_.DiskPageManager().DataSize();
  const int64_t record_size = Metadata().StoredRecordSize();
  if (record_size <= 0) return 0;
  return static_cast<int32_t>(8 * (data_size - 1) / (8 * record_size + 1));
}

void TABSDiskTableData::CreateStorage(int32_t session, const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                                      const TABSConstraintDefs& constraints) {
  TABSTableMetadata& metadata = Metadata();
  const TABSObjectIdSource next_id = [this] { return disk_.NextObjectNumber(); };
  // The definitions first: a table that cannot exist gets no page.
  metadata.Fields().Assign(fields);
  for (int32_t i = 0; i < metadata.Fields().Count(); ++i) metadata.Fields().Items(i)->SetObjectId(next_id());
  metadata.Indexes().Assign(indexes);
  for (int32_t i = metadata.Indexes().Count() - 1; i >= 0; --i) {
    if (metadata.Indexes().Items(i)->Temporary()) metadata.Indexes().Delete(i);
  }
  for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) metadata.Indexes().Items(i)->SetObjectId(next_id());
  metadata.Constraints().Assign(constraints);
  metadata.AttachConstraints(Name(), next_id);
  metadata.ComputeLayout();
  records_per_page_ = ComputeRecordsPerPage();
  if (records_per_page_ <= 0) throw EABSException(native::kRecordTooLarge20174);

  locks_file_.Create(kLockBytesPerConnection * disk_.MaxConnections());
  metadata_file_.Create(session);
  most_updated_file_.Create(session);
  MutableState() = {};
  MutableState().ResetAutoInc(metadata.Fields());
  WriteState(session);
  TABSPageManager& pages = disk_.DiskPageManager();
  record_index_.root =
      table_trees::CreatePageIndex(pages, session, TABSPageIndexKind::kRecordPages, records_per_page_);
  blob_index_.root = HasBlobFields()
                         ? table_trees::CreatePageIndex(pages, session, TABSPageIndexKind::kBlobPages, 0)
                         : -1;
  for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) {
    table_trees::BuildIndex(pages, session, *metadata.Indexes().Items(i), metadata.Fields());
  }
  WriteMetadata(session);
}

void TABSDiskTableData::Load(int32_t session) {
  ReadMetadata(session);
  locks_file_.Open(locks_page_);
  if (locks_file_.GetSize() != kLockBytesPerConnection * disk_.MaxConnections()) {
    throw EABSException(native::kInvalidTableMetadata, {Name()});
  }
  ReadState(session);
}

void TABSDiskTableData::CheckLoadedMetadata() const {
  const TABSTableMetadata& metadata = Metadata();
  bool valid = metadata.Fields().Count() > 0 && record_index_.root >= 0 &&
               (blob_index_.root >= 0) == HasBlobFields() && records_per_page_ > 0;
  for (int32_t i = 0; valid && i < metadata.Indexes().Count(); ++i) {
    valid = metadata.Indexes().Items(i)->RootPage() >= 0;
  }
  if (!valid) throw EABSException(native::kInvalidTableMetadata, {Name()});
}

void TABSDiskTableData::ReadMetadata(int32_t session) {
  int32_t size = 0;
  const TABSMemoryBlock block = metadata_file_.ReadAll(session, &size);
  TABSBufferValueInput input(std::string_view(block.chars(), static_cast<size_t>(size)));
  Metadata().LoadFromStream(input);
  records_per_page_ = ComputeRecordsPerPage();
  if (input.Position() != input.Size()) throw EABSException(native::kInvalidTableMetadata, {Name()});
  CheckLoadedMetadata();
}

void TABSDiskTableData::WriteMetadata(int32_t session) {
  const std::string block = Metadata().MetadataBlock();
  metadata_file_.WriteFile(session, block.data(), static_cast<int32_t>(block.size()),
                           static_cast<uint8_t>(TABSCompressionAlgorithm::kZlib), kMetadataCompressionLevel);
}

void TABSDiskTableData::ReadState(int32_t session) {
  const int32_t fields = Metadata().Fields().Count();
  // The size is checked before a buffer is made for it.
  if (most_updated_file_.GetSize(session).uncompressed_size > TABSTableState::MaxBlockSize(fields)) {
    throw EABSException(native::kInvalidTableHeaderData20164);
  }
  int32_t size = 0;
  const TABSMemoryBlock block = most_updated_file_.ReadAll(session, &size);
  MutableState() = TABSTableState::Decode(std::string_view(block.chars(), static_cast<size_t>(size)), fields);
}

void TABSDiskTableData::WriteState(int32_t session) {
  const std::string block = State().Encode();
  if (static_cast<int64_t>(block.size()) > TABSTableState::MaxBlockSize(Metadata().Fields().Count())) {
    throw EABSException(native::kInvalidTableHeaderData20164);
  }
  most_updated_file_.WriteFile(session, block.data(), static_cast<int32_t>(block.size()), 0, 0);
}

void TABSDiskTableData::RollbackHook(int32_t session) { ReadState(session); }

void TABSDiskTableData::DeleteAllRecords(int32_t session) {
  TABSPageManager& pages = disk_.DiskPageManager();
  for (const int32_t page : table_trees::ListedPages(pages, session, TABSPageIndexKind::kRecordPages,
                                                     record_index_.root, records_per_page_)) {
    pages.RemovePage(session, page);
  }
  table_trees::EmptyPageIndex(pages, session, TABSPageIndexKind::kRecordPages, record_index_.root,
                              records_per_page_);
}

void TABSDiskTableData::DeleteAllBlobs(int32_t session) {
  if (blob_index_.root < 0) return;
  TABSPageManager& pages = disk_.DiskPageManager();
  for (const int32_t page :
       table_trees::ListedPages(pages, session, TABSPageIndexKind::kBlobPages, blob_index_.root, 0)) {
    pages.RemovePage(session, page);
  }
  table_trees::EmptyPageIndex(pages, session, TABSPageIndexKind::kBlobPages, blob_index_.root, 0);
}

void TABSDiskTableData::EmptyContent(int32_t session) {
  TABSTableMetadata& metadata = Metadata();
  TABSPageManager& pages = disk_.DiskPageManager();
  for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) {
    const TABSIndexDef& index = *metadata.Indexes().Items(i);
    if (!index.Temporary()) table_trees::EmptyIndex(pages, session, index, metadata.Fields());
  }
  DeleteAllBlobs(session);
  DeleteAllRecords(session);
  TABSTableState& state = MutableState();
  state.ResetAutoInc(metadata.Fields());
  // A version stamp: a value used before would make stale copies look current.
  state.change_counter = static_cast<int32_t>(static_cast<uint32_t>(state.change_counter) + 1);
  state.record_count = 0;
  WriteState(session);
}

void TABSDiskTableData::DeleteStorage(int32_t session) {
  TABSTableMetadata& metadata = Metadata();
  TABSPageManager& pages = disk_.DiskPageManager();
  for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) {
    const TABSIndexDef& index = *metadata.Indexes().Items(i);
    if (!index.Temporary()) table_trees::DropIndex(pages, session, index, metadata.Fields());
  }
  DeleteAllBlobs(session);
  if (blob_index_.root >= 0) {
    table_trees::DropPageIndex(pages, session, TABSPageIndexKind::kBlobPages, blob_index_.root, 0);
  }
  DeleteAllRecords(session);
  table_trees::DropPageIndex(pages, session, TABSPageIndexKind::kRecordPages, record_index_.root,
                             records_per_page_);
  locks_file_.Delete();
  metadata_file_.Delete(session);
  most_updated_file_.Delete(session);
}

}  // namespace kelvorin
