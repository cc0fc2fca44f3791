#include "db/access/table/table_copy.h"

#include "db/access/table/hidden_table.h"
#include "db/access/table/stored_copy.h"

namespace kelvorin {

void CopyTableForCompact(TABSDatabase& source, TABSDatabase& destination, const std::string& table,
                         const TABSProgressRange& range, bool& continue_flag, std::string& error_text) {
  TABSCursorOptions options;
  options.read_only = true;
  TABSLocalCursor reader(source.Connection(), table, options);
  reader.Open();
  TABSTableMetadata definitions;
  CopyDefinitions(reader.OpenTable().Metadata(), definitions);
  TABSHiddenTable copy(destination.Connection(), definitions, table);
  const TABSRecordMap map(reader.OpenTable().Metadata().Fields(), copy.Table().Metadata().Fields());
  TABSStoredCopyRequest request;
  request.progress_start = range.start;
  request.progress_end = range.end;
  request.progress = range.report;
  TABSCopyMessages messages;
  const bool copied = CopyStoredRecords(reader, copy, map, request, continue_flag, messages);
  if (!copied) {
    error_text += messages.Text();
    return;
  }
  // The copy goes on counting where the original stopped, so that numbers
  // of deleted records are not handed out again.
  copy.TakeName(AutoIncFloors(reader.OpenTable(), copy.Table(), map));
}

void RegisterTableCopier() { TABSDatabase::SetTableCopier(CopyTableForCompact); }

}  // namespace kelvorin
