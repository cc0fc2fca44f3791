// TABSSQLProcessor: runs the SQL text of a query. It tokenizes the whole
// text, turns every command into a statement (a parse error in any command
// stops the run before anything executed), executes the statements in
// order and hands the rows of the last one back to the query.
//
// Statements other than queries register a maker for their first word, so
// that this layer needs none of them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/query/lexer/lexer.h"
#include "db/query/lexer/sql_params.h"
#include "db/query/sql/sql_command.h"

namespace kelvorin {

// The kinds of statement, chosen by a command's first token(s).
enum class TABSStatementKind : uint8_t {
  kQuery,
  kInsert,
  kUpdate,
  kDelete,
  kCreateTable,
  kCreateIndex,
  kDropTable,
  kDropIndex,
  kAlterTable,
  kRenameTable,
  kStartTransaction,
  kCommit,
  kRollback,
};

class TABSSQLProcessor {
 public:
  using StatementMaker =
      std::function<std::unique_ptr<TABSSQLCommand>(TABSLexer&, const TABSSQLQueryContext&)>;
  // Installs the maker of a statement kind (process-wide; queries need none).
  static void RegisterStatement(TABSStatementKind kind, StatementMaker maker);
  // Installs a statement class constructed from the lexer and the context.
  template <typename Statement>
  static void RegisterStatementClass(TABSStatementKind kind) {
    RegisterStatement(kind, [](TABSLexer& lexer, const TABSSQLQueryContext& context) {
      return std::unique_ptr<TABSSQLCommand>(std::make_unique<Statement>(lexer, context));
    });
  }
  // The kind the current command of the lexer starts with; raises the
  // selection errors.
  static TABSStatementKind SelectStatement(const TABSLexer& lexer);

  explicit TABSSQLProcessor(TABSSQLQueryContext context = {});
  ~TABSSQLProcessor();
  TABSSQLProcessor(const TABSSQLProcessor&) = delete;
  TABSSQLProcessor& operator=(const TABSSQLProcessor&) = delete;

  TABSSQLQueryContext& Context() { return context_; }
  TABSSQLParams& Params() { return params_; }
  const std::string& SQLText() const { return sql_text_; }
  void SetSQL(std::string_view text);

  // Tokenizes the text with the current parameters and parses every
  // command; nothing runs. Raises the first error (30145 for a text
  // without commands).
  void Parse();
  // Whether the last parsed statement yields rows.
  bool LastYieldsRows() const;
  // Parses (when Parse has not been called since the text or the
  // parameters changed), then executes every statement in order; returns
  // the last one's rows (none for a statement without rows). Every
  // statement but the last is freed right after it ran.
  std::unique_ptr<TABSLocalCursor> Run(bool open = true);
  // Runs like Run, handing each statement to `after` right after it ran
  // (its rows can be taken from it there).
  void RunEach(bool open, const std::function<void(TABSSQLCommand&)>& after);

  int64_t RowsAffected() const { return rows_affected_; }
  bool ReadOnly() const { return read_only_; }
  // Where the statement that ran last (the one that failed, after an
  // error while running) starts in the text; nothing before one ran.
  struct Place {
    int32_t line = 0;
    int32_t column = 0;
  };
  std::optional<Place> RunningStatementPlace() const { return running_; }

 private:
  void RunStatements(bool open, const std::function<void(TABSSQLCommand&)>& after);
  std::unique_ptr<TABSSQLCommand> MakeStatement();

  TABSSQLQueryContext context_;
  TABSSQLParams params_;
  std::string sql_text_;
  std::unique_ptr<TABSLexer> lexer_;
  std::vector<std::unique_ptr<TABSSQLCommand>> statements_;
  std::vector<Place> starts_;  // of the parsed statements
  std::optional<Place> running_;
  bool parsed_ = false;
  int64_t rows_affected_ = 0;
  bool read_only_ = true;
};

}  // namespace kelvorin
