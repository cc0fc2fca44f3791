// What expression nodes read from the world around them. Each interface is
// the narrow face of a layer built elsewhere (the table cursor, the
// relational operators, the table objects, the system clock); tests give
// fakes. Nodes borrow them: the owner keeps a source alive for as long as a
// tree bound to it is evaluated.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "db/tables/metadata/meta_object_defs.h"
#include "db/tables/values/abs_variant.h"

namespace kelvorin {

// A table cursor as seen by filters and Locate: field definitions with their
// memory-record layout (offsets, sizes, null bitmap of ceil(count / 8)
// bytes, bit set = NULL), and the memory record of the current row.
class TABSExprFieldSource {
 public:
  virtual ~TABSExprFieldSource() = default;
  virtual const TABSFieldDefs& FieldDefs() const = 0;
  // The buffer field nodes read when nobody binds another record to them;
  // nullptr when the cursor has none.
  virtual const uint8_t* CurrentRecord() const = 0;
};

// A relational operator as seen by SQL expressions: named result columns and
// the values of its current row.
class TABSExprOperator {
 public:
  virtual ~TABSExprOperator() = default;
  // How many columns match the qualifier (empty: any table) and the name,
  // compared without regard to case; *first gets the first one's number.
  virtual int32_t MatchColumns(std::string_view qualifier, std::string_view name,
                               int32_t* first) const = 0;
  virtual TABSColumnType ColumnType(int32_t column) const = 0;
  // Declared size of a string column (0 for other types).
  virtual int32_t ColumnSize(int32_t column) const = 0;
  // The column's value in the current row (the value may point into the
  // operator's buffers until the operator moves).
  virtual void GetColumnValue(int32_t column, TABSVariant* value) = 0;
  // Whether the operator forms groups, the only place aggregates evaluate.
  virtual bool IsGrouping() const = 0;
};

// A table opened read-only for LASTAUTOINC; closed when destroyed.
class TABSAutoIncTable {
 public:
  virtual ~TABSAutoIncTable() = default;
  virtual const TABSFieldDefs& FieldDefs() const = 0;
  // The last auto-increment value handed out for the field.
  virtual int64_t LastAutoIncValue(int32_t field_no) = 0;
};

// Opens tables for LASTAUTOINC; raises the table layer's errors (a missing
// table, a locked file).
class TABSAutoIncProvider {
 public:
  virtual ~TABSAutoIncProvider() = default;
  virtual std::unique_ptr<TABSAutoIncTable> OpenTable(std::string_view database_name,
                                                      std::string_view table_name,
                                                      bool in_memory) = 0;
};

// The current local date and time as a calendar date-time value (days since
// 1899-12-30 plus the fraction of the day).
class TABSExprClock {
 public:
  virtual ~TABSExprClock() = default;
  virtual double Now() const = 0;
};
// The system's clock in local time.
const TABSExprClock& SystemClock();

// One item of a SELECT list as alias resolution sees it.
struct TABSSelectAlias {
  std::string alias;
  // A plain column reference (only those are resolved) and its names.
  bool is_column = false;
  std::string table_name;
  std::string field_name;
};

}  // namespace kelvorin
