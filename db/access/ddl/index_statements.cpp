#include "db/access/ddl/index_statements.h"

#include "db/access/dataset/dataset_errors.h"
#include "db/access/ddl/ddl_definitions.h"
#include "db/access/ddl/ddl_errors.h"
#include "db/access/local/local_cursor.h"
#include "db/access/table/table_maintenance.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {

void TABSDDLCreateIndex::Parse() {
  NextToken();  // UNIQUE or INDEX
  if (IsReserved(rwUNIQUE)) {
    unique_ = true;
    NextToken();
    CheckNotAtEnd();
    if (!Is(tktReservedWord)) FailFound(native::kIndexKeywordExpected);
    if (!IsReserved(rwINDEX)) FailFound(native::kIndexKeywordNotIndex);
  }
  NextTokenIn(kNameOrKeywordKinds, native::kIndexNameExpected);
  index_name_ = std::string(Token().text);
  NextToken();
  CheckNotAtEnd();
  if (!Is(tktReservedWord)) FailFound(native::kOnExpected);
  if (!IsReserved(rwON)) FailFound(native::kOnNotOn);
  NextTokenIn(kNameOrKeywordKinds, native::kIndexTableExpected);
  table_name_ = std::string(Token().text);
  NextToken();
  CheckNotAtEnd();
  if (!Is(tktLeftParenthesis)) FailFound(native::kIndexColumnsOpenExpected);
  fields_ = ParseIndexColumns(&password_);
  if (!AtEnd()) FailFound(native::kCreateIndexTrailing);
}

void TABSDDLCreateIndex::Execute(bool /*open*/, bool* read_only, bool /*request_live*/) {
  *read_only = true;
  TABSLocalSession& session = SessionOf(false);
  CheckNoTransaction(session, "CREATE INDEX");
  if (fields_.empty()) throw EABSException(native::kIndexFieldsEmpty, {""});
  TABSLocalCursor cursor(session, table_name_);
  cursor.Open();
  AddTableIndex(cursor, MakeIndexDef(index_name_, fields_, unique_, false));
}

void TABSDDLDropIndex::Parse() {
  NextToken();  // INDEX
  const auto missing = [&](const TABSNativeError& error) {
    if (AtEnd()) throw EABSException(error, {Token().line_num, Token().column_num});
  };
  NextToken();
  missing(native::kDropIndexTableMissing);
  RequireIn(kNameOrKeywordKinds, native::kIndexTableExpected);
  table_name_ = std::string(Token().text);
  NextToken();
  missing(native::kDropIndexDotMissing);
  if (!Is(tktDot)) FailExpected(native::kDropIndexDotExpected, ".");
  NextToken();
  missing(native::kDropIndexNameMissing);
  RequireIn(kNameOrKeywordKinds, native::kIndexNameExpected);
  index_name_ = std::string(Token().text);
  NextToken();
  if (IsReserved(rwPASSWORD)) {
    NextTokenIn(TokenKind(tktQuotedString), native::kDropIndexPasswordExpected);
    password_ = std::string(Token().text);
    NextToken();
  }
  if (!AtEnd()) FailFound(native::kDropIndexTrailing);
}

void TABSDDLDropIndex::Execute(bool /*open*/, bool* read_only, bool /*request_live*/) {
  *read_only = true;
  TABSLocalSession& session = SessionOf(false);
  CheckNoTransaction(session, "DROP INDEX");
  TABSLocalCursor cursor(session, table_name_);
  cursor.Open();
  DeleteTableIndex(cursor, index_name_);
}

}  // namespace kelvorin
