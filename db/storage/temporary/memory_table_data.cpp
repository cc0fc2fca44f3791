#include "db/storage/temporary/memory_table_data.h"

namespace kelvorin {

TABSMemoryTableData::TABSMemoryTableData(TABSVolatileDatabaseData& database, std::string name)
    : TABSVolatileTableData(database, std::move(name), std::make_unique<TABSMemoryPageManager>()) {}

// The managers go before the table data that refers to them.
TABSMemoryTableData::~TABSMemoryTableData() = default;

void TABSMemoryTableData::CreateManagers(const TABSRecordLayout& layout) {
  auto records = std::make_unique<TABSMemoryRecordManager>(layout);
  std::unique_ptr<TABSMemoryBlobManager> blobs;
  if (layout.HasBlobFields()) blobs = std::make_unique<TABSMemoryBlobManager>(layout);
  blobs_ = std::move(blobs);
  records_ = std::move(records);
}

void TABSMemoryTableData::KeepChanges() noexcept {
  if (records_) records_->KeepChanges();
  if (blobs_) blobs_->KeepChanges();
}

void TABSMemoryTableData::UndoChanges() noexcept {
  if (records_) records_->UndoChanges();
  if (blobs_) blobs_->UndoChanges();
}

}  // namespace kelvorin
