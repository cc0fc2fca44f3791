#include "db/tables/metadata/table_metadata.h"

#include <random>
#include <utility>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/metadata/metadata_errors.h"
#include "platform/locale_profile.h"

namespace kelvorin {
namespace {

constexpr uint32_t kMaxConstraintSuffix = 65534;
constexpr uint32_t kMaxTemporaryIndexNumber = 999999;
// Random draws before the free numbers are searched in order.
constexpr int kRandomTries = 1000;

class MersenneNameRandom : public TABSNameRandom {
 public:
  MersenneNameRandom() : engine_(std::random_device{}()) {}
  uint32_t Next(uint32_t max) override {
    return std::uniform_int_distribution<uint32_t>(0, max)(engine_);
  }

 private:
  std::mt19937 engine_;
};

// `base` followed by a number, cut so that the number always survives.
std::string WithSuffix(const std::string& base, uint32_t number) {
  std::string suffix = std::to_string(number);
  return base.substr(0, kMaxObjectNameLength - suffix.size()) + suffix;
}

// The first name made by `make` from a number 0..max that `used` rejects
// not: random numbers first, then all of them in order.
template <typename Make, typename Used>
bool FindFreeName(uint32_t max, TABSNameRandom& random, Make make, Used used, std::string* name) {
  for (int i = 0; i < kRandomTries; ++i) {
    *name = make(random.Next(max));
    if (!used(*name)) return true;
  }
  for (uint32_t n = 0; n <= max; ++n) {
    *name = make(n);
    if (!used(*name)) return true;
  }
  return false;
}

}  // namespace

TABSNameRandom& DefaultNameRandom() {
  static MersenneNameRandom random;
  return random;
}

std::string IndexConstraintName(const TABSIndexDef& index) {
  std::string name = index.Primary() ? "C_PK" : "C_Unique";
  for (const TABSIndexColumn& column : index.Columns()) name += "$" + column.field_name;
  return CutObjectName(name);
}

std::unique_ptr<TABSConstraintDef> ConstraintOfIndex(const TABSIndexDef& index) {
  std::unique_ptr<TABSConstraintDefUnique> constraint;
  if (index.Primary()) {
    constraint = std::make_unique<TABSConstraintDefPrimary>();
  } else if (index.Unique()) {
    constraint = std::make_unique<TABSConstraintDefUnique>();
  } else {
    return nullptr;
  }
  constraint->SetName(IndexConstraintName(index));
  constraint->SubjectPair() = {index.Name(), index.ObjectId()};
  for (const TABSIndexColumn& column : index.Columns()) {
    constraint->Columns().push_back({column.field_name, kNoObjectId});
  }
  return constraint;
}

void TABSTableMetadata::SaveToStream(TABSValueOutput& output) const {
  TABSMetadataWriter writer(output, native::kFieldSectionWrite);
  fields_.SaveToStream(writer);
  writer.SetSection(native::kIndexSectionWrite);
  indexes_.SaveToStream(writer);
  writer.SetSection(native::kConstraintSectionWrite);
  constraints_.SaveToStream(writer);
  if (record_manager_ != nullptr) record_manager_->SaveToStream(writer);
  if (blob_manager_ != nullptr) blob_manager_->SaveToStream(writer);
}

std::string TABSTableMetadata::MetadataBlock() const {
  std::string block;
  TABSStringValueOutput output(&block);
  SaveToStream(output);
  return block;
}

void TABSTableMetadata::LoadFromStream(TABSValueInput& input) {
  TABSMetadataReader reader(input, native::kFieldSectionRead);
  TABSFieldDefs fields;
  fields.LoadFromStream(reader);
  reader.SetSection(native::kIndexSectionRead);
  TABSIndexDefs indexes;
  indexes.LoadFromStream(reader);
  reader.SetSection(native::kConstraintSectionRead);
  TABSConstraintDefs constraints;
  constraints.LoadFromStream(reader);
  if (record_manager_ != nullptr) record_manager_->LoadFromStream(reader);
  if (blob_manager_ != nullptr) blob_manager_->LoadFromStream(reader);
  fields_.Swap(fields);
  indexes_.Swap(indexes);
  constraints_.Swap(constraints);
  ComputeLayout();
}

void TABSTableMetadata::DefineFields(const std::vector<TABSDatasetFieldDef>& fields) {
  for (const TABSDatasetFieldDef& source : fields) {
    auto field = std::make_unique<TABSFieldDef>();
    field->SetName(source.name);
    field->SetType(source.type, source.size);
    field->SetBlobSettings(source.blob_compression_algorithm, source.blob_compression_level,
                           source.blob_block_size);
    field->SetAutoInc(source.autoinc_increment, source.autoinc_initial, source.autoinc_minimum,
                      source.autoinc_maximum, source.autoinc_cycle);
    field->DefaultValue().Assign(source.default_value);
    fields_.Add(std::move(field));
  }
  for (const TABSDatasetFieldDef& source : fields) {
    if (source.required) {
      auto constraint = std::make_unique<TABSConstraintDefNotNull>();
      constraint->SubjectPair().name = CutObjectName(source.name);
      constraints_.Add(std::move(constraint));
    }
    if (!source.minimum.IsNull() || !source.maximum.IsNull()) {
      auto constraint = std::make_unique<TABSConstraintDefCheck>();
      constraint->SubjectPair().name = CutObjectName(source.name);
      constraint->Minimum().Assign(source.minimum);
      constraint->Maximum().Assign(source.maximum);
      constraints_.Add(std::move(constraint));
    }
  }
}

void TABSTableMetadata::DeriveIndexConstraints() {
  for (int32_t i = 0; i < indexes_.Count(); ++i) {
    std::unique_ptr<TABSConstraintDef> constraint = ConstraintOfIndex(*indexes_.Items(i));
    if (constraint != nullptr) constraints_.Add(std::move(constraint));
  }
}

void TABSTableMetadata::ResolveConstraint(TABSConstraintDef* constraint) {
  const std::string& subject = constraint->SubjectPair().name;
  switch (static_cast<TABSConstraintKind>(constraint->Kind())) {
    case TABSConstraintKind::kPrimaryKey:
    case TABSConstraintKind::kUnique: {
      bool primary = constraint->Kind() == static_cast<uint8_t>(TABSConstraintKind::kPrimaryKey);
      TABSIndexDef* index = indexes_.Find(subject);
      if (index == nullptr) {
        throw EABSException(primary ? native::kPrimaryIndexNotFound : native::kUniqueIndexNotFound,
                            {subject});
      }
      constraint->SubjectPair().number = index->ObjectId();
      for (TABSNameAndNumber& column : static_cast<TABSConstraintDefUnique*>(constraint)->Columns()) {
        TABSFieldDef* field = fields_.Find(column.name);
        if (field == nullptr) {
          throw EABSException(primary ? native::kPrimaryFieldNotFound : native::kUniqueFieldNotFound,
                              {column.name});
        }
        column.number = field->ObjectId();
      }
      break;
    }
    case TABSConstraintKind::kNotNull:
    case TABSConstraintKind::kCheck: {
      TABSFieldDef* field = fields_.Find(subject);
      if (field == nullptr) throw EABSException(native::kConstraintFieldNotFound, {subject});
      constraint->SubjectPair().number = field->ObjectId();
      break;
    }
  }
}

bool TABSTableMetadata::ConstraintNameUsed(std::string_view name) const {
  return constraints_.IndexOfName(name) >= 0;
}

std::string TABSTableMetadata::GeneratedName(const TABSConstraintDef& constraint,
                                             TABSNameRandom& random) const {
  bool not_null = constraint.Kind() == static_cast<uint8_t>(TABSConstraintKind::kNotNull);
  std::string base = std::string("$") + (not_null ? "C_NotNull" : "C_Check") + "$" +
                     constraint.TablePair().name + "$" + constraint.SubjectPair().name;
  std::string name = CutObjectName(base);
  if (!ConstraintNameUsed(name)) return name;
  auto make = [&](uint32_t n) { return WithSuffix(base, n); };
  auto used = [&](const std::string& candidate) { return ConstraintNameUsed(candidate); };
  if (!FindFreeName(kMaxConstraintSuffix, random, make, used, &name)) {
    throw EABSException(native::kGeneratedNameExhausted, {base});
  }
  return name;
}

void TABSTableMetadata::AttachConstraints(std::string_view table_name,
                                          const TABSObjectIdSource& next_id,
                                          TABSNameRandom& random) {
  for (int32_t i = 0; i < constraints_.Count(); ++i) {
    TABSConstraintDef* constraint = constraints_.Items(i);
    if (TABSConstraintDef::Create(constraint->Kind()) == nullptr) {
      throw EABSException(native::kAttachUnknownConstraintKind);
    }
    constraint->TablePair().name = CutObjectName(table_name);
    constraint->SetObjectId(next_id());
  }
  for (int32_t i = 0; i < constraints_.Count(); ++i) ResolveConstraint(constraints_.Items(i));
  for (int32_t i = 0; i < constraints_.Count(); ++i) {
    TABSConstraintDef* constraint = constraints_.Items(i);
    if (!constraint->Name().empty()) continue;
    uint8_t kind = constraint->Kind();
    if (kind != static_cast<uint8_t>(TABSConstraintKind::kNotNull) &&
        kind != static_cast<uint8_t>(TABSConstraintKind::kCheck)) {
      throw EABSException(native::kGeneratedNameUnknownKind);
    }
    constraint->SetName(GeneratedName(*constraint, random));
  }
}

std::string TABSTableMetadata::TemporaryIndexName(TABSNameRandom& random) const {
  std::string name;
  auto make = [](uint32_t n) { return std::string(kTemporaryIndexPrefix) + std::to_string(n); };
  auto used = [&](const std::string& candidate) { return indexes_.IndexOfName(candidate) >= 0; };
  if (!FindFreeName(kMaxTemporaryIndexNumber, random, make, used, &name)) {
    throw EABSException(native::kGeneratedNameExhausted, {kTemporaryIndexPrefix});
  }
  return name;
}

TABSIndexDef* TABSTableMetadata::AddTemporaryIndex(const std::vector<std::string>& field_names,
                                                   const std::vector<std::string>& directions,
                                                   const std::vector<std::string>& case_options,
                                                   int32_t session_id, int32_t change_counter,
                                                   const TABSObjectIdSource& next_id,
                                                   TABSNameRandom& random) {
  auto index = std::make_unique<TABSIndexDef>();
  index->SetName(TemporaryIndexName(random));
  index->SetTemporary(true);
  index->SetColumns(field_names, directions, case_options);
  index->SetSessionId(session_id);
  index->SetChangeCounter(change_counter);
  index->SetObjectId(next_id());
  return static_cast<TABSIndexDef*>(indexes_.Add(std::move(index)));
}

TABSIndexDef* TABSTableMetadata::AddIndex(std::unique_ptr<TABSIndexDef> index,
                                          std::string_view table_name,
                                          const TABSObjectIdSource& next_id,
                                          const std::function<void(TABSIndexDef&)>& build) {
  index->SetObjectId(next_id());
  auto* added = static_cast<TABSIndexDef*>(indexes_.Add(std::move(index)));
  try {
    if (build) build(*added);
  } catch (...) {
    indexes_.Delete(indexes_.Count() - 1);
    throw;
  }
  if (!added->Temporary()) {
    std::unique_ptr<TABSConstraintDef> constraint = ConstraintOfIndex(*added);
    if (constraint != nullptr) {
      constraint->TablePair().name = CutObjectName(table_name);
      constraint->SetObjectId(next_id());
      ResolveConstraint(constraint.get());
      constraints_.Add(std::move(constraint));
    }
  }
  return added;
}

bool TABSTableMetadata::DropIndex(int32_t object_id) {
  int32_t position = indexes_.IndexOfNumber(object_id);
  if (position < 0) return false;
  if (!indexes_.Items(position)->Temporary()) {
    for (int32_t i = 0; i < constraints_.Count(); ++i) {
      const TABSConstraintDef* c = constraints_.Items(i);
      bool keyed = c->Kind() == static_cast<uint8_t>(TABSConstraintKind::kPrimaryKey) ||
                   c->Kind() == static_cast<uint8_t>(TABSConstraintKind::kUnique);
      if (keyed && c->SubjectPair().number == object_id) {
        constraints_.Delete(i);
        break;
      }
    }
  }
  indexes_.Delete(position);
  return true;
}

void TABSTableMetadata::DropTemporaryIndexes() {
  for (int32_t i = indexes_.Count() - 1; i >= 0; --i) {
    if (indexes_.Items(i)->Temporary()) indexes_.Delete(i);
  }
}

void TABSTableMetadata::RenameField(std::string_view old_name, std::string_view new_name) {
  TABSFieldDef* field = fields_.Find(old_name);
  if (field == nullptr) throw EABSException(native::kRenameFieldNotFound, {old_name});
  // Compared as it will be stored, cut to the longest name a definition holds.
  TABSFieldDef* other = fields_.Find(CutObjectName(new_name));
  if (other != nullptr && other != field) {
    throw EABSException(native::kRenameFieldExists, {old_name, new_name});
  }
  const platform::LocaleProfile& locale = platform::CurrentLocale();
  std::string old_lower = locale.LowerAnsi(old_name);
  field->SetName(new_name);
  for (int32_t i = 0; i < indexes_.Count(); ++i) {
    for (TABSIndexColumn& column : indexes_.Items(i)->Columns()) {
      if (locale.LowerAnsi(column.field_name) == old_lower) column.field_name = field->Name();
    }
  }
}

}  // namespace kelvorin
