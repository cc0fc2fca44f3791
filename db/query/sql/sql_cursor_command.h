// TABSSQLCursorCommand: the base of the statements that produce rows. It
// owns the statement's operator tree, runs it under read locks on every
// table it reads (taken all or none, retried while another process holds
// one) and hands out a cursor over the result.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/query/operators/ao.h"
#include "db/query/operators/ao_table.h"
#include "db/query/sql/sql_command.h"

namespace kelvorin {

class TABSSQLCursorCommand : public TABSSQLCommand {
 public:
  TABSSQLCursorCommand(TABSLexer& lexer, const TABSSQLQueryContext& context);
  ~TABSSQLCursorCommand() override;

  void Execute(bool open, bool* read_only, bool request_live) override;
  std::unique_ptr<TABSLocalCursor> TakeResultCursor() override;
  std::string Explain() const override { return explain_; }

  const std::string& IntoTableName() const { return into_table_name_; }
  const std::string& IntoDatabaseName() const { return into_database_name_; }
  bool IntoInMemory() const { return into_in_memory_; }
  // The tree, from BuildAO until the statement goes.
  TABSAO* AO() const { return ao_.get(); }

 protected:
  // Builds the operator tree of the statement over `env`.
  virtual std::unique_ptr<TABSAO> BuildAO(const std::shared_ptr<TABSAOEnv>& env) = 0;

  std::string into_table_name_;
  std::string into_database_name_;
  bool into_in_memory_ = false;

 private:
  // The session the INTO target lives in.
  TABSLocalSession& IntoSession() const;
  // Refuses an INTO that cannot be done, before anything runs.
  void CheckInto(TABSLocalSession& session) const;
  // Copies the result into the new target table (through the context's
  // copy, which fills a table that takes the name in one commit).
  void CopyResultInto(TABSLocalSession& session);
  // Every table operator of the tree, left before right.
  static void CollectTables(TABSAO& op, std::vector<TABSAOTable*>* tables);
  void LockTables(const std::vector<TABSAOTable*>& tables);
  static void UnlockTables(const std::vector<TABSAOTable*>& tables, bool* failed) noexcept;

  std::shared_ptr<TABSAOEnv> env_;
  std::unique_ptr<TABSAO> ao_;
  std::string explain_;
};

// The operator tree as indented text: each operator with its table, keys,
// condition, sort order and limits.
std::string ExplainTree(const TABSAO& op);

}  // namespace kelvorin
