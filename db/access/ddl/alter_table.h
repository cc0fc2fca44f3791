// ALTER TABLE [MEMORY] name ADD (items) | MODIFY (items) | DROP (names) |
// DROP COLUMN names | RENAME [COLUMN] old TO new | RENAME TO new, and
// RENAME [TABLE] old TO new. Adding, dropping and modifying columns
// rebuild the table atomically from edited definitions: the table is
// either wholly as before or wholly changed, and a value that would not
// keep its value in the new definition fails the statement.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/access/ddl/ddl_statement.h"

namespace kelvorin {

class TABSTableMetadata;

class TABSDDLAlterTable : public TABSDDLTableManipulation {
 public:
  enum TAlterType : uint8_t { kAddColumns = 0, kDropColumns = 1, kModifyColumns = 2, kRenameColumn = 3, kRenameTable = 4 };

  using TABSDDLTableManipulation::TABSDDLTableManipulation;
  void Parse() override;
  void Execute(bool open, bool* read_only, bool request_live) override;

  TAlterType AlterType() const { return alter_type_; }
  const std::vector<std::string>& DropFields() const { return drop_fields_; }
  const std::vector<std::string>& RenameFrom() const { return rename_from_; }
  const std::vector<std::string>& RenameTo() const { return rename_to_; }
  const std::string& NewTableName() const { return new_table_name_; }

 protected:
  // With the cursor on RENAME.
  void ParseRename();

  TAlterType alter_type_ = kAddColumns;
  std::vector<std::string> drop_fields_;
  std::vector<std::string> rename_from_;
  std::vector<std::string> rename_to_;
  std::string new_table_name_;

 private:
  void RenameColumns(TABSLocalSession& session) const;
  void Restructure(TABSLocalSession& session) const;
  void EditDefinitions(TABSTableMetadata& definitions) const;
  void AddColumns(TABSTableMetadata& definitions) const;
  void ModifyColumns(TABSTableMetadata& definitions) const;
  void DropColumns(TABSTableMetadata& definitions) const;
  // The primary index goes only when the statement declares another.
  void AddIndexes(TABSTableMetadata& definitions) const;
};

class TABSDDLRenameTable : public TABSDDLAlterTable {
 public:
  using TABSDDLAlterTable::TABSDDLAlterTable;
  void Parse() override;
};

}  // namespace kelvorin
