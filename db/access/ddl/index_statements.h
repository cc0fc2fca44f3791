// CREATE [UNIQUE] INDEX name ON table (column [ASC|DESC] [CASE|NOCASE], ...)
// and DROP INDEX table.index [PASSWORD 'text'].
#pragma once

#include <string>
#include <vector>

#include "db/access/ddl/ddl_statement.h"

namespace kelvorin {

class TABSDDLCreateIndex : public TABSDDLStatement {
 public:
  using TABSDDLStatement::TABSDDLStatement;
  void Parse() override;
  void Execute(bool open, bool* read_only, bool request_live) override;

  bool Unique() const { return unique_; }
  const std::string& IndexName() const { return index_name_; }
  const std::string& TableName() const { return table_name_; }
  const std::string& Password() const { return password_; }
  const std::vector<TABSIndexField>& Fields() const { return fields_; }

 private:
  bool unique_ = false;
  std::string index_name_;
  std::string table_name_;
  std::string password_;
  std::vector<TABSIndexField> fields_;
};

class TABSDDLDropIndex : public TABSDDLStatement {
 public:
  using TABSDDLStatement::TABSDDLStatement;
  void Parse() override;
  void Execute(bool open, bool* read_only, bool request_live) override;

  const std::string& TableName() const { return table_name_; }
  const std::string& IndexName() const { return index_name_; }
  const std::string& Password() const { return password_; }

 private:
  std::string table_name_;
  std::string index_name_;
  std::string password_;
};

}  // namespace kelvorin
