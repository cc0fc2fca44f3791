// Names of the dataset variant kinds.
#include "db/tables/values/dataset_types.h"

namespace kelvorin {

std::string_view VarTypeName(TVarType type) {
  switch (type) {
    case varEmpty: return "Empty";
    case varNull: return "Null";
    case varSmallint: return "Smallint";
    case varInteger: return "Integer";
    case varSingle: return "Single";
    case varDouble: return "Double";
    case varCurrency: return "Currency";
    case varDate: return "Date";
    case varOleStr: return "OleStr";
    case varDispatch: return "Dispatch";
    case varError: return "Error";
    case varBoolean: return "Boolean";
    case varVariant: return "Variant";
    case varUnknown: return "Unknown";
    case varShortInt: return "ShortInt";
    case varByte: return "Byte";
    case varWord: return "Word";
    case varLongWord: return "LongWord";
    case varInt64: return "Int64";
    case varUInt64: return "UInt64";
    case varString: return "String";
    case varUString: return "UString";
    case varArray: return "Array";
  }
  return "Unknown";
}

}  // namespace kelvorin
