// DROP TABLE [MEMORY] name: deletes the table; a missing table is no error.
#pragma once

#include "db/access/ddl/ddl_statement.h"

namespace kelvorin {

class TABSDDLDropTable : public TABSDDLTableManipulation {
 public:
  using TABSDDLTableManipulation::TABSDDLTableManipulation;
  void Parse() override;
  void Execute(bool open, bool* read_only, bool request_live) override;
};

}  // namespace kelvorin
