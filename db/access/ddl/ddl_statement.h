// The statements that change the structure of the database share this
// base: the connection their table lives in, the refusal inside a
// transaction, and the grammar of table names, column lists (the column
// definitions, table keys and index declarations of CREATE TABLE and of
// ALTER TABLE ADD and MODIFY) and index column lists.
//
// Every statement must use up its command: a word the grammar does not
// know is an error at parse, never passed over.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/access/ddl/ddl_declarations.h"
#include "db/query/sql/sql_command.h"

namespace kelvorin {

class TABSLocalSession;

class TABSDDLStatement : public TABSSQLCommand {
 public:
  using TABSSQLCommand::TABSSQLCommand;

 protected:
  // The query's connection, or the memory database's for a MEMORY table.
  TABSLocalSession& SessionOf(bool in_memory) const;
  // A structure change is refused inside a transaction, before anything
  // changes.
  static void CheckNoTransaction(TABSLocalSession& session, std::string_view statement);
  // With the cursor on '(': index columns with their ASC, DESC, CASE and
  // NOCASE words, separated by commas; leaves the cursor after ')'. With
  // `password`, an item PASSWORD 'text' is read into it.
  std::vector<TABSIndexField> ParseIndexColumns(std::string* password = nullptr);
  // name {, name} from the current token (words, quoted or bracketed
  // strings); leaves the cursor after the last name.
  std::vector<std::string> ParseFieldNameList(const TABSNativeError& after_comma);
  // The name after the current token (TO); the command may not end there.
  // Leaves the cursor after the name.
  std::string ParseNameAfter(const TABSNativeError& not_a_name);
  // The current token as a signed 64-bit integer (a leading minus sign
  // allowed); leaves the cursor on its last token.
  int64_t ParseSignedInteger(const TABSNativeError& not_an_integer);
  // Raises the 30161 end-of-command error at the end of the command.
  void CheckNotAtEnd() const;
};

class TABSDDLTableManipulation : public TABSDDLStatement {
 public:
  using TABSDDLStatement::TABSDDLStatement;

  bool InMemory() const { return in_memory_; }
  const std::string& TableName() const { return table_name_; }
  const TSQLFieldDefs& FieldDefs() const { return field_defs_; }
  const std::vector<TABSDDLIndex>& Indexes() const { return indexes_; }

 protected:
  // [MEMORY] name from the current token; moves past it.
  void ParseTableName();
  // '(' item {',' item} ')' from the current token; moves past ')'.
  void ParseItemList();
  TABSLocalSession& TableSession() const { return SessionOf(in_memory_ || Context().in_memory); }

  bool in_memory_ = false;
  std::string table_name_;
  TSQLFieldDefs field_defs_;
  std::vector<TABSDDLIndex> indexes_;

 private:
  void ParseColumn();
  void ParseColumnSize(TSQLFieldDef& column);
  void ParseAutoIncOptions(TSQLFieldDef& column);
  void ParseAutoIncWidth(TSQLFieldDef& column);
  void ParseColumnOptions(TSQLFieldDef& column);
  void ParseDefault(TSQLFieldDef& column);
  void ParseBound(TABSVariant& bound);
  void ParseTablePrimaryKey();
  void ParseTableIndex();
  // [name] (index columns) from the current token; adds the index.
  void ParseNamedIndex(TABSDDLIndex index);
  void AddIndex(TABSDDLIndex index);
};

}  // namespace kelvorin
