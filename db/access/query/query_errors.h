// Native error codes of the query dataset.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

inline constexpr std::string_view kTextNoSqlStatement = "No SQL statement available";
inline constexpr TABSNativeError kQueryPrepareOpen{30141, "Cannot perform this operation on an open dataset"};
inline constexpr TABSNativeError kQueryTextTooShort{30142, kTextNoSqlStatement};
inline constexpr TABSNativeError kQueryNoLines{20034, kTextNoSqlStatement};

// Codes of this layer that the original catalogue does not have.
inline constexpr TABSNativeError kQueryParamNotFound{10888, "Parameter '%s' not found"};
inline constexpr TABSNativeError kQueryLastStatementNoRows{
    10889, "The last statement of the query returns no rows: use ExecSQL to run it"};
inline constexpr TABSNativeError kQueryExecOpen{10890, "Cannot perform this operation on an open dataset"};

}  // namespace kelvorin::native
