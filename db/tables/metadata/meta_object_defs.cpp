#include "db/tables/metadata/meta_object_defs.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/metadata/metadata_errors.h"

namespace kelvorin {
namespace {

// "ASC" and "DESC" require a direction, "CASE" and "NO_CASE" a case option.
bool DirectionMatches(const std::string& direction, bool descending) {
  if (direction == "ASC") return !descending;
  if (direction == "DESC") return descending;
  return true;
}

bool CaseMatches(const std::string& option, bool case_insensitive) {
  if (option == "CASE") return !case_insensitive;
  if (option == "NO_CASE") return case_insensitive;
  return true;
}

}  // namespace

bool TABSMetaObjectDefs::Holds(const TABSMetaObjectDef&) const { return true; }

TABSMetaObjectDef* TABSMetaObjectDefs::Add(std::unique_ptr<TABSMetaObjectDef> def) {
  CheckHeld(def.get());
  items_.push_back(std::move(def));
  return items_.back().get();
}

std::unique_ptr<TABSMetaObjectDef> TABSMetaObjectDefs::NewDefinition() const {
  throw EABSException(native::kAddNewNotOverridden, {"InternalAddCreated", ClassName()});
}

TABSMetaObjectDef* TABSMetaObjectDefs::AddNew() { return Add(NewDefinition()); }

void TABSMetaObjectDefs::CopyItems(const TABSMetaObjectDefs& source,
                                   std::vector<std::unique_ptr<TABSMetaObjectDef>>* items) const {
  for (const auto& def : source.items_) {
    for (const auto& copied : *items) {
      if (SameObjectName(copied->Name(), def->Name())) {
        throw EABSException(native::kDuplicateDefinitionName, {def->Name()});
      }
    }
    std::unique_ptr<TABSMetaObjectDef> copy = NewDefinition();
    copy->Assign(*def);
    items->push_back(std::move(copy));
  }
}

void TABSMetaObjectDefs::Assign(const TABSMetaObjectDefs& source) {
  if (&source == this) return;
  std::vector<std::unique_ptr<TABSMetaObjectDef>> items;
  CopyItems(source, &items);
  items_ = std::move(items);
}

void TABSMetaObjectDefs::CheckHeld(const TABSMetaObjectDef* def) const {
  if (def == nullptr || !Holds(*def)) throw EABSException(native::kAssignOtherClass);
}

void TABSMetaObjectDefs::CheckIndex(int32_t index, int32_t limit) const {
  if (index < 0 || index >= limit) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  }
}

void TABSMetaObjectDefs::Delete(int32_t index) {
  CheckIndex(index, Count());
  items_.erase(items_.begin() + index);
}

void TABSMetaObjectDefs::Insert(int32_t index, std::unique_ptr<TABSMetaObjectDef> def) {
  CheckIndex(index, Count() + 1);
  CheckHeld(def.get());
  items_.insert(items_.begin() + index, std::move(def));
}

void TABSMetaObjectDefs::Move(int32_t from, int32_t to) {
  CheckIndex(from, Count());
  CheckIndex(to, Count());
  std::unique_ptr<TABSMetaObjectDef> moved = std::move(items_[static_cast<size_t>(from)]);
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + to, std::move(moved));
}

int32_t TABSMetaObjectDefs::IndexOfName(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (SameObjectName(items_[i]->Name(), name)) return static_cast<int32_t>(i);
  }
  return -1;
}

TABSMetaObjectDef* TABSMetaObjectDefs::FindByName(std::string_view name) const {
  int32_t i = IndexOfName(name);
  return i < 0 ? nullptr : items_[static_cast<size_t>(i)].get();
}

int32_t TABSMetaObjectDefs::IndexOfNumber(int32_t object_id) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->ObjectId() == object_id) return static_cast<int32_t>(i);
  }
  return -1;
}

TABSMetaObjectDef* TABSMetaObjectDefs::FindByNumber(int32_t object_id) const {
  int32_t i = IndexOfNumber(object_id);
  return i < 0 ? nullptr : items_[static_cast<size_t>(i)].get();
}

void TABSMetaObjectDefs::SaveToStream(TABSMetadataWriter& writer) const {
  writer.I32(Count());
  for (const auto& def : items_) def->SaveToStream(writer);
}

void TABSMetaObjectDefs::LoadFromStream(TABSMetadataReader& reader) {
  int32_t count = reader.Count(MinStoredEntrySize());
  std::vector<std::unique_ptr<TABSMetaObjectDef>> items;
  for (int32_t i = 0; i < count; ++i) {
    std::unique_ptr<TABSMetaObjectDef> def = NewDefinition();
    def->LoadFromStream(reader);
    items.push_back(std::move(def));
  }
  items_ = std::move(items);
}

std::unique_ptr<TABSMetaObjectDef> TABSFieldDefs::NewDefinition() const {
  return std::make_unique<TABSFieldDef>();
}

bool TABSFieldDefs::Holds(const TABSMetaObjectDef& def) const {
  return dynamic_cast<const TABSFieldDef*>(&def) != nullptr;
}

int32_t TABSFieldDefs::MinStoredEntrySize() const {
  // Header, types, declared size, auto-increment settings, a NULL default.
  return 1 + 4 + 2 + 4 + 4 * 8 + 1 + 2;
}

void TABSFieldDefs::ComputeLayout(int32_t* memory_record_size, int32_t* stored_record_size) {
  // Sizes come from definitions read from a file or SQL text: the sums are
  // taken in 64 bits, and a record beyond the 32-bit range gets the largest
  // size, which no page can hold.
  static constexpr int64_t kLargest = std::numeric_limits<int32_t>::max();
  const auto clamp = [](int64_t value) { return static_cast<int32_t>(std::min(value, kLargest)); };
  const int64_t bitmap = (int64_t{Count()} + 7) / 8;
  int64_t memory = bitmap;
  int64_t stored = bitmap;
  for (int32_t i = 0; i < Count(); ++i) {
    TABSFieldDef* field = Items(i);
    field->SetOffsets(clamp(stored), clamp(memory));
    memory += field->MemorySize();
    stored += field->StoredSize();
  }
  *memory_record_size = clamp(memory);
  *stored_record_size = clamp(stored);
}

std::unique_ptr<TABSMetaObjectDef> TABSIndexDefs::NewDefinition() const {
  return std::make_unique<TABSIndexDef>();
}

bool TABSIndexDefs::Holds(const TABSMetaObjectDef& def) const {
  return dynamic_cast<const TABSIndexDef*>(&def) != nullptr;
}

void TABSIndexDefs::SetItem(int32_t index, std::unique_ptr<TABSIndexDef> def) {
  CheckIndex(index, Count());
  CheckHeld(def.get());
  items_[static_cast<size_t>(index)] = std::move(def);
}

int32_t TABSIndexDefs::FindMatching(const std::vector<std::string>& field_names,
                                    const std::vector<std::string>& directions,
                                    const std::vector<std::string>& case_options,
                                    int32_t session_id) const {
  if (field_names.size() != directions.size()) {
    throw EABSException(native::kFindMatchingDirections, {field_names.size(), directions.size()});
  }
  if (field_names.size() != case_options.size()) {
    throw EABSException(native::kFindMatchingCases, {field_names.size(), case_options.size()});
  }
  for (int32_t i = 0; i < Count(); ++i) {
    const TABSIndexDef* index = Items(i);
    if (index->Temporary() && index->SessionId() != session_id) continue;
    const std::vector<TABSIndexColumn>& columns = index->Columns();
    if (columns.size() < field_names.size()) continue;
    bool matches = true;
    for (size_t k = 0; k < field_names.size() && matches; ++k) {
      matches = SameObjectName(columns[k].field_name, field_names[k]) &&
                DirectionMatches(directions[k], columns[k].descending) &&
                CaseMatches(case_options[k], columns[k].case_insensitive);
    }
    if (matches) return index->ObjectId();
  }
  return -1;
}

void TABSIndexDefs::SaveToStream(TABSMetadataWriter& writer) const {
  int32_t persistent = 0;
  for (int32_t i = 0; i < Count(); ++i) persistent += !Items(i)->Temporary();
  writer.I32(persistent);
  for (int32_t i = 0; i < Count(); ++i) {
    if (!Items(i)->Temporary()) Items(i)->SaveToStream(writer);
  }
}

bool TABSConstraintDefs::Holds(const TABSMetaObjectDef& def) const {
  return dynamic_cast<const TABSConstraintDef*>(&def) != nullptr;
}

void TABSConstraintDefs::CopyItems(const TABSMetaObjectDefs& source,
                                   std::vector<std::unique_ptr<TABSMetaObjectDef>>* items) const {
  // The source may be a list of another kind: each item is checked.
  for (int32_t i = 0; i < source.Count(); ++i) {
    const auto* def = dynamic_cast<const TABSConstraintDef*>(source.Item(i));
    if (def == nullptr) throw EABSException(native::kAssignOtherClass);
    std::unique_ptr<TABSConstraintDef> copy = TABSConstraintDef::Create(def->Kind());
    if (copy == nullptr) throw EABSException(native::kAssignUnknownConstraintKind);
    copy->Assign(*def);
    items->push_back(std::move(copy));
  }
}

void TABSConstraintDefs::SaveToStream(TABSMetadataWriter& writer) const {
  writer.I32(Count());
  for (int32_t i = 0; i < Count(); ++i) {
    writer.U8(Items(i)->Kind());
    Items(i)->SaveToStream(writer);
  }
}

void TABSConstraintDefs::LoadFromStream(TABSMetadataReader& reader) {
  int32_t count = reader.Count(MinStoredEntrySize());
  std::vector<std::unique_ptr<TABSMetaObjectDef>> items;
  for (int32_t i = 0; i < count; ++i) {
    uint8_t kind = reader.U8();
    std::unique_ptr<TABSConstraintDef> def = TABSConstraintDef::Create(kind);
    if (def == nullptr) throw EABSException(native::kLoadUnknownConstraintKind, {kind});
    def->LoadFromStream(reader);
    items.push_back(std::move(def));
  }
  items_ = std::move(items);
}

}  // namespace kelvorin
