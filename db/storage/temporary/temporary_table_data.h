// TABSTemporaryTableData: a table of the process's "TEMP" database, which
// holds the results of SQL statements: its records in a
// TABSTemporaryRecordManager, its BLOB values in a TABSTemporaryBlobManager
// and its index trees in a TABSTemporaryPageManager, each in memory while
// the temporary budget allows and in unnamed temporary files beyond. It is
// freed with its last cursor.
#pragma once

#include <memory>
#include <string>

#include "db/storage/temporary/temporary_blob_manager.h"
#include "db/storage/temporary/temporary_page_manager.h"
#include "db/storage/temporary/temporary_record_manager.h"
#include "db/storage/temporary/volatile_table_data.h"

namespace kelvorin {

class TABSTemporaryTableData : public TABSVolatileTableData {
 public:
  TABSTemporaryTableData(TABSVolatileDatabaseData& database, std::string name);
  ~TABSTemporaryTableData() override;

  TABSBaseRecordManager* RecordManager() override { return records_.get(); }
  TABSBlobManager* BlobManager() override { return blobs_.get(); }
  TABSTemporaryRecordManager& TemporaryRecords() { return *records_; }
  // None for a table without BLOB fields.
  TABSTemporaryBlobManager* TemporaryBlobs() { return blobs_.get(); }
  TABSTemporaryPageManager& TablePages() { return static_cast<TABSTemporaryPageManager&>(*PageManager()); }

 protected:
  void CreateManagers(const TABSRecordLayout& layout) override;
  void KeepChanges() noexcept override;
  void UndoChanges() noexcept override;
  void ClosePages() override { TablePages().Close(); }

 private:
  std::unique_ptr<TABSTemporaryRecordManager> records_;
  std::unique_ptr<TABSTemporaryBlobManager> blobs_;
};

}  // namespace kelvorin
