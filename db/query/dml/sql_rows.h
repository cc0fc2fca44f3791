// What UPDATE and DELETE share: the rows a statement changes are those of
// its table that meet its WHERE condition. They are found first, under the
// statement's lock, as record identifiers; then the selection is closed
// and each record is read again and changed, so that a row the statement
// changed never comes back to it (whatever indexes it moves in).
#pragma once

#include <memory>
#include <vector>

#include "db/access/local/local_cursor.h"
#include "db/query/parser/expression.h"
#include "db/query/sql/sql_command.h"

namespace kelvorin {

// [WHERE condition] [ORDER BY columns] from the current token, then the
// end of the command. ORDER BY changes nothing: each row changes once in
// whatever order.
std::unique_ptr<TABSExpression> ParseRowsTail(TABSSQLTokens& tokens, const TABSSQLQueryContext& context);

// The identifiers of the records that meet the condition (none: all).
std::vector<TABSRecordId> CollectRecordIds(TABSLocalCursor& cursor, TABSExpression* condition,
                                           const TABSSQLQueryContext& context);

}  // namespace kelvorin
