#include "db/access/table/table_copy.h"

#include "db/access/table/record_copy.h"
#include "db/access/table/table.h"
#include "db/tables/records/table_data.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {

void CopyTableForCompact(TABSDatabase& source, TABSDatabase& destination, const std::string& table,
                         const TABSProgressRange& range, bool& continue_flag, std::string& error_text) {
  TABSTable from;
  from.SetDatabaseName(source.DatabaseName());
  from.SetSessionName(source.SessionName());
  from.SetTableName(table);
  from.SetReadOnly(true);
  from.Open();
  // The copy starts counting where the original stopped.
  TABSTableMetadata definitions;
  definitions.Fields().Assign(from.RestructureDefs().Fields());
  definitions.Indexes().Assign(from.RestructureDefs().Indexes());
  definitions.Constraints().Assign(from.RestructureDefs().Constraints());
  {
    TABSTableData& data = from.Cursor().OpenTable();
    const std::vector<int64_t>& counters = data.State().autoinc_values;
    for (int32_t i = 0; i < definitions.Fields().Count() && static_cast<size_t>(i) < counters.size(); ++i) {
      TABSFieldDef& field = *definitions.Fields().Items(i);
      if (!IsAutoIncColumn(field.ColumnType())) continue;
      field.SetAutoInc(field.AutoIncIncrement(), counters[static_cast<size_t>(i)], field.AutoIncMinimum(),
                       field.AutoIncMaximum(), field.AutoIncCycle());
    }
  }
  TABSTable to;
  to.SetDatabaseName(destination.DatabaseName());
  to.SetSessionName(destination.SessionName());
  to.SetTableName(table);
  to.AdvancedDefs().Fields().Assign(definitions.Fields());
  to.AdvancedDefs().Indexes().Assign(definitions.Indexes());
  to.AdvancedDefs().Constraints().Assign(definitions.Constraints());
  to.CreateTable();
  to.Open();
  TABSRecordCopyRequest request;
  request.progress_start = range.start;
  request.progress_end = range.end;
  if (range.report) {
    request.progress = [&range](TDataSet&, int32_t percent, bool& flag) { range.report(percent, flag); };
  }
  try {
    CopyRecords(from, to, request, continue_flag, error_text);
  } catch (...) {
    to.Close();
    throw;
  }
  to.Close();
  from.Close();
}

void RegisterTableCopier() { TABSDatabase::SetTableCopier(CopyTableForCompact); }

}  // namespace kelvorin
