#include "db/access/ddl/alter_table.h"

#include <algorithm>
#include <exception>

#include "db/access/ddl/ddl_definitions.h"
#include "db/access/ddl/ddl_errors.h"
#include "db/access/local/local_cursor.h"
#include "db/access/table/hidden_table.h"
#include "db/access/table/table_maintenance.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {

// --- Parsing ---

void TABSDDLAlterTable::Parse() {
  NextToken();  // TABLE
  NextToken();
  if (AtEnd()) throw EABSException(native::kAlterTableBlank);
  ParseTableName();
  CheckNotAtEnd();
  if (!Is(tktReservedWord)) FailFound(native::kAlterActionExpected);
  if (IsReserved(rwADD) || IsReserved(rwMODIFY)) {
    alter_type_ = IsReserved(rwADD) ? kAddColumns : kModifyColumns;
    NextToken();
    CheckNotAtEnd();
    ParseItemList();
  } else if (IsReserved(rwDROP)) {
    alter_type_ = kDropColumns;
    NextToken();
    CheckNotAtEnd();
    if (Is(tktLeftParenthesis)) {
      NextToken();
      drop_fields_ = ParseFieldNameList(native::kDropListNextExpected);
      CheckNotAtEnd();
      if (!Is(tktRightParenthesis)) FailFound(native::kDropListCloseExpected);
      NextToken();
    } else if (IsReserved(rwCOLUMN)) {
      NextToken();
      drop_fields_ = ParseFieldNameList(native::kDropListNextExpected);
    } else {
      FailFound(native::kDropListNameExpected);
    }
  } else if (IsReserved(rwRENAME)) {
    ParseRename();
  } else {
    FailFound(native::kAlterActionUnknown);
  }
  if (!AtEnd()) FailFound(native::kAlterTrailing);
}

void TABSDDLAlterTable::ParseRename() {
  NextToken();
  CheckNotAtEnd();
  if (IsReserved(rwTO)) {
    alter_type_ = kRenameTable;
    new_table_name_ = ParseNameAfter(native::kTableNameExpected);
    return;
  }
  alter_type_ = kRenameColumn;
  if (IsReserved(rwCOLUMN)) {
    NextToken();
    CheckNotAtEnd();
  }
  RequireIn(kNameOrKeywordKinds, native::kDropListNameExpected);
  rename_from_.emplace_back(Token().text);
  NextToken();
  if (!IsReserved(rwTO)) FailExpected(native::kRenameColumnToExpected, "TO");
  rename_to_.push_back(ParseNameAfter(native::kDropListNameExpected));
}

void TABSDDLRenameTable::Parse() {
  NextToken();
  if (IsReserved(rwTABLE)) {
    NextToken();
    if (AtEnd()) throw EABSException(native::kRenameTableBlank);
  }
  ParseTableName();
  if (!IsReserved(rwTO)) FailExpected(native::kRenameTableToExpected, "TO");
  alter_type_ = kRenameTable;
  new_table_name_ = ParseNameAfter(native::kTableNameExpected);
  if (!AtEnd()) FailFound(native::kAlterTrailing);
}

// --- Execution ---

void TABSDDLAlterTable::Execute(bool /*open*/, bool* read_only, bool /*request_live*/) {
  *read_only = true;
  TABSLocalSession& session = TableSession();
  CheckNoTransaction(session, alter_type_ == kRenameTable ? "RENAME TABLE" : "ALTER TABLE");
  try {
    switch (alter_type_) {
      case kRenameTable: {
        TABSLocalCursor cursor(session, table_name_);
        cursor.RenameTable(new_table_name_);
        break;
      }
      case kRenameColumn:
        RenameColumns(session);
        break;
      default:
        Restructure(session);
        break;
    }
  } catch (const std::exception& failure) {
    throw EABSException(native::kAlterTableFailed, {failure.what()});
  }
}

void TABSDDLAlterTable::RenameColumns(TABSLocalSession& session) const {
  TABSCursorOptions options;
  options.exclusive = true;
  TABSLocalCursor cursor(session, table_name_, options);
  cursor.Open();
  for (size_t i = 0; i < rename_from_.size(); ++i) {
    const TABSFieldDef* field = cursor.OpenTable().Metadata().Fields().Find(rename_from_[i]);
    if (field == nullptr) throw EABSException(native::kRenameColumnNotFound, {rename_from_[i]});
    cursor.RenameField(field->Name(), rename_to_[i]);
  }
}

void TABSDDLAlterTable::Restructure(TABSLocalSession& session) const {
  TABSStoredCopyRequest request;
  // Every record whole, or the statement fails.
  request.ignore_errors = false;
  request.progress = [this](int32_t, bool& continue_flag) {
    if (Context().cancelled && Context().cancelled()) continue_flag = false;
  };
  const auto edit = [this](const TABSTableMetadata& stored, TABSTableMetadata& definitions) {
    CopyDefinitions(stored, definitions);
    EditDefinitions(definitions);
  };
  std::string error_text;
  bool continue_flag = true;
  bool done = false;
  try {
    done = RestructureStoredTable(session, table_name_, edit, request, continue_flag, error_text);
  } catch (const std::exception&) {
    // The copy's account names the record and the field.
    if (error_text.empty()) throw;
  }
  if (!done) throw EABSException(native::kRestructureFailed, {error_text});
}

void TABSDDLAlterTable::EditDefinitions(TABSTableMetadata& definitions) const {
  switch (alter_type_) {
    case kAddColumns:
      AddColumns(definitions);
      AddIndexes(definitions);
      break;
    case kModifyColumns:
      ModifyColumns(definitions);
      AddIndexes(definitions);
      break;
    case kDropColumns:
      DropColumns(definitions);
      break;
    default:
      break;
  }
}

void TABSDDLAlterTable::AddColumns(TABSTableMetadata& definitions) const {
  for (int32_t i = 0; i < field_defs_.Count(); ++i) {
    const TSQLFieldDef& column = field_defs_.Items(i);
    if (definitions.Fields().Find(column.name) != nullptr) {
      throw EABSException(native::kAddFieldExists, {column.name});
    }
    auto field = std::make_unique<TABSFieldDef>();
    ApplyColumn(column, *field, definitions.Constraints());
    definitions.Fields().Add(std::move(field));
  }
}

void TABSDDLAlterTable::ModifyColumns(TABSTableMetadata& definitions) const {
  for (int32_t i = 0; i < field_defs_.Count(); ++i) {
    const TSQLFieldDef& column = field_defs_.Items(i);
    TABSFieldDef* field = definitions.Fields().Find(column.name);
    if (field == nullptr) throw EABSException(native::kModifyFieldNotFound, {column.name});
    ApplyColumn(column, *field, definitions.Constraints());
  }
}

void TABSDDLAlterTable::DropColumns(TABSTableMetadata& definitions) const {
  TABSFieldDefs& fields = definitions.Fields();
  for (const std::string& name : drop_fields_) {
    if (fields.Find(name) == nullptr) throw EABSException(native::kDropFieldNotFound, {name});
    for (int32_t i = 0; i < definitions.Indexes().Count(); ++i) {
      const TABSIndexDef& index = *definitions.Indexes().Items(i);
      const auto uses = [&](const TABSIndexColumn& column) { return SameObjectName(column.field_name, name); };
      if (std::any_of(index.Columns().begin(), index.Columns().end(), uses)) {
        throw EABSException(native::kDropIndexedColumn, {name, index.Name()});
      }
    }
  }
  for (const std::string& name : drop_fields_) {
    const int32_t at = fields.IndexOfName(name);
    // A name listed twice is gone already.
    if (at < 0) continue;
    if (fields.Count() == 1) throw EABSException(native::kDropLastColumn, {table_name_});
    RemoveFieldConstraints(definitions.Constraints(), fields.Items(at)->Name());
    fields.Delete(at);
  }
}

void TABSDDLAlterTable::AddIndexes(TABSTableMetadata& definitions) const {
  const bool declares_primary =
      std::any_of(indexes_.begin(), indexes_.end(), [](const TABSDDLIndex& index) { return index.primary; });
  if (declares_primary) {
    for (int32_t i = 0; i < definitions.Indexes().Count(); ++i) {
      if (definitions.Indexes().Items(i)->Primary()) {
        definitions.DropIndex(definitions.Indexes().Items(i)->ObjectId());
        break;
      }
    }
  }
  AddDeclaredIndexes(indexes_, definitions);
}

}  // namespace kelvorin
