// The statement framework of the SQL processor. TABSSQLCommand is the base
// of every statement: it walks the tokens of its command with the helpers
// below (the parsers of all statement kinds use them, so that a token of the
// wrong kind is reported alike everywhere). TABSSQLQueryContext is what a
// statement takes from the query that runs it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/query/lexer/lexer.h"
#include "db/storage/errors/native_errors.h"

namespace kelvorin {

class TABSLocalCursor;
class TABSLocalSession;
class TABSAutoIncProvider;

// How a statement waits for its read locks: each table's lock is tried
// `tries` times `sleep_ms` apart; when one fails, all are released and the
// whole set is tried again after `pause_ms`, `attempts` times in all.
struct TABSSQLLockPolicy {
  int32_t sleep_ms = 20;
  int32_t tries = 2;
  int32_t pause_ms = 100;
  int32_t attempts = 900;
};

// What the query gives the statements it runs.
struct TABSSQLQueryContext {
  // The query's database connection; tables are opened through it.
  TABSLocalSession* session = nullptr;
  // The connection to another database named in the statement (a table
  // written db.t, or "MEMORY" for MEMORY tables); none: only the query's
  // own database can be named.
  std::function<TABSLocalSession&(std::string_view database_name)> open_database;
  bool in_memory = false;
  bool request_live = false;
  TABSAutoIncProvider* auto_inc = nullptr;
  // Makes the table `table_name` of `session` from every record of `rows`,
  // whole or not at all (SELECT INTO); returns the number of records.
  // None: SELECT INTO is refused.
  std::function<int64_t(TABSLocalSession& session, const std::string& table_name, TABSLocalCursor& rows)>
      copy_into;
  TABSSQLLockPolicy lock_policy;
  // The transaction of the query's database (START TRANSACTION, COMMIT,
  // ROLLBACK); none: the session's own.
  std::function<void()> start_transaction;
  std::function<void(bool flush)> commit;
  std::function<void()> rollback;
  // Checked in row loops and lock waits: true stops the statement with
  // "Statement cancelled".
  std::function<bool()> cancelled;
};

// Raises "Statement cancelled" when the context's hook asks for it.
void CheckCancelled(const TABSSQLQueryContext& context);

// Sets of token kinds, one bit per TTokenType.
using TTokenKinds = uint32_t;
constexpr TTokenKinds TokenKind(TTokenType type) { return TTokenKinds{1} << type; }
// A name: a word (no operator symbol), a quoted or a bracketed string.
inline constexpr TTokenKinds kNameKinds =
    TokenKind(tktString) | TokenKind(tktQuotedString) | TokenKind(tktBracketedString);
inline constexpr TTokenKinds kNameOrKeywordKinds = kNameKinds | TokenKind(tktReservedWord);
inline constexpr TTokenKinds kTableStartKinds = kNameOrKeywordKinds | TokenKind(tktLeftParenthesis);

// Whether the token is of one of the kinds (a tktString only when it is a
// word, not an operator symbol).
bool TokenIn(const TToken& token, TTokenKinds kinds);

// The token helpers every statement parser uses, over the lexer's current
// command.
class TABSSQLTokens {
 public:
  explicit TABSSQLTokens(TABSLexer& lexer) : lexer_(lexer) {}

  TABSLexer& Lexer() const { return lexer_; }
  const TToken& Token() const { return lexer_.CurrentToken(); }
  bool AtEnd() const { return Token().token_type == tktNone; }
  bool IsReserved(uint16_t word) const { return TABSLexer::IsReservedWord(Token(), word); }
  bool Is(TTokenType type) const { return Token().token_type == type; }
  bool IsSymbol(std::string_view symbol) const {
    return Token().token_type == tktString && Token().text == symbol;
  }
  void NextToken() { lexer_.SetCurrentTokenNo(lexer_.GetCurrentTokenNo() + 1); }
  // Moves on and requires the new token's kind to be in `kinds`: none at
  // all raises 30161, another kind raises `error` with the token.
  const TToken& NextTokenIn(TTokenKinds kinds, const TABSNativeError& error);
  // The current token must be of `kinds`, else `error` with the token.
  void RequireIn(TTokenKinds kinds, const TABSNativeError& error) const;
  // The current token must be the reserved word, else `error` naming it;
  // moves past it.
  void ExpectReserved(uint16_t word, const TABSNativeError& error);
  // The current token must be of `type` (`text` names it in the message);
  // moves past it.
  void Expect(TTokenType type, std::string_view text, const TABSNativeError& error);
  // The text of the current token as messages show it.
  std::string FoundText() const;
  [[noreturn]] void FailFound(const TABSNativeError& error) const;
  [[noreturn]] void FailExpected(const TABSNativeError& error, std::string_view expected) const;
  [[noreturn]] void FailAt(const TABSNativeError& error, const TToken& at) const;
  // The command must end here.
  void ExpectEnd() const;

  // name [, name]... from the current token (a name or keyword each).
  std::vector<std::string> ParseColumnNameList();
  // Plain column references separated by commas, as (qualifier, name).
  struct ColumnReference {
    std::string table_name;
    std::string field_name;
  };
  std::vector<ColumnReference> ParseColumnReferenceList(const TABSNativeError& not_a_column,
                                                        const TABSNativeError& after_comma);

 private:
  TABSLexer& lexer_;
};

class TABSSQLCommand : public TABSSQLTokens {
 public:
  TABSSQLCommand(TABSLexer& lexer, const TABSSQLQueryContext& context);
  virtual ~TABSSQLCommand();
  TABSSQLCommand(const TABSSQLCommand&) = delete;
  TABSSQLCommand& operator=(const TABSSQLCommand&) = delete;

  // Reads the statement from the lexer's current command, from its first
  // token, up to the command's end (tokens left over are an error).
  virtual void Parse() = 0;
  // Runs the statement. With `open` the rows are kept for GetResultCursor;
  // *read_only tells whether they can be edited.
  virtual void Execute(bool open, bool* read_only, bool request_live) = 0;
  // The cursor over the statement's rows, handed over (none for
  // statements without rows).
  virtual std::unique_ptr<TABSLocalCursor> TakeResultCursor();
  // Whether the statement yields rows (known after Parse).
  virtual bool YieldsRows() const { return false; }
  // The operator tree as text, for the shell's --explain (empty when the
  // statement has none).
  virtual std::string Explain() const { return {}; }

  int64_t RowsAffected() const { return rows_affected_; }

 protected:
  const TABSSQLQueryContext& Context() const { return context_; }

  int64_t rows_affected_ = 0;

 private:
  const TABSSQLQueryContext& context_;
};

}  // namespace kelvorin
