#include "db/access/query/select_into.h"

#include "db/access/table/hidden_table.h"
#include "db/query/operators/row_table.h"

namespace kelvorin {

int64_t CopyIntoNewTable(TABSLocalSession& session, const std::string& table_name, TABSLocalCursor& rows) {
  TABSTableMetadata definitions;
  CopyDefinitions(rows.OpenTable().Metadata(), definitions);
  TABSHiddenTable hidden(session, definitions, table_name);
  const int32_t columns = definitions.Fields().Count();
  TABSRowReader reader(rows);
  TABSVariant value;
  for (reader.First(); !reader.Eof(); reader.Next()) {
    uint8_t* record = hidden.NewRecord();
    for (int32_t i = 0; i < columns; ++i) {
      reader.Value(i, &value);
      if (!value.IsNull()) hidden.Table().FieldManager().SetFieldValue(i, value, record);
    }
    hidden.Append();
  }
  hidden.Finish();
  hidden.TakeName({});
  return hidden.Count();
}

}  // namespace kelvorin
