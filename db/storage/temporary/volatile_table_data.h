// TABSVolatileTableData: what temporary and in-memory tables share: a
// table that never enters a database file, built from its definitions
// alone, with its index trees in a page manager of its own and its
// temporary indexes in another (a temporary page manager).
//
// These tables are not transactional: every operation on them is final
// when it ends. Their databases commit the table's pages at the end of
// every operation (inside explicit transactions too) and keep the record
// and BLOB changes (KeepChanges); an operation that fails rolls the pages
// back and takes the record and BLOB changes back (UndoChanges), so it
// leaves nothing behind. A transaction's rollback finds nothing left to
// undo.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "db/storage/pages/page_manager.h"
#include "db/storage/records/record_layout.h"
#include "db/storage/temporary/temporary_page_manager.h"
#include "db/tables/records/table_data.h"

namespace kelvorin {

class TABSVolatileDatabaseData;

namespace volatile_detail {
// Holds the table's page manager ahead of TABSTableData, which keeps its
// address.
struct OwnedPages {
  explicit OwnedPages(std::unique_ptr<TABSPageManager> pages) : owned_pages(std::move(pages)) {}
  std::unique_ptr<TABSPageManager> owned_pages;
};
}  // namespace volatile_detail

class TABSVolatileTableData : private volatile_detail::OwnedPages, public TABSTableData {
 public:
  TABSVolatileTableData(TABSVolatileDatabaseData& database, std::string name, std::unique_ptr<TABSPageManager> pages);
  // Frees whatever the table holds; never raises (see Free).
  ~TABSVolatileTableData() override;

  // Takes the definitions (every one gets a fresh object number of the
  // database; temporary indexes are left out), builds the managers and the
  // indexes' trees in the session. A table that cannot exist raises before
  // anything is kept.
  void CreateStorage(int32_t session, const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                     const TABSConstraintDefs& constraints);

  // The end of an operation in the session: its pages are committed and
  // its record and BLOB changes kept.
  void CommitOperation(int32_t session);
  // A failed operation: its pages are rolled back, its record and BLOB
  // changes taken back and the temporary indexes marked stale.
  void RollbackOperation(int32_t session);
  // Empties the records and BLOB values, drops every index and commits,
  // then checks that no page is left: raises "Index pages are not released"
  // (or the page managers' other errors) otherwise.
  void Free();

  void Rename(std::string name) { SetName(std::move(name)); }

  // Where the temporary indexes keep their trees (made on first use).
  TABSTemporaryPageManager& TemporaryPages();

 protected:
  // The storage's managers for the layout of the definitions.
  virtual void CreateManagers(const TABSRecordLayout& layout) = 0;
  // The record and BLOB changes since the last kept operation.
  virtual void KeepChanges() noexcept = 0;
  virtual void UndoChanges() noexcept = 0;
  // Checks that the table's own page manager holds nothing and frees it.
  virtual void ClosePages() = 0;

  TABSPageManager* TemporaryIndexPages() override { return &TemporaryPages(); }
  void PagesRolledBack(int32_t session) override;
  // The counters live in the record manager.
  void ReadState(int32_t session) override;

 private:
  void CheckIndexLayouts() const;

  TABSVolatileDatabaseData& volatile_database_;
  // The state as the last kept operation left it.
  TABSTableState kept_state_;
  std::unique_ptr<TABSTemporaryPageManager> temporary_index_pages_;
};

}  // namespace kelvorin
