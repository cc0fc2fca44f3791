// TABSExpression: one expression tree and everything that reads it whole:
// the parse entry points (a search condition or a value from SQL tokens, a
// dataset filter from its text), the key expression of Locate, binding to a
// cursor, to a record or to a relational operator, and evaluation.
//
// The flags are copied into the comparisons the parser builds:
// CaseInsensitive (strings compared without regard to case), PartialKey (a
// string constant ending in '*' compares a prefix) and StrictNulls (a NULL
// operand makes a comparison false, <> true).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "db/query/expressions/expr_node.h"
#include "db/query/expressions/expr_sources.h"

namespace kelvorin {

class TABSLexer;

// What one parse did, for the tests of its cost: composite primaries
// (parenthesised values, aggregates, casts) parsed from their tokens, as
// opposed to taken from the memo of this parse.
struct TABSParseStatistics {
  int64_t primaries_parsed = 0;
  int64_t primaries_reused = 0;
  // Nodes made, those of abandoned alternatives included.
  int64_t nodes_made = 0;
};

class TABSExpression {
 public:
  TABSExpression();
  ~TABSExpression();
  TABSExpression(const TABSExpression&) = delete;
  TABSExpression& operator=(const TABSExpression&) = delete;

  bool CaseInsensitive() const { return case_insensitive_; }
  bool PartialKey() const { return partial_key_; }
  bool StrictNulls() const { return strict_nulls_; }
  bool InMemoryTables() const { return in_memory_tables_; }
  void SetCaseInsensitive(bool on) { case_insensitive_ = on; }
  void SetPartialKey(bool on) { partial_key_ = on; }
  void SetStrictNulls(bool on) { strict_nulls_ = on; }
  void SetInMemoryTables(bool on) { in_memory_tables_ = on; }
  const std::string& DatabaseName() const { return database_name_; }
  TABSExprFieldSource* Cursor() const { return cursor_; }
  // Tables for LASTAUTOINC (none: LASTAUTOINC is refused) and the clock of
  // the current-date functions (the system's by default).
  void SetAutoIncProvider(TABSAutoIncProvider* provider) { auto_inc_provider_ = provider; }
  TABSAutoIncProvider* AutoIncProvider() const { return auto_inc_provider_; }
  void SetClock(const TABSExprClock& clock) { clock_ = &clock; }
  const TABSExprClock& Clock() const { return *clock_; }

  // Parses a search condition from the lexer's current token; the lexer is
  // left after the condition. With a cursor set, fields are bound to it as
  // they are read and the tree is prepared. Every failure raises and leaves
  // the expression empty.
  void ParseCondition(TABSLexer& lexer);
  // Parses a value expression; the root stays absent when none could be read.
  void ParseValue(std::string_view database_name, TABSLexer& lexer);
  // A dataset filter: the first command of `text`, which must be one
  // condition and nothing more.
  void ParseForFilter(TABSExprFieldSource* cursor, std::string_view text, bool partial_key,
                      bool case_insensitive);
  // Locate's key: `field_names` separated by ';', one value each; NULL
  // matches NULL (StrictNulls off).
  void BuildLocate(TABSExprFieldSource* cursor, std::string_view field_names,
                   std::span<const TABSVariant> key_values, bool case_insensitive,
                   bool partial_key);
  const TABSParseStatistics& LastParseStatistics() const { return statistics_; }

  // The root's value, or nullptr without a root; a NULL becomes false
  // unless keep_null.
  const TABSVariant* GetValue(bool keep_null);
  // A NULL condition counts as false; raises 30110 without a root.
  bool GetBooleanValue();
  bool IsAggregated() const;
  void ResetAggregate();
  void Accumulate();
  TABSColumnType GetDataType();
  int32_t GetDataSize();
  int32_t GetPrecision();

  // Binds the fields to an operator's columns, then prepares. Aggregates
  // are refused where the statement does not group (VALUES, SET, WHERE) and
  // always when nested in another aggregate.
  void BindToAO(TABSExprOperator* op, bool aggregates_allowed = true);
  // Binds the fields to a cursor's fields (filters, Locate: no aggregates).
  void BindToCursor(TABSExprFieldSource* cursor);
  // The record the fields read until the next call; prepares once.
  void BindToRecord(const uint8_t* buffer);

  bool IsEmpty() const { return root_ == nullptr; }
  bool IsField() const;
  // The root field's qualifier and name; 30198 when the root is no field.
  void GetFieldName(std::string* table_name, std::string* field_name) const;
  void ResolveAliases(std::span<const TABSSelectAlias> select_list);

  TABSExprNode* RootNode() const { return root_.get(); }
  // Takes a tree built elsewhere (refused when deeper than the limit).
  void SetRootNode(std::unique_ptr<TABSExprNode> root);

 private:
  std::unique_ptr<TABSExprNode> ParseConditionTree(TABSLexer& lexer);
  // Raises when an aggregate stands where it cannot be computed.
  static void CheckAggregatesIn(const TABSExprNode& root, bool allowed);

  std::unique_ptr<TABSExprNode> root_;
  TABSExprFieldSource* cursor_ = nullptr;
  bool case_insensitive_ = true;
  bool partial_key_ = false;
  bool strict_nulls_ = true;
  bool in_memory_tables_ = false;
  bool prepared_ = false;
  std::string database_name_;
  TABSAutoIncProvider* auto_inc_provider_ = nullptr;
  const TABSExprClock* clock_;
  TABSVariant false_value_;
  TABSParseStatistics statistics_;
};

}  // namespace kelvorin
