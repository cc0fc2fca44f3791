// TABSSQLUpdate: UPDATE [MEMORY] table [PASSWORD 'text'] SET column =
// value {, column = value} [WHERE condition] [ORDER BY ...]. Every value is
// computed from the row as it was read (SET a = b, b = a swaps them); a
// column assigned twice is refused at parse.
//
// TABSSQLDelete: DELETE FROM [MEMORY] table [PASSWORD 'text'] [WHERE
// condition] [ORDER BY ...].
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/query/dml/sql_write.h"
#include "db/query/parser/expression.h"

namespace kelvorin {

class TABSSQLUpdate : public TABSSQLCommand {
 public:
  using TABSSQLCommand::TABSSQLCommand;
  ~TABSSQLUpdate() override;

  void Parse() override;
  void Execute(bool open, bool* read_only, bool request_live) override;

  const TABSSQLTargetName& Target() const { return target_; }
  const std::vector<std::string>& ColumnNames() const { return column_names_; }

 private:
  TABSSQLTargetName target_;
  std::vector<std::string> column_names_;
  std::vector<std::unique_ptr<TABSExpression>> values_;
  std::unique_ptr<TABSExpression> condition_;
};

class TABSSQLDelete : public TABSSQLCommand {
 public:
  using TABSSQLCommand::TABSSQLCommand;
  ~TABSSQLDelete() override;

  void Parse() override;
  void Execute(bool open, bool* read_only, bool request_live) override;

  const TABSSQLTargetName& Target() const { return target_; }

 private:
  TABSSQLTargetName target_;
  std::unique_ptr<TABSExpression> condition_;
};

}  // namespace kelvorin
