#include "db/access/ddl/ddl_statement.h"

#include <limits>

#include "db/access/ddl/ddl_errors.h"
#include "db/access/local/local_session.h"
#include "db/storage/compression/compression.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {
namespace {

constexpr TTokenKinds kTypeWordKinds =
    TokenKind(tktString) | TokenKind(tktBracketedString) | TokenKind(tktReservedWord);
// Table names are never quoted strings.
constexpr TTokenKinds kTableNameKinds = kTypeWordKinds;

// Smallest and largest block of a compressed BLOB stream.
constexpr int64_t kMinBlobBlockSize = 512;
constexpr int64_t kMaxBlobBlockSize = int64_t{16} << 20;

bool IsSizedType(TABSColumnType type) { return IsStringOrGuidColumn(type) || IsByteArrayColumn(type); }

// The auto-increment column type of a width named inside AUTOINC (...).
TABSColumnType AutoIncOfWidth(TABSColumnType width) {
  switch (width) {
    case TABSColumnType::ShortInt: return TABSColumnType::AutoIncShortInt;
    case TABSColumnType::SmallInt: return TABSColumnType::AutoIncSmallInt;
    case TABSColumnType::Integer: return TABSColumnType::AutoInc;
    case TABSColumnType::LargeInt: return TABSColumnType::AutoIncLargeInt;
    case TABSColumnType::Byte: return TABSColumnType::AutoIncByte;
    case TABSColumnType::Word: return TABSColumnType::AutoIncWord;
    case TABSColumnType::Cardinal: return TABSColumnType::AutoIncCardinal;
    default: return IsAutoIncColumn(width) ? width : TABSColumnType::None;
  }
}

}  // namespace

// --- TABSDDLStatement ---

TABSLocalSession& TABSDDLStatement::SessionOf(bool in_memory) const {
  if (in_memory) {
    if (!Context().open_database) throw EABSException(native::kStatementNotAvailable, {"MEMORY", 0, 0});
    return Context().open_database("MEMORY");
  }
  if (Context().session == nullptr) throw EABSException(native::kStatementNotAvailable, {"", 0, 0});
  return *Context().session;
}

void TABSDDLStatement::CheckNoTransaction(TABSLocalSession& session, std::string_view statement) {
  if (session.InTransaction()) throw EABSException(native::kDDLInTransaction, {statement});
}

void TABSDDLStatement::CheckNotAtEnd() const {
  if (AtEnd()) throw EABSException(native::kNextTokenMissing, {Token().line_num, Token().column_num});
}

int64_t TABSDDLStatement::ParseSignedInteger(const TABSNativeError& not_an_integer) {
  CheckNotAtEnd();
  const bool negative = IsSymbol("-");
  if (negative) {
    NextToken();
    CheckNotAtEnd();
  }
  if (!Is(tktInt)) FailFound(not_an_integer);
  return negative ? -Token().int_value : Token().int_value;
}

std::vector<TABSIndexField> TABSDDLStatement::ParseIndexColumns(std::string* password) {
  std::vector<TABSIndexField> fields;
  for (;;) {
    NextTokenIn(kNameOrKeywordKinds, native::kIndexColumnExpected);
    if (password != nullptr && IsReserved(rwPASSWORD)) {
      NextTokenIn(TokenKind(tktQuotedString), native::kIndexPasswordExpected);
      *password = std::string(Token().text);
      NextToken();
      CheckNotAtEnd();
      if (!Is(tktComma) && !Is(tktRightParenthesis)) FailFound(native::kIndexPasswordFollower);
    } else {
      TABSIndexField& field = fields.emplace_back();
      field.field_name = std::string(Token().text);
      NextToken();
      for (;;) {
        CheckNotAtEnd();
        if (IsReserved(rwASC) || IsReserved(rwDESC)) {
          field.descending = IsReserved(rwDESC);
        } else if (IsReserved(rwCASE) || IsReserved(rwNOCASE)) {
          field.case_insensitive = IsReserved(rwNOCASE);
        } else {
          break;
        }
        NextToken();
      }
      if (!Is(tktComma) && !Is(tktRightParenthesis)) FailFound(native::kIndexColumnFollower);
    }
    if (Is(tktRightParenthesis)) {
      NextToken();
      return fields;
    }
  }
}

std::vector<std::string> TABSDDLStatement::ParseFieldNameList(const TABSNativeError& after_comma) {
  std::vector<std::string> names;
  CheckNotAtEnd();
  RequireIn(kNameKinds, native::kDropListNameExpected);
  for (;;) {
    names.emplace_back(Token().text);
    NextToken();
    if (!Is(tktComma)) return names;
    NextToken();
    CheckNotAtEnd();
    RequireIn(kNameKinds, after_comma);
  }
}

std::string TABSDDLStatement::ParseNameAfter(const TABSNativeError& not_a_name) {
  const TToken before = Token();
  NextToken();
  if (AtEnd()) throw EABSException(native::kRenameTargetMissing, {before.line_num, before.column_num});
  RequireIn(kNameOrKeywordKinds, not_a_name);
  std::string name(Token().text);
  NextToken();
  return name;
}

// --- TABSDDLTableManipulation ---

void TABSDDLTableManipulation::ParseTableName() {
  RequireIn(kTableNameKinds, native::kTableNameExpected);
  if (IsReserved(rwMEMORY)) {
    in_memory_ = true;
    NextTokenIn(kNameOrKeywordKinds, native::kMemoryTableNameExpected);
  }
  table_name_ = std::string(Token().text);
  NextToken();
}

void TABSDDLTableManipulation::ParseItemList() {
  if (!Is(tktLeftParenthesis)) FailExpected(native::kColumnListOpenExpected, "(");
  for (;;) {
    NextTokenIn(kNameOrKeywordKinds, native::kItemNameExpected);
    if (IsReserved(rwPRIMARY)) {
      ParseTablePrimaryKey();
    } else if (IsReserved(rwUNIQUE) || IsReserved(rwINDEX)) {
      ParseTableIndex();
    } else {
      ParseColumn();
    }
    if (Is(tktRightParenthesis)) break;
    CheckNotAtEnd();
    if (!Is(tktComma)) FailFound(native::kOptionFollowerExpected);
  }
  NextToken();
}

void TABSDDLTableManipulation::ParseColumn() {
  TSQLFieldDef& column = field_defs_.Add();
  column.name = std::string(Token().text);
  column.line_num = Token().line_num;
  column.column_num = Token().column_num;
  for (int32_t i = 0; i + 1 < field_defs_.Count(); ++i) {
    if (SameObjectName(field_defs_.Items(i).name, column.name)) {
      throw EABSException(native::kColumnDeclaredTwice, {column.name});
    }
  }
  NextTokenIn(kTypeWordKinds, native::kFieldTypeExpected);
  const TSQLFieldType* type = FindSQLFieldType(Token().text);
  if (type == nullptr) throw EABSException(native::kUnknownFieldType, {Token().text, Token().line_num, Token().column_num});
  column.data_type = type->column_type;
  column.data_type_given = true;
  NextToken();
  if (IsSizedType(column.data_type)) ParseColumnSize(column);
  if (IsAutoIncColumn(column.data_type) && Is(tktLeftParenthesis)) ParseAutoIncOptions(column);
  ParseColumnOptions(column);
}

void TABSDDLTableManipulation::ParseColumnSize(TSQLFieldDef& column) {
  CheckNotAtEnd();
  if (!Is(tktLeftParenthesis)) FailFound(native::kSizeOpenExpected);
  NextTokenIn(TokenKind(tktInt), native::kSizeExpected);
  if (Token().int_value < 1 || Token().int_value > std::numeric_limits<int32_t>::max()) {
    FailFound(native::kSizeExpected);
  }
  column.size = static_cast<int32_t>(Token().int_value);
  column.size_given = true;
  NextToken();
  CheckNotAtEnd();
  if (!Is(tktRightParenthesis)) FailFound(native::kSizeCloseExpected);
  NextToken();
}

void TABSDDLTableManipulation::ParseAutoIncOptions(TSQLFieldDef& column) {
  for (;;) {
    NextToken();
    if (AtEnd()) throw EABSException(native::kAutoIncOptionsEnd, {Token().line_num, Token().column_num});
    if (Is(tktRightParenthesis)) break;
    if (Is(tktComma)) continue;
    const auto value = [&](int64_t& target, bool& given) {
      NextToken();
      if (AtEnd()) throw EABSException(native::kAutoIncOptionsEnd, {Token().line_num, Token().column_num});
      target = ParseSignedInteger(native::kIntegerExpected);
      given = true;
    };
    if (IsReserved(rwINCREMENT)) {
      value(column.increment, column.increment_given);
    } else if (IsReserved(rwINITIALVALUE)) {
      value(column.initial_value, column.initial_value_given);
    } else if (IsReserved(rwMINVALUE)) {
      value(column.min_value, column.min_value_given);
    } else if (IsReserved(rwMAXVALUE)) {
      value(column.max_value, column.max_value_given);
    } else if (IsReserved(rwCYCLED) || IsReserved(rwNOCYCLED)) {
      column.cycled = IsReserved(rwCYCLED);
      column.cycled_given = true;
    } else if (IsReserved(rwNOMINVALUE)) {
      column.min_value = 0;
      column.min_value_given = true;
    } else if (IsReserved(rwNOMAXVALUE)) {
      column.max_value = std::numeric_limits<int64_t>::max();
      column.max_value_given = true;
    } else if (column.data_type == TABSColumnType::AutoInc && TokenIn(Token(), kTypeWordKinds)) {
      ParseAutoIncWidth(column);
    } else {
      FailFound(native::kAutoIncOptionUnexpected);
    }
  }
  NextToken();
}

void TABSDDLTableManipulation::ParseAutoIncWidth(TSQLFieldDef& column) {
  const TSQLFieldType* width = FindSQLFieldType(Token().text);
  const TABSColumnType type = width == nullptr ? TABSColumnType::None : AutoIncOfWidth(width->column_type);
  if (type == TABSColumnType::None) {
    throw EABSException(native::kAutoIncTypeUnsupported, {Token().text, Token().line_num, Token().column_num});
  }
  column.data_type = type;
}

void TABSDDLTableManipulation::ParseColumnOptions(TSQLFieldDef& column) {
  while (!Is(tktComma) && !Is(tktRightParenthesis)) {
    CheckNotAtEnd();
    if (IsReserved(rwNOT)) {
      NextToken();
      CheckNotAtEnd();
      if (!IsReserved(rwNULL)) FailFound(Is(tktReservedWord) ? native::kNotNullReservedWord : native::kNotNullExpected);
      column.required = true;
      column.required_given = true;
    } else if (IsReserved(rwNULL)) {
      column.required = false;
      column.required_given = true;
    } else if (IsReserved(rwBLOBBLOCKSIZE)) {
      NextToken();
      const int64_t size = ParseSignedInteger(native::kIntegerExpected);
      if (size < kMinBlobBlockSize || size > kMaxBlobBlockSize) {
        throw EABSException(native::kBlobBlockSizeRange, {kMinBlobBlockSize, kMaxBlobBlockSize, FoundText(),
                                                          Token().line_num, Token().column_num});
      }
      column.blob_block_size = static_cast<int32_t>(size);
      column.blob_block_size_given = true;
    } else if (IsReserved(rwBLOBCOMPRESSIONMODE)) {
      NextToken();
      const int64_t level = ParseSignedInteger(native::kIntegerExpected);
      if (level < 0 || level > 255) {
        throw EABSException(native::kCompressionLevelRange, {255, FoundText(), Token().line_num, Token().column_num});
      }
      column.blob_compression_mode = static_cast<uint8_t>(level);
      column.blob_compression_mode_given = true;
    } else if (IsReserved(rwBLOBCOMPRESSIONALGORITHM)) {
      NextToken();
      CheckNotAtEnd();
      if (!CompressionAlgorithmOfName(Token().text, &column.blob_compression_algorithm)) {
        throw EABSException(native::kUnknownCompression, {Token().text, Token().line_num, Token().column_num});
      }
      column.blob_compression_algorithm_given = true;
    } else if (IsReserved(rwDEFAULT)) {
      ParseDefault(column);
      return;
    } else if (IsReserved(rwMINVALUE) || IsReserved(rwMAXVALUE)) {
      const bool minimum = IsReserved(rwMINVALUE);
      NextToken();
      ParseBound(minimum ? column.min_constraint : column.max_constraint);
      (minimum ? column.min_constraint_given : column.max_constraint_given) = true;
    } else if (IsReserved(rwNOMINVALUE) || IsReserved(rwNOMAXVALUE)) {
      const bool minimum = IsReserved(rwNOMINVALUE);
      (minimum ? column.min_constraint : column.max_constraint) = TABSVariant();
      (minimum ? column.min_constraint_given : column.max_constraint_given) = true;
    } else if (IsReserved(rwPRIMARY) || IsReserved(rwUNIQUE)) {
      TABSDDLIndex index;
      index.primary = IsReserved(rwPRIMARY);
      index.unique = !index.primary;
      index.line_num = Token().line_num;
      index.column_num = Token().column_num;
      index.fields.push_back({column.name, false, false});
      AddIndex(std::move(index));
      if (IsReserved(rwPRIMARY)) {
        NextToken();
        if (!IsReserved(rwKEY)) continue;
      }
    } else {
      FailFound(native::kColumnOptionExpected);
    }
    NextToken();
  }
}

void TABSDDLTableManipulation::ParseDefault(TSQLFieldDef& column) {
  if (column.default_value_given) throw EABSException(native::kDefaultTwice, {column.name});
  NextToken();
  CheckNotAtEnd();
  TABSVariant value;
  if (IsReserved(rwNULL)) {
    // NULL: no default.
  } else if (IsSymbol("-")) {
    NextToken();
    CheckNotAtEnd();
    if (Is(tktInt)) {
      value.SetLargeInt(-Token().int_value);
    } else if (Is(tktFloat)) {
      value.SetFloat(-Token().float_value);
    } else {
      FailFound(native::kIntegerExpected);
    }
  } else if (Is(tktInt)) {
    value.SetLargeInt(Token().int_value);
  } else if (Is(tktFloat)) {
    value.SetFloat(Token().float_value);
  } else if (Is(tktParameter) && Token().param_value != nullptr) {
    value = *Token().param_value;
  } else {
    value.SetString(Token().text);
  }
  column.default_value = std::move(value);
  column.default_value_given = true;
  NextToken();
  CheckNotAtEnd();
  if (!Is(tktComma) && !Is(tktRightParenthesis)) FailFound(native::kDefaultFollowerExpected);
}

void TABSDDLTableManipulation::ParseBound(TABSVariant& bound) {
  CheckNotAtEnd();
  const bool negative = IsSymbol("-");
  if (negative) {
    NextToken();
    CheckNotAtEnd();
  }
  if (Is(tktInt)) {
    bound.SetLargeInt(negative ? -Token().int_value : Token().int_value);
  } else if (Is(tktFloat)) {
    bound.SetFloat(negative ? -Token().float_value : Token().float_value);
  } else if (Is(tktQuotedString) && !negative) {
    bound.SetString(Token().text);
  } else {
    FailFound(native::kBoundExpected);
  }
}

void TABSDDLTableManipulation::ParseTablePrimaryKey() {
  TABSDDLIndex index;
  index.primary = true;
  index.line_num = Token().line_num;
  index.column_num = Token().column_num;
  NextToken();
  CheckNotAtEnd();
  if (IsReserved(rwKEY)) {
    NextToken();
    CheckNotAtEnd();
  }
  ParseNamedIndex(std::move(index));
}

void TABSDDLTableManipulation::ParseTableIndex() {
  TABSDDLIndex index;
  index.line_num = Token().line_num;
  index.column_num = Token().column_num;
  if (IsReserved(rwUNIQUE)) {
    index.unique = true;
    NextToken();
    CheckNotAtEnd();
    if (!Is(tktReservedWord)) FailFound(native::kIndexKeywordExpected);
    if (!IsReserved(rwINDEX)) FailFound(native::kIndexKeywordNotIndex);
  }
  NextToken();
  CheckNotAtEnd();
  ParseNamedIndex(std::move(index));
}

void TABSDDLTableManipulation::ParseNamedIndex(TABSDDLIndex index) {
  if (!Is(tktLeftParenthesis)) {
    RequireIn(kNameOrKeywordKinds, native::kIndexNameExpected);
    index.name = std::string(Token().text);
    NextToken();
    CheckNotAtEnd();
    if (!Is(tktLeftParenthesis)) FailFound(native::kKeyColumnsOpenExpected);
  }
  index.fields = ParseIndexColumns();
  AddIndex(std::move(index));
}

void TABSDDLTableManipulation::AddIndex(TABSDDLIndex index) {
  if (index.primary) {
    for (const TABSDDLIndex& other : indexes_) {
      if (other.primary) throw EABSException(native::kPrimaryKeyTwice, {index.line_num, index.column_num});
    }
  }
  indexes_.push_back(std::move(index));
}

}  // namespace kelvorin
