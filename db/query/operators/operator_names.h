// Column names of operators made unique within a result (compared as engine
// names are, SameObjectName).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvorin {

// An empty name becomes "Expr"; a name equal to an earlier one gets "_1",
// and while it still clashes the next counter value is appended to it as
// it stands ("Expr_1", "Expr_12", ...). Names stay within 255 bytes: the
// base is cut to leave room for the suffix.
void MakeNamesUnique(std::vector<std::string>& names);

}  // namespace kelvorin
