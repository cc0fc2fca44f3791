#include "db/query/sql/sql_processor.h"

#include <map>
#include <mutex>
#include <new>

#include "db/access/local/local_cursor.h"
#include "db/query/sql/sql_errors.h"
#include "db/query/sql/sql_union.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/memory/memory_manager.h"

namespace kelvorin {
namespace {

struct Makers {
  std::mutex mutex;
  std::map<TABSStatementKind, TABSSQLProcessor::StatementMaker> makers;
};

Makers& StatementMakers() {
  static Makers makers;
  return makers;
}

[[noreturn]] void FailToken(const TABSNativeError& error, const TToken& token) {
  throw EABSException(error, {token.text, token.line_num, token.column_num});
}

// The second word of CREATE, DROP and ALTER.
TABSStatementKind ObjectKind(const TABSLexer& lexer, const TToken& first) {
  const TToken& second = lexer.NextToken();
  const uint16_t word = first.reserved_word;
  if (second.token_type == tktNone) {
    const TABSNativeError& error = word == rwCREATE ? native::kCreateUnexpectedEnd
                                 : word == rwDROP   ? native::kDropUnexpectedEnd
                                                    : native::kAlterUnexpectedEnd;
    throw EABSException(error, {second.line_num, second.column_num});
  }
  const auto is = [&](uint16_t w) { return TABSLexer::IsReservedWord(second, w); };
  if (word == rwCREATE) {
    if (is(rwTABLE)) return TABSStatementKind::kCreateTable;
    if (is(rwUNIQUE) || is(rwINDEX)) return TABSStatementKind::kCreateIndex;
    FailToken(native::kCreateObjectTypeExpected, second);
  }
  if (word == rwDROP) {
    if (is(rwTABLE)) return TABSStatementKind::kDropTable;
    if (is(rwINDEX)) return TABSStatementKind::kDropIndex;
    FailToken(native::kDropObjectTypeExpected, second);
  }
  if (is(rwTABLE)) return TABSStatementKind::kAlterTable;
  FailToken(native::kAlterObjectTypeExpected, second);
}

}  // namespace

void TABSSQLProcessor::RegisterStatement(TABSStatementKind kind, StatementMaker maker) {
  Makers& makers = StatementMakers();
  std::lock_guard lock(makers.mutex);
  makers.makers[kind] = std::move(maker);
}

TABSStatementKind TABSSQLProcessor::SelectStatement(const TABSLexer& lexer) {
  const TToken& first = lexer.CurrentToken();
  if (first.token_type == tktLeftParenthesis) return TABSStatementKind::kQuery;
  if (first.token_type != tktReservedWord) FailToken(native::kStatementTokenExpected, first);
  switch (first.reserved_word) {
    case rwSELECT: return TABSStatementKind::kQuery;
    case rwINSERT: return TABSStatementKind::kInsert;
    case rwUPDATE: return TABSStatementKind::kUpdate;
    case rwDELETE: return TABSStatementKind::kDelete;
    case rwCREATE: case rwDROP: case rwALTER: return ObjectKind(lexer, first);
    case rwRENAME:
      if (lexer.NextToken().token_type == tktNone) {
        throw EABSException(native::kRenameUnexpectedEnd, {first.line_num, first.column_num});
      }
      return TABSStatementKind::kRenameTable;
    case rwSTART: return TABSStatementKind::kStartTransaction;
    case rwCOMMIT: return TABSStatementKind::kCommit;
    case rwROLLBACK: return TABSStatementKind::kRollback;
    default: FailToken(native::kStatementReservedWord, first);
  }
}

TABSSQLProcessor::TABSSQLProcessor(TABSSQLQueryContext context) : context_(std::move(context)) {}

TABSSQLProcessor::~TABSSQLProcessor() = default;

void TABSSQLProcessor::SetSQL(std::string_view text) {
  sql_text_ = text;
  statements_.clear();
  lexer_.reset();
  parsed_ = false;
}

std::unique_ptr<TABSSQLCommand> TABSSQLProcessor::MakeStatement() {
  const TABSStatementKind kind = SelectStatement(*lexer_);
  std::unique_ptr<TABSSQLCommand> statement;
  if (kind == TABSStatementKind::kQuery) {
    statement = std::make_unique<TABSSQLUnion>(*lexer_, context_);
  } else {
    StatementMaker maker;
    {
      Makers& makers = StatementMakers();
      std::lock_guard lock(makers.mutex);
      const auto found = makers.makers.find(kind);
      if (found != makers.makers.end()) maker = found->second;
    }
    if (!maker) FailToken(native::kStatementNotAvailable, lexer_->CurrentToken());
    statement = maker(*lexer_, context_);
  }
  statement->Parse();
  return statement;
}

void TABSSQLProcessor::Parse() {
  running_.reset();
  statements_.clear();
  parsed_ = false;
  lexer_.reset();
  lexer_ = std::make_unique<TABSLexer>(sql_text_, &params_);
  if (lexer_->NumCommands() == 0) throw EABSException(native::kBlankSqlCommand);
  std::vector<std::unique_ptr<TABSSQLCommand>> statements;
  std::vector<Place> starts;
  while (lexer_->NextCommand()) {
    const TToken& first = lexer_->CurrentToken();
    starts.push_back({first.line_num, first.column_num});
    statements.push_back(MakeStatement());
  }
  statements_ = std::move(statements);
  starts_ = std::move(starts);
  parsed_ = true;
}

bool TABSSQLProcessor::LastYieldsRows() const {
  return !statements_.empty() && statements_.back()->YieldsRows();
}

void TABSSQLProcessor::RunEach(bool open, const std::function<void(TABSSQLCommand&)>& after) {
  try {
    RunStatements(open, after);
  } catch (const std::bad_alloc&) {
    // Containers on the engine's memory report a refusal so; the caller
    // gets the engine's error like any other.
    const int64_t limit = MemoryManager().MemoryLimit();
    if (limit > 0) throw EABSException(native::kMemoryLimitExceeded30004, {limit});
    throw EABSException(native::kGetMemError30015, {"Out of memory"});
  }
}

void TABSSQLProcessor::RunStatements(bool open, const std::function<void(TABSSQLCommand&)>& after) {
  if (!parsed_) Parse();
  // The next run parses again, with the parameters as they are then.
  parsed_ = false;
  rows_affected_ = 0;
  read_only_ = true;
  running_.reset();
  for (size_t i = 0; i < statements_.size(); ++i) {
    running_ = starts_[i];
    bool read_only = true;
    statements_[i]->Execute(open, &read_only, context_.request_live);
    rows_affected_ += statements_[i]->RowsAffected();
    read_only_ = read_only;
    if (after) after(*statements_[i]);
    if (i + 1 < statements_.size()) statements_[i].reset();
  }
}

std::unique_ptr<TABSLocalCursor> TABSSQLProcessor::Run(bool open) {
  std::unique_ptr<TABSLocalCursor> cursor;
  RunEach(open, [&](TABSSQLCommand& statement) {
    cursor.reset();
    if (&statement == statements_.back().get()) cursor = statement.TakeResultCursor();
  });
  if (cursor != nullptr) cursor->First();
  return cursor;
}

}  // namespace kelvorin
