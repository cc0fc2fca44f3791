#include "db/storage/temporary/temporary_table_data.h"

namespace kelvorin {

TABSTemporaryTableData::TABSTemporaryTableData(TABSVolatileDatabaseData& database, std::string name)
    : TABSVolatileTableData(database, std::move(name), std::make_unique<TABSTemporaryPageManager>()) {}

TABSTemporaryTableData::~TABSTemporaryTableData() = default;

void TABSTemporaryTableData::CreateManagers(const TABSRecordLayout& layout) {
  auto records = std::make_unique<TABSTemporaryRecordManager>(layout);
  std::unique_ptr<TABSTemporaryBlobManager> blobs;
  if (layout.HasBlobFields()) blobs = std::make_unique<TABSTemporaryBlobManager>(layout);
  blobs_ = std::move(blobs);
  records_ = std::move(records);
}

void TABSTemporaryTableData::KeepChanges() noexcept {
  if (records_) records_->KeepChanges();
  if (blobs_) blobs_->KeepChanges();
}

void TABSTemporaryTableData::UndoChanges() noexcept {
  if (records_) records_->UndoChanges();
  if (blobs_) blobs_->UndoChanges();
}

}  // namespace kelvorin
