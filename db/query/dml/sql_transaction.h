// The transaction statements: START TRANSACTION, COMMIT [WORK] [FLUSH] and
// ROLLBACK [WORK]. They run the transaction operations of the query's
// database and change no rows. Transactions do not nest; COMMIT and
// ROLLBACK without one raise. Every commit is durable, so FLUSH asks for
// nothing more.
#pragma once

#include "db/query/sql/sql_command.h"

namespace kelvorin {

class TABSSQLStartTransaction : public TABSSQLCommand {
 public:
  using TABSSQLCommand::TABSSQLCommand;
  void Parse() override;
  void Execute(bool open, bool* read_only, bool request_live) override;
};

class TABSSQLCommit : public TABSSQLCommand {
 public:
  using TABSSQLCommand::TABSSQLCommand;
  void Parse() override;
  void Execute(bool open, bool* read_only, bool request_live) override;
  bool Flush() const { return flush_; }

 private:
  bool flush_ = false;
};

class TABSSQLRollback : public TABSSQLCommand {
 public:
  using TABSSQLCommand::TABSSQLCommand;
  void Parse() override;
  void Execute(bool open, bool* read_only, bool request_live) override;
};

}  // namespace kelvorin
