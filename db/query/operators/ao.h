// TABSAO: the base of the relational operators a SELECT runs as. Each
// operator has columns that say where their values come from (a field of
// its table, a column of a child, or an expression over its own columns),
// pulls values down through them for its current row, and, unless it is a
// plain table, writes its rows into a result table of the "TEMP" database
// when it is executed; from then on it reads that table and its children
// are gone. Rows are ordered in memory while the one temporary-storage
// budget grants room, and beyond it as sorted runs in temporary tables that
// are merged; an ordered input of another operator that fits stays in
// memory instead of going to a table.
//
// The statement layer builds a tree (children first), gives the top its
// projection and sort order, pushes the conditions down, executes the top
// and reads the top's result.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/access/local/local_session.h"
#include "db/query/expressions/expr_sources.h"
#include "db/query/operators/row_table.h"
#include "db/query/parser/expression.h"

namespace kelvorin {

class TABSAO;
class TABSBudgetShare;
class TABSRecordArray;
// Rows gathered in memory as memory records of one size, in the chunks of
// a record array: memory grows a chunk at a time and is kept for the next
// run, so the budget share counts the chunks held, not only the rows.
class TABSAORecords {
 public:
  TABSAORecords();
  ~TABSAORecords();
  TABSAORecords(TABSAORecords&&) noexcept;
  TABSAORecords& operator=(TABSAORecords&&) noexcept;

  void SetRecordSize(size_t size);
  size_t RecordSize() const;
  size_t Count() const { return count_; }
  const uint8_t* Record(size_t i) const;
  uint8_t* Record(size_t i);
  bool HasRoom() const;
  // The records the next Grow adds room for.
  int64_t GrowthRecords() const;
  void Grow();
  void Append(const uint8_t* record);
  // Forgets the records but keeps the memory for the next ones.
  void Clear() { count_ = 0; }
  // Frees the chunks no record uses; returns the room freed, in records.
  int64_t Trim();

 private:
  std::unique_ptr<TABSRecordArray> array_;
  size_t count_ = 0;
};

// A sort's rows: sorted runs written to tables, and the last rows in
// memory (records, their order, their part of the budget).
struct TABSAOSortRuns {
  std::vector<std::unique_ptr<TABSRowTable>> tables;
  TABSAORecords records;
  std::vector<const uint8_t*> order;
  std::unique_ptr<TABSBudgetShare> share;
  ~TABSAOSortRuns();
};

// Materialized rows kept in memory as records of the result table's
// layout, in their order, with their part of the temporary budget.
struct TABSAOMemoryRows {
  TABSAORecords records;
  std::vector<const uint8_t*> order;
  size_t at = 0;
  std::unique_ptr<TABSBudgetShare> share;
  ~TABSAOMemoryRows();
};

// What the operators of one statement share: the session of the "TEMP"
// database their results live in, and a hook called at every row and step
// (the statement's cancel check; tests inject failures through it).
class TABSAOEnv {
 public:
  TABSAOEnv();
  ~TABSAOEnv();
  TABSLocalSession& TempSession() { return temp_session_; }
  // Called once per row an operator reads or writes, and at each step of
  // an execution; it may raise to abort the statement.
  std::function<void(std::string_view step)> on_step;
  void Step(std::string_view step) {
    if (on_step) on_step(step);
  }

 private:
  TABSLocalSession temp_session_;
};

// A (qualifier, name) pair: GROUP BY entries, join keys, CORRESPONDING lists.
struct TABSAOField {
  std::string table_name;
  std::string field_name;
};
using TABSFields = std::vector<TABSAOField>;

// One item of a select list as the operators take it.
struct TABSSelectListItem {
  std::string table_name;
  bool all_fields = false;  // t.* (or * with an empty field name)
  std::string field_name;
  bool is_expression = false;
  std::unique_ptr<TABSExpression> expression;
  std::string alias;
  // Set when an operator below already computes the item (a grouping
  // operator's aggregate): that operator's column number.
  int32_t column_no = -1;
};

// One column of an operator.
struct TABSFieldLink {
  std::string name;
  std::string display_name;
  // The name of the field in its table: a qualified reference finds the
  // column under it after the name was made unique.
  std::string base_name;
  // The table and the alias the column came from (a qualifier names either).
  std::string qualifier;
  std::string alias;
  TABSColumnType data_type = TABSColumnType::None;
  int32_t size = 0;
  int32_t precision = 0;
  // Where the value comes from: the operator's own table (field_no), a
  // child (source_ao, source_no), or an expression.
  bool from_table = false;
  TABSAO* source_ao = nullptr;
  int32_t source_no = -1;
  int32_t side = -1;  // 0 left child, 1 right child
  bool hidden = true;
  bool is_aggregated = false;
  // Made by a projection (an expression item): a column of the same name
  // that comes from a table wins over it.
  bool computed = false;
  // The second copy of a column that USING or NATURAL joined on: only a
  // qualified name finds it, so the bare name means the joined column.
  bool shadowed = false;
  std::shared_ptr<TABSExpression> expression;
};

class TABSAO : public TABSExprOperator {
 public:
  ~TABSAO() override;
  TABSAO(const TABSAO&) = delete;
  TABSAO& operator=(const TABSAO&) = delete;

  const std::shared_ptr<TABSAOEnv>& Env() const { return env_; }
  TABSAO* Left() const { return left_.get(); }
  TABSAO* Right() const { return right_.get(); }
  const std::string& TableName() const { return table_name_; }
  const std::string& Alias() const { return alias_; }
  virtual bool IsTable() const { return false; }
  virtual bool IsOuterJoin() const { return false; }

  const std::vector<TABSFieldLink>& Columns() const { return columns_; }
  int32_t ColumnCount() const { return static_cast<int32_t>(columns_.size()); }
  const std::vector<int32_t>& Projection() const { return projection_; }

  // The condition rows must meet here; another one is joined with AND.
  TABSExpression* Condition() const { return condition_.get(); }
  void AddCondition(std::unique_ptr<TABSExprNode> node);

  // TOP: at most max_rows rows (-1: all) from the first_row-th on (1-based),
  // counted over the rows that passed the condition and DISTINCT.
  int64_t MaxRows() const { return max_rows_; }
  int64_t FirstRow() const { return first_row_; }
  void SetTop(int64_t max_rows, int64_t first_row) {
    max_rows_ = max_rows;
    first_row_ = first_row < 1 ? 1 : first_row;
  }
  bool Distinct() const { return distinct_; }

  // --- Rows ---
  void First();
  void Next();
  bool Eof();
  int64_t RecordCount();
  // Where the operator stands among its materialized rows, to come back to.
  struct Position {
    TABSRowReader::Mark mark;
    size_t at = 0;
  };
  Position SavePosition() const;
  void RestorePosition(const Position& position);
  // Calls `row` on each row in turn until it returns false (a faster walk
  // than First/Next where the operator has one).
  void Rows(const std::function<bool()>& row);
  bool Materialized() const { return result_ != nullptr; }
  // Whether the materialized rows are held in memory (an input of another
  // operator that fitted the budget) rather than in the result table.
  bool RowsInMemory() const { return memory_ != nullptr; }

  // --- Columns and output ---
  // Appends the numbers of the columns matching qualifier and name (name
  // "*": every column); returns how many matched.
  virtual int32_t FindColumns(std::string_view qualifier, std::string_view name, std::vector<int32_t>* out) const;
  void MakeColumnNamesUnique();
  // Applies a select list (empty: every column) and DISTINCT. Expression
  // items are moved into the operator.
  virtual void SetProjection(std::vector<TABSSelectListItem>& items, bool distinct);
  // Output order: names of output columns; matched ignoring case.
  void SetSortOrder(const std::vector<std::string>& fields, const std::vector<std::string>& descending,
                    const std::vector<std::string>& no_case);
  const std::vector<int32_t>& SortColumns() const { return sort_columns_; }
  const std::vector<bool>& SortDescending() const { return sort_descending_; }
  // The same by output column numbers.
  void SetSortColumns(const std::vector<int32_t>& columns, const std::vector<bool>& descending,
                      const std::vector<bool>& no_case);
  // Gives a column the type and size its values are written with.
  void SetColumnType(int32_t column, TABSColumnType type, int32_t size);
  // The columns the operator delivers, in order, and their names (display
  // names made unique).
  std::vector<int32_t> OutputColumns() const;
  std::vector<std::string> OutputNames() const;

  // --- Execution ---
  // Executes the tree below and this operator. The top operator always
  // ends with a result table of exactly its output columns, named by
  // their display names (made unique), in the sort order.
  void Execute(bool is_top);
  // The result table (after Execute); none for a plain table that was not
  // materialized.
  TABSRowTable* Result() const { return result_.get(); }

  // --- TABSExprOperator ---
  int32_t MatchColumns(std::string_view qualifier, std::string_view name, int32_t* first) const override;
  TABSColumnType ColumnType(int32_t column) const override;
  int32_t ColumnSize(int32_t column) const override;
  void GetColumnValue(int32_t column, TABSVariant* value) override;
  bool IsGrouping() const override { return false; }

 protected:
  explicit TABSAO(std::shared_ptr<TABSAOEnv> env);
  TABSAO(std::unique_ptr<TABSAO> left, std::unique_ptr<TABSAO> right);

  // Calls `row` for each of the operator's rows (before materialization)
  // until it returns false; by default through OwnFirst/OwnNext/OwnEof.
  virtual void ForEachRow(const std::function<bool()>& row);
  // Operator-specific iteration (before materialization).
  virtual void OwnFirst() = 0;
  virtual void OwnNext() = 0;
  virtual bool OwnEof() = 0;
  virtual int64_t OwnRecordCount();
  // A column's value from this operator's own sources.
  virtual void OwnValue(const TABSFieldLink& link, int32_t column, TABSVariant* value);
  // Runs before the rows are written: children executed, orders prepared.
  virtual void Prepare() {}
  // Whether the operator's rows need writing out even when it is not the
  // top (anything but a plain table).
  virtual bool MustMaterialize() const { return true; }
  // Whether the operator's own iteration already applies its condition.
  virtual bool FiltersOwnRows() const { return false; }
  // Whether the columns of a child side read as NULL in the current row.
  virtual bool SideIsNull(int32_t /*side*/) const { return false; }

  // Appends columns copying every column of `child` (hidden), linked to it.
  void CopyColumnsOf(TABSAO& child, int32_t side);
  // Writes the rows into a new result table and reads from it afterwards.
  void Materialize(bool is_top);
  // Turns a result table into this operator's rows.
  void AdoptResult(std::unique_ptr<TABSRowTable> table, const std::vector<int32_t>& output, bool is_top);
  // Result columns for the output columns.
  std::vector<TABSRowColumn> ResultColumns(const std::vector<int32_t>& output, bool is_top) const;
  bool PassesCondition();
  void ReleaseChildren();
  void ShowMemoryRow();
  // Appends the column an expression item computes; the item then names it.
  int32_t AddExpressionColumn(TABSSelectListItem& item);
  // BLOB-like values are no keys of sorts, groups, DISTINCT or joins.
  void RefuseBlobKey(int32_t column, std::string_view use) const;
  void WriteRow(TABSRowTable& table, const std::vector<int32_t>& output);
  // The rows that pass (when `check`), skipping `skip` of them, at most
  // `limit` (-1: all).
  void WriteRows(TABSRowTable& table, const std::vector<int32_t>& output, bool check, int64_t skip, int64_t limit);
  // Collects the rows in memory while the budget share grows; when it is
  // refused, writes them and every later row to `spill` and returns false.
  // Orders records of the table's layout (stable).
  static void SortRecords(const TABSRowTable& table, const std::vector<int32_t>& order,
                          const std::vector<bool>& descending, const std::vector<bool>& no_case,
                          std::vector<const uint8_t*>* records);
  // The rows as memory records of `table`, sorted: in memory while the
  // budget share grows, beyond it also in sorted runs written to tables.
  void GatherRuns(const std::vector<int32_t>& output, bool check, TABSRowTable& table,
                  const std::vector<int32_t>& order, const std::vector<bool>& descending,
                  const std::vector<bool>& no_case, TABSAOSortRuns* runs);
  // Merges the runs into `table`, skipping `skip` rows, at most `limit`,
  // with `distinct` a row equal to the one before it left out.
  void WriteRun(TABSRowTable& table, const std::vector<int32_t>& order, const std::vector<bool>& descending,
                const std::vector<bool>& no_case, TABSAOSortRuns* runs);
  void WriteMerged(TABSAOSortRuns& runs, TABSRowTable& table, const std::vector<int32_t>& order,
                   const std::vector<bool>& descending, const std::vector<bool>& no_case, int64_t skip,
                   int64_t limit, bool distinct);
  // TOP n ORDER BY: the n best rows kept in memory while reading once.
  void WriteTopRows(TABSRowTable& table, const std::vector<int32_t>& output,
                    const std::vector<int32_t>& sort_positions, bool check);

  std::shared_ptr<TABSAOEnv> env_;
  std::unique_ptr<TABSAO> left_;
  std::unique_ptr<TABSAO> right_;
  std::string table_name_;
  std::string alias_;
  std::vector<TABSFieldLink> columns_;
  std::vector<int32_t> projection_;
  std::vector<std::string> projection_names_;
  bool projection_set_ = false;
  std::unique_ptr<TABSExpression> condition_;
  TABSVariant value_;
  int64_t max_rows_ = -1;
  int64_t first_row_ = 1;
  bool distinct_ = false;
  std::vector<int32_t> sort_columns_;
  std::vector<bool> sort_descending_;
  std::vector<bool> sort_no_case_;
  std::unique_ptr<TABSRowTable> result_;
  std::unique_ptr<TABSAOMemoryRows> memory_;
  // The reader the columns marked from_table read: the base table's or the
  // result table's.
  TABSRowReader* rows_ = nullptr;
  bool executed_ = false;
};

}  // namespace kelvorin
