// TABSSQLInsert: INSERT INTO [MEMORY] table [PASSWORD 'text'] [(columns)]
// followed by VALUES (values), a SELECT, DEFAULT VALUES or nothing (one
// record of defaults). Values go by the column list or, without one, by
// position (fields past the last value keep their defaults); a SELECT's
// columns go by the list's position or, without one, to the fields of the
// same names. Everything that can be refused before a record changes is:
// the columns, their counts, the selection's fields.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/query/dml/sql_write.h"
#include "db/query/parser/expression.h"
#include "db/query/sql/sql_union.h"

namespace kelvorin {

class TABSSQLInsert : public TABSSQLCommand {
 public:
  using TABSSQLCommand::TABSSQLCommand;
  ~TABSSQLInsert() override;

  void Parse() override;
  void Execute(bool open, bool* read_only, bool request_live) override;

  const TABSSQLTargetName& Target() const { return target_; }
  const std::vector<std::string>& ColumnNames() const { return column_names_; }

 private:
  void ParseColumnList();
  void ParseValues();
  void InsertValues(TABSLocalCursor& cursor);
  void InsertSelection(TABSLocalCursor& cursor);

  TABSSQLTargetName target_;
  std::vector<std::string> column_names_;
  std::vector<std::unique_ptr<TABSExpression>> values_;
  std::unique_ptr<TABSSQLUnion> source_select_;
};

}  // namespace kelvorin
