#include "db/tables/records/table_state.h"

#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/little_endian.h"
#include "db/tables/metadata/meta_object_defs.h"
#include "db/tables/records/table_data_errors.h"
#include "db/tables/values/field_types.h"

namespace kelvorin {

void TABSTableState::ResetAutoInc(const TABSFieldDefs& fields) {
  autoinc_values.assign(static_cast<size_t>(fields.Count()), 0);
  for (int32_t i = 0; i < fields.Count(); ++i) {
    const TABSFieldDef* field = fields.Items(i);
    if (IsAutoIncColumn(field->ColumnType())) autoinc_values[i] = field->AutoIncInitialValue();
  }
}

std::string TABSTableState::Encode() const {
  std::string block(4 + autoinc_values.size() * 8 + 8, '\0');
  uint8_t* out = reinterpret_cast<uint8_t*>(block.data());
  StoreLE(out, static_cast<int32_t>(autoinc_values.size()));
  out += 4;
  for (const int64_t value : autoinc_values) {
    StoreLE(out, value);
    out += 8;
  }
  StoreLE(out, change_counter);
  StoreLE(out + 4, static_cast<int32_t>(record_count));
  return block;
}

TABSTableState TABSTableState::Decode(std::string_view block, int32_t field_count) {
  if (static_cast<int64_t>(block.size()) > MaxBlockSize(field_count)) {
    throw EABSException(native::kInvalidTableHeaderData20164);
  }
  const auto* in = reinterpret_cast<const uint8_t*>(block.data());
  if (block.size() < 12 || LoadLE<int32_t>(in) != field_count ||
      block.size() != 4 + size_t(field_count) * 8 + 8) {
    throw EABSException(native::kInvalidTableState);
  }
  TABSTableState state;
  state.autoinc_values.resize(static_cast<size_t>(field_count));
  in += 4;
  for (int64_t& value : state.autoinc_values) {
    value = LoadLE<int64_t>(in);
    in += 8;
  }
  state.change_counter = LoadLE<int32_t>(in);
  const int32_t count = LoadLE<int32_t>(in + 4);
  if (count < 0) throw EABSException(native::kInvalidTableState);
  state.record_count = count;
  return state;
}

}  // namespace kelvorin
