#include "db/tables/records/record_map.h"

#include <cstring>

#include "db/storage/blobs/blob_manager.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/streams/memory_stream.h"
#include "db/tables/metadata/meta_object_def.h"
#include "db/tables/records/table_data.h"
#include "db/tables/values/field_types.h"
#include "db/tables/values/value_convert.h"
#include "db/tables/values/value_errors.h"

namespace kelvorin {
namespace {

bool IsTextStorage(TABSStorageType type) {
  return IsStringStorage(type) || type == TABSStorageType::Memo || type == TABSStorageType::WideMemo;
}

bool IsWideText(TABSStorageType type) { return IsWideStringStorage(type) || type == TABSStorageType::WideMemo; }

[[noreturn]] void CannotConvert(TABSStorageType from, TABSStorageType to) {
  throw EABSException(native::kConversionUnsupported, {StorageTypeName(from), StorageTypeName(to)});
}

// A BLOB-like value as a value of the values layer: text for MEMO and
// WIDEMEMO; a BLOB converts to nothing else.
TABSVariant BlobAsValue(TABSMemoryStream& bytes, TABSStorageType from, TABSStorageType to) {
  if (!IsTextStorage(from) || !IsTextStorage(to)) CannotConvert(from, to);
  TABSVariant value;
  const auto* data = bytes.Memory();
  const size_t size = static_cast<size_t>(bytes.Size());
  if (from == TABSStorageType::WideMemo) {
    std::u16string text(size / 2, u'\0');
    if (size >= 2) std::memcpy(text.data(), data, text.size() * 2);
    value.SetWideString(text);
  } else {
    value.SetString(std::string_view(reinterpret_cast<const char*>(data), size));
  }
  return value;
}

// Raises when the value in its new type no longer means what it did: a
// fraction rounded away, a number or a word read as a truth value, a time
// of day dropped. Text shows a value as the values layer writes it out (a
// value cut short raises when it is set); a text read as a truth value must
// say one.
void CheckValueKept(const TABSVariant& value, TABSStorageType from_type, TABSTableData& destination,
                    int32_t field, const uint8_t* record) {
  const TABSStorageType to_type = destination.RecordFields().Field(field).storage_type;
  if (IsStringStorage(to_type) || to_type == from_type) return;
  // Between integer types a value moves whole or the conversion raises.
  if (IsIntegerStorage(from_type) && IsIntegerStorage(to_type)) return;
  bool kept = true;
  if (IsStringStorage(from_type)) {
    if (to_type != TABSStorageType::Logical) return;
    kept = TextNamesTruthValue(value.AsString());
  } else {
    TABSVariant back;
    destination.FieldManager().GetFieldValue(field, back, record);
    try {
      back.ConvertTo(from_type);
      kept = back.Compare(value, true) == kCompareEqual;
    } catch (const EABSException&) {
      kept = false;
    }
  }
  if (!kept) throw EABSException(native::kConversionFailed, {StorageTypeName(from_type), StorageTypeName(to_type)});
}

}  // namespace

TABSRecordMap::TABSRecordMap(const TABSFieldDefs& source, const TABSFieldDefs& destination)
    : source_of_(static_cast<size_t>(destination.Count()), -1) {
  for (int32_t to = 0; to < destination.Count(); ++to) {
    const TABSFieldDef& target = *destination.Items(to);
    for (int32_t from = 0; from < source.Count(); ++from) {
      const TABSFieldDef& origin = *source.Items(from);
      if (!SameObjectName(origin.Name(), target.Name())) continue;
      Kind kind = Kind::kValue;
      if (origin.StorageType() == target.StorageType()) {
        if (IsBlobStorage(target.StorageType())) {
          kind = Kind::kBlob;
        } else if (origin.StoredSize() == target.StoredSize() && origin.MemorySize() == target.MemorySize()) {
          kind = Kind::kBytes;
        }
      }
      pairs_.push_back({from, to, kind});
      source_of_[static_cast<size_t>(to)] = from;
      break;
    }
  }
}

void TABSRecordMap::Copy(TABSTableData& source, int32_t session, uint8_t* from, TABSTableData& destination,
                         uint8_t* to, const FieldError& on_error) const {
  for (const Pair& pair : pairs_) {
    if (!on_error) {
      CopyField(pair, source, session, from, destination, to);
      continue;
    }
    try {
      CopyField(pair, source, session, from, destination, to);
    } catch (const std::exception& error) {
      destination.FieldManager().SetFieldData(pair.to, nullptr, to);
      on_error(destination.Metadata().Fields().Items(pair.to)->Name(), error);
    }
  }
}

void TABSRecordMap::CopyField(const Pair& pair, TABSTableData& source, int32_t session, uint8_t* from,
                              TABSTableData& destination, uint8_t* to) const {
  const TABSRecordFields& in = source.RecordFields();
  const TABSRecordFields& out = destination.RecordFields();
  const bool null = TABSRecordFields::IsNull(from, pair.from);
  const TABSStorageType from_type = in.Field(pair.from).storage_type;
  const TABSStorageType to_type = out.Field(pair.to).storage_type;
  if (null) {
    // NULL stays NULL whatever the types.
    if (!IsBlobStorage(to_type)) TABSRecordFields::SetNull(to, pair.to, true);
    return;
  }
  switch (pair.kind) {
    case Kind::kBytes:
      std::memcpy(out.Slot(to, pair.to), in.Slot(from, pair.from), static_cast<size_t>(out.Field(pair.to).memory_size));
      TABSRecordFields::SetNull(to, pair.to, false);
      return;
    case Kind::kBlob:
    case Kind::kValue:
      break;
  }
  if (IsBlobStorage(from_type)) {
    TABSMemoryStream bytes;
    source.BlobManager()->ReadValue(session, from, pair.from, bytes);
    if (pair.kind == Kind::kBlob) {
      destination.BlobManager()->WriteValue(to, pair.to, bytes.Memory(), bytes.Size());
      return;
    }
    const TABSVariant value = BlobAsValue(bytes, from_type, to_type);
    if (IsBlobStorage(to_type)) {
      // MEMO and WIDEMEMO into each other.
      const std::u16string wide = IsWideText(to_type) ? value.AsWideString() : std::u16string();
      const std::string ansi = IsWideText(to_type) ? std::string() : value.AsString();
      if (IsWideText(to_type)) {
        destination.BlobManager()->WriteValue(to, pair.to, wide.data(), static_cast<int64_t>(wide.size() * 2));
      } else {
        destination.BlobManager()->WriteValue(to, pair.to, ansi.data(), static_cast<int64_t>(ansi.size()));
      }
      return;
    }
    destination.FieldManager().SetFieldValue(pair.to, value, to);
    return;
  }
  TABSVariant value;
  source.FieldManager().GetFieldValue(pair.from, value, from);
  if (IsBlobStorage(to_type)) {
    if (!IsTextStorage(from_type) || !IsTextStorage(to_type)) CannotConvert(from_type, to_type);
    if (IsWideText(to_type)) {
      const std::u16string wide = value.AsWideString();
      destination.BlobManager()->WriteValue(to, pair.to, wide.data(), static_cast<int64_t>(wide.size() * 2));
    } else {
      const std::string ansi = value.AsString();
      destination.BlobManager()->WriteValue(to, pair.to, ansi.data(), static_cast<int64_t>(ansi.size()));
    }
    return;
  }
  destination.FieldManager().SetFieldValue(pair.to, value, to);
  CheckValueKept(value, from_type, destination, pair.to, to);
}

}  // namespace kelvorin
