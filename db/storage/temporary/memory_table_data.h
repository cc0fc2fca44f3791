// TABSMemoryTableData: a table of the process's "MEMORY" database: its
// records in a TABSMemoryRecordManager, its BLOB values in a
// TABSMemoryBlobManager and its index trees in a TABSMemoryPageManager,
// all in memory. It lives until it is deleted or the database goes.
#pragma once

#include <memory>
#include <string>

#include "db/storage/temporary/memory_blob_manager.h"
#include "db/storage/temporary/memory_page_manager.h"
#include "db/storage/temporary/memory_record_manager.h"
#include "db/storage/temporary/volatile_table_data.h"

namespace kelvorin {

class TABSMemoryTableData : public TABSVolatileTableData {
 public:
  TABSMemoryTableData(TABSVolatileDatabaseData& database, std::string name);
  ~TABSMemoryTableData() override;

  TABSBaseRecordManager* RecordManager() override { return records_.get(); }
  TABSBlobManager* BlobManager() override { return blobs_.get(); }
  TABSMemoryRecordManager& MemoryRecords() { return *records_; }
  // None for a table without BLOB fields.
  TABSMemoryBlobManager* MemoryBlobs() { return blobs_.get(); }
  TABSMemoryPageManager& MemoryPages() { return static_cast<TABSMemoryPageManager&>(*PageManager()); }

 protected:
  void CreateManagers(const TABSRecordLayout& layout) override;
  void KeepChanges() noexcept override;
  void UndoChanges() noexcept override;
  void ClosePages() override { MemoryPages().Close(); }

 private:
  std::unique_ptr<TABSMemoryRecordManager> records_;
  std::unique_ptr<TABSMemoryBlobManager> blobs_;
};

}  // namespace kelvorin
