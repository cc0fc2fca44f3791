#include "db/query/dml/sql_write.h"

#include "db/query/dml/dml_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/locks/lock_types.h"
#include "db/tables/metadata/meta_object_def.h"
#include "db/tables/records/field_manager.h"
#include "db/tables/records/table_data.h"
#include "db/tables/records/table_post.h"
#include "db/tables/values/field_types.h"
#include "db/tables/values/value_errors.h"

namespace kelvorin {
namespace {

// How long a statement waits for its table's write lock.
constexpr int32_t kWriteLockSleepMs = 40;
constexpr int32_t kWriteLockTries = 2250;

// A refusal's text is a whole engine message, code included: raised again,
// it keeps one code.
std::string_view WithoutCode(std::string_view message) {
  const size_t at = message.rfind(" - Native error: ");
  return at == std::string_view::npos ? message : message.substr(0, at);
}

}  // namespace

void RaiseRefusal(const TABSLocalCursor& cursor) {
  if (cursor.Status() == static_cast<int32_t>(TABSPostCode::kConstraintViolated)) {
    const std::string_view text = WithoutCode(cursor.StatusMessage());
    if (cursor.StatusNativeError() != 0) throw EABSException(cursor.StatusNativeError(), text);
    throw EABSException(native::kDataPostRefused, {text});
  }
  throw EABSException(native::kDataPostRefused, {PostCodeText(cursor.Status())});
}

TABSSQLTargetName ParseTargetName(TABSSQLTokens& tokens, const TABSSQLTargetErrors& errors) {
  TABSSQLTargetName name;
  if (tokens.AtEnd()) throw EABSException(native::kNextTokenMissing, {tokens.Token().line_num, tokens.Token().column_num});
  // MEMORY is a table's name unless a name follows it.
  if (tokens.IsReserved(rwMEMORY) && TokenIn(tokens.Lexer().NextToken(), kNameOrKeywordKinds)) {
    name.in_memory = true;
    tokens.NextTokenIn(kNameOrKeywordKinds, errors.memory_table_expected);
  } else {
    tokens.RequireIn(kNameOrKeywordKinds, errors.table_expected);
  }
  name.table_name = tokens.Token().text;
  tokens.NextToken();
  if (tokens.Is(tktDot)) {
    name.database_name = std::move(name.table_name);
    name.table_name = tokens.NextTokenIn(kNameOrKeywordKinds, native::kDataTableAfterDotExpected).text;
    tokens.NextToken();
  }
  if (tokens.IsReserved(rwPASSWORD)) {
    name.password = tokens.NextTokenIn(TokenKind(tktQuotedString), errors.password_expected).text;
    tokens.NextToken();
  }
  return name;
}

std::unique_ptr<TABSLocalCursor> OpenTarget(const TABSSQLQueryContext& context, const TABSSQLTargetName& name) {
  std::string database = name.database_name;
  if (database.empty() && (name.in_memory || context.in_memory)) database = "MEMORY";
  TABSLocalSession* session = context.session;
  if (!database.empty()) {
    if (!context.open_database) throw EABSException(native::kStatementNotAvailable, {database, 0, 0});
    session = &context.open_database(database);
  }
  if (session == nullptr) throw EABSException(native::kNilPointer10009);
  auto cursor = std::make_unique<TABSLocalCursor>(*session, name.table_name);
  cursor->Open();
  return cursor;
}

TABSSQLWriteUnit::TABSSQLWriteUnit(TABSLocalCursor& cursor, const TABSSQLQueryContext& context,
                                   const TABSNativeError& locked)
    : cursor_(cursor) {
  if (!cursor_.LocalSession().InTransaction()) {
    CheckCancelled(context);
    if (!cursor_.LockTable(TABSLockType::kWrite, kWriteLockSleepMs, kWriteLockTries)) throw EABSException(locked);
    locked_ = true;
  }
  try {
    cursor_.BeginBatch();
  } catch (...) {
    Unlock();
    throw;
  }
}

TABSSQLWriteUnit::~TABSSQLWriteUnit() {
  if (!committed_) {
    try {
      cursor_.CancelBatch();
    } catch (...) {
      // What cannot be taken back went with the whole transaction.
    }
  }
  Unlock();
}

void TABSSQLWriteUnit::Commit() {
  cursor_.CommitBatch();
  committed_ = true;
  if (!locked_) return;
  locked_ = false;
  try {
    cursor_.UnlockTable(TABSLockType::kWrite);
  } catch (const EABSException&) {
    throw EABSException(native::kDataUnlockFailed);
  }
}

void TABSSQLWriteUnit::Unlock() noexcept {
  if (!locked_) return;
  locked_ = false;
  try {
    cursor_.UnlockTable(TABSLockType::kWrite);
  } catch (...) {
    // The session's disconnect releases what the lock manager still lists.
  }
}

void CheckDistinctColumns(const std::vector<std::string>& names) {
  for (size_t i = 0; i < names.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (SameObjectName(names[i], names[j])) throw EABSException(native::kDataColumnRepeated, {names[i]});
    }
  }
}

std::vector<int32_t> ResolveColumns(const TABSLocalCursor& cursor, const std::vector<std::string>& names) {
  CheckDistinctColumns(names);
  const TABSFieldDefs& fields = cursor.FieldDefs();
  std::vector<int32_t> numbers;
  numbers.reserve(names.size());
  for (const std::string& name : names) {
    const int32_t number = fields.IndexOfName(name);
    if (number < 0) throw EABSException(native::kDataColumnNotFound, {name, cursor.TableName()});
    numbers.push_back(number);
  }
  return numbers;
}

void AssignField(TABSLocalCursor& cursor, uint8_t* buffer, int32_t field_no, const TABSVariant& value) {
  TABSTableData& table = cursor.OpenTable();
  const TABSFieldDef& field = *cursor.FieldDefs().Items(field_no);
  if (value.IsNull() || !IsBlobStorage(field.StorageType())) {
    try {
      table.FieldManager().SetFieldValue(field_no, value, buffer);
    } catch (const EABSException& error) {
      // Which of the statement's values did not fit is what the user needs.
      if (error.NativeError() != native::kGetRawBufferSizeExceeded.code) throw;
      throw EABSException(native::kDataValueTooLong, {field.Name(), field.DeclaredSize()});
    }
    return;
  }
  const std::string bytes = value.AsString();
  std::unique_ptr<TABSLocalBLOBStream> stream = cursor.OpenBlob(buffer, field_no, TABSBlobStreamMode::kWrite);
  if (stream == nullptr) throw EABSException(native::kNilPointer10009);
  stream->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream->Close();
}

void ReadField(TABSLocalCursor& cursor, uint8_t* buffer, int32_t field_no, TABSVariant& value) {
  TABSTableData& table = cursor.OpenTable();
  const TABSFieldDef& field = *cursor.FieldDefs().Items(field_no);
  if (!IsBlobStorage(field.StorageType()) || !table.FieldManager().GetFieldData(field_no, nullptr, buffer)) {
    table.FieldManager().GetFieldValue(field_no, value, buffer);
    return;
  }
  std::unique_ptr<TABSLocalBLOBStream> stream = cursor.OpenBlob(buffer, field_no, TABSBlobStreamMode::kRead);
  if (stream == nullptr) throw EABSException(native::kNilPointer10009);
  std::string bytes(static_cast<size_t>(stream->Size()), '\0');
  if (!bytes.empty()) stream->Read(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream->Close();
  value = TABSVariant(TABSStorageType::String);
  value.SetString(bytes);
}

TABSSQLRecordBuffer::~TABSSQLRecordBuffer() {
  try {
    cursor_.Cancel(bytes_.data(), false);
  } catch (...) {
    // The cursor is closing: it gives back what the record held.
  }
}

void PostRecord(TABSLocalCursor& cursor, uint8_t* buffer, bool inserting) {
  if (!cursor.Post(buffer, inserting)) RaiseRefusal(cursor);
}

void DeleteRecord(TABSLocalCursor& cursor, uint8_t* buffer) {
  if (!cursor.Delete(buffer)) RaiseRefusal(cursor);
}

}  // namespace kelvorin
