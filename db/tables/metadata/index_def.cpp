#include "db/tables/metadata/index_def.h"

#include <utility>

namespace kelvorin {
namespace {

// Name length byte, no characters, two flags and the indexed size.
constexpr int32_t kMinStoredColumnSize = 1 + 1 + 1 + 4;

}  // namespace

void TABSIndexDef::Assign(const TABSMetaObjectDef& source) {
  if (&source == this) return;
  const TABSIndexDef& s = SameClass<TABSIndexDef>(source);
  std::vector<TABSIndexColumn> columns = s.columns_;
  TABSMetaObjectDef::Assign(s);
  kind_ = s.kind_;
  columns_ = std::move(columns);
  unique_ = s.unique_;
  primary_ = s.primary_;
  root_page_ = s.root_page_;
  temporary_ = s.temporary_;
  session_id_ = s.session_id_;
  change_counter_ = s.change_counter_;
}

void TABSIndexDef::SetColumns(const std::vector<std::string>& field_names,
                              const std::vector<std::string>& directions,
                              const std::vector<std::string>& case_options) {
  if (field_names.size() != directions.size()) {
    throw EABSException(native::kSetColumnsDirections, {field_names.size(), directions.size()});
  }
  if (field_names.size() != case_options.size()) {
    throw EABSException(native::kSetColumnsCases, {field_names.size(), case_options.size()});
  }
  std::vector<TABSIndexColumn> columns;
  for (size_t i = 0; i < field_names.size(); ++i) {
    TABSIndexColumn column;
    column.field_name = CutObjectName(field_names[i]);
    column.descending = directions[i] == "DESC";
    column.case_insensitive = case_options[i] == "NO_CASE";
    columns.push_back(std::move(column));
  }
  columns_ = std::move(columns);
}

void TABSIndexDef::SaveToStream(TABSMetadataWriter& writer) const {
  SaveHeader(writer);
  writer.U8(kind_);
  writer.Bool(unique_);
  writer.Bool(primary_);
  writer.I32(static_cast<int32_t>(columns_.size()));
  writer.I32(root_page_);
  for (const TABSIndexColumn& column : columns_) {
    writer.ShortName(column.field_name);
    writer.U8(column.descending ? 1 : 0);
    writer.U8(column.case_insensitive ? 1 : 0);
    writer.I32(column.max_indexed_size);
  }
}

void TABSIndexDef::LoadFromStream(TABSMetadataReader& reader) {
  LoadHeader(reader);
  kind_ = reader.U8();
  unique_ = reader.Bool();
  primary_ = reader.Bool();
  // The root page lies between the count and the columns.
  int32_t count = reader.I32();
  root_page_ = reader.I32();
  if (count < 0 || static_cast<int64_t>(count) * kMinStoredColumnSize > reader.Left()) {
    reader.Fail(static_cast<int64_t>(count) * kMinStoredColumnSize, reader.Left());
  }
  std::vector<TABSIndexColumn> columns(static_cast<size_t>(count));
  for (TABSIndexColumn& column : columns) {
    column.field_name = reader.ShortName();
    column.descending = reader.Bool();
    column.case_insensitive = reader.Bool();
    column.max_indexed_size = reader.I32();
  }
  columns_ = std::move(columns);
  temporary_ = false;
  session_id_ = -1;
}

}  // namespace kelvorin
