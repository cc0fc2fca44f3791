#include "db/query/dml/sql_transaction.h"

#include "db/access/local/local_session.h"
#include "db/query/dml/dml_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {
namespace {

TABSLocalSession& Session(const TABSSQLQueryContext& context) {
  if (context.session == nullptr) throw EABSException(native::kNilPointer10009);
  return *context.session;
}

}  // namespace

void TABSSQLStartTransaction::Parse() {
  if (AtEnd()) throw EABSException(native::kStartBlank);
  ExpectReserved(rwSTART, native::kStartExpected);
  if (AtEnd()) FailAt(native::kStartUnexpectedEnd, Token());
  ExpectReserved(rwTRANSACTION, native::kTransactionExpected);
  ExpectEnd();
}

void TABSSQLStartTransaction::Execute(bool, bool*, bool) {
  rows_affected_ = 0;
  if (Context().start_transaction) {
    Context().start_transaction();
  } else {
    Session(Context()).StartTransaction();
  }
}

void TABSSQLCommit::Parse() {
  flush_ = false;
  if (AtEnd()) throw EABSException(native::kCommitBlank);
  ExpectReserved(rwCOMMIT, native::kCommitExpected);
  if (IsReserved(rwWORK)) NextToken();
  if (IsReserved(rwFLUSH)) {
    flush_ = true;
    NextToken();
  }
  ExpectEnd();
}

void TABSSQLCommit::Execute(bool, bool*, bool) {
  rows_affected_ = 0;
  if (Context().commit) {
    Context().commit(flush_);
  } else {
    Session(Context()).Commit(flush_);
  }
}

void TABSSQLRollback::Parse() {
  if (AtEnd()) throw EABSException(native::kRollbackBlank);
  ExpectReserved(rwROLLBACK, native::kRollbackExpected);
  if (IsReserved(rwWORK)) NextToken();
  ExpectEnd();
}

void TABSSQLRollback::Execute(bool, bool*, bool) {
  rows_affected_ = 0;
  if (Context().rollback) {
    Context().rollback();
  } else {
    Session(Context()).Rollback();
  }
}

}  // namespace kelvorin
