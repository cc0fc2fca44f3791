// CREATE TABLE [MEMORY] name (item {, item}): columns with their types,
// sizes, auto-increment settings and options, a table primary key and
// index declarations. The table is created only while no table has its
// name.
#pragma once

#include "db/access/ddl/ddl_statement.h"

namespace kelvorin {

class TABSDDLCreateTable : public TABSDDLTableManipulation {
 public:
  using TABSDDLTableManipulation::TABSDDLTableManipulation;
  void Parse() override;
  void Execute(bool open, bool* read_only, bool request_live) override;
};

}  // namespace kelvorin
