// Declared columns and indexes into the engine's definitions, checked when
// the statement runs, before anything changes: a default must convert to
// its column's type, convert back unchanged and fit; value limits must
// convert alike and keep their order; auto-increment settings must agree
// and fit the column; a compression level must suit its algorithm; an
// index must name columns of the table and a name of its own.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/access/ddl/ddl_declarations.h"
#include "db/tables/metadata/table_metadata.h"

namespace kelvorin {

// Carries the written attributes of `column` into `field` (a new definition
// for CREATE and ADD, the table's own for MODIFY) and into the field's
// not-null and check constraints among `constraints`; attributes not
// written keep what the definition holds. Raises when the result is not
// valid.
void ApplyColumn(const TSQLFieldDef& column, TABSFieldDef& field, TABSConstraintDefs& constraints);

// The declared name, or "C_PK", "C_Unique" or "i" followed by "$" and each
// column's name.
std::string DeclaredIndexName(const TABSDDLIndex& index);

// Adds the declared indexes (and the constraints of primary and unique
// ones) to `definitions`, whose fields are complete.
void AddDeclaredIndexes(const std::vector<TABSDDLIndex>& indexes, TABSTableMetadata& definitions);

// The engine's definition of an index over `fields` (DESC and NOCASE per
// column).
std::unique_ptr<TABSIndexDef> MakeIndexDef(const std::string& name, const std::vector<TABSIndexField>& fields,
                                           bool unique, bool primary);

// Removes the not-null and check constraints of a field.
void RemoveFieldConstraints(TABSConstraintDefs& constraints, const std::string& field_name);

}  // namespace kelvorin
