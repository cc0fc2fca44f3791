// TABSAOTable: a table of a database read as the leaf of an operator tree.
// Its columns are the table's fields, hidden until projected. Its rows are
// the table's records that meet its condition; it is written out to a
// result table only when it must be ordered, limited, made distinct or is
// the top of a statement.
#pragma once

#include <memory>
#include <string>

#include "db/query/operators/ao.h"

namespace kelvorin {

class TABSAOTable : public TABSAO {
 public:
  // Opens the table at once (10303 when it cannot be opened).
  TABSAOTable(std::shared_ptr<TABSAOEnv> env, TABSLocalSession& session, std::string table_name,
              std::string alias);
  ~TABSAOTable() override;

  bool IsTable() const override { return true; }
  // The cursor on the base table (a live result reads through it).
  TABSLocalCursor& Cursor() { return *cursor_; }
  TABSLocalSession& Session() const { return *session_; }

  // Table read lock between processes; released on destruction when held.
  bool Lock(int32_t sleep_ms, int32_t tries);
  void Unlock();
  bool Locked() const { return locked_; }

  void SetProjection(std::vector<TABSSelectListItem>& items, bool distinct) override;

 protected:
  void OwnFirst() override;
  void OwnNext() override;
  bool OwnEof() override;
  int64_t OwnRecordCount() override;
  bool MustMaterialize() const override { return false; }
  bool FiltersOwnRows() const override { return true; }
  // One visit of the table's records in storage order.
  void ForEachRow(const std::function<bool()>& row) override;

 private:
  void SkipFailing();

  TABSLocalSession* session_;
  std::unique_ptr<TABSLocalCursor> cursor_;
  TABSRowReader reader_;
  bool locked_ = false;
};

}  // namespace kelvorin
