// The lists that own a table's definitions, in order: TABSMetaObjectDefs and
// its typed lists of fields, indexes and constraints. Lookups by name ignore
// case (upper-cased with the locale's rules) and return the first hit;
// lookups by object number scan in order.
//
// Stored sections: a signed 32-bit count followed by the entries; the index
// section counts and holds only the persistent indexes, the constraint
// section writes each entry after its kind byte.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/tables/metadata/constraint_def.h"
#include "db/tables/metadata/field_def.h"
#include "db/tables/metadata/index_def.h"

namespace kelvorin {

class TABSMetaObjectDefs {
 public:
  TABSMetaObjectDefs() = default;
  virtual ~TABSMetaObjectDefs() = default;
  TABSMetaObjectDefs(const TABSMetaObjectDefs&) = delete;
  TABSMetaObjectDefs& operator=(const TABSMetaObjectDefs&) = delete;

  virtual int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Takes ownership and appends. A definition of a class the list does not
  // hold (or none) raises an engine error and the list stays as it was.
  virtual TABSMetaObjectDef* Add(std::unique_ptr<TABSMetaObjectDef> def);
  // Appends an empty definition of the list's class.
  virtual TABSMetaObjectDef* AddNew();
  virtual void LoadFromStream(TABSMetadataReader& reader);
  virtual void SaveToStream(TABSMetadataWriter& writer) const;
  // Replaces the contents by copies of the source's definitions; a name
  // present twice raises "Duplicate field name". Assigning a list to itself
  // changes nothing; a failure leaves the list as it was.
  virtual void Assign(const TABSMetaObjectDefs& source);
  virtual void Delete(int32_t index);
  virtual void Insert(int32_t index, std::unique_ptr<TABSMetaObjectDef> def);
  virtual void Move(int32_t from, int32_t to);
  virtual void Clear() { items_.clear(); }
  void Swap(TABSMetaObjectDefs& other) { items_.swap(other.items_); }

  // Raises a range error for a position outside the list.
  TABSMetaObjectDef* Item(int32_t index) const {
    CheckIndex(index, Count());
    return items_[static_cast<size_t>(index)].get();
  }
  int32_t IndexOfName(std::string_view name) const;
  TABSMetaObjectDef* FindByName(std::string_view name) const;
  int32_t IndexOfNumber(int32_t object_id) const;
  TABSMetaObjectDef* FindByNumber(int32_t object_id) const;

 protected:
  // A new empty definition of the list's class.
  virtual std::unique_ptr<TABSMetaObjectDef> NewDefinition() const;
  virtual const char* ClassName() const { return "TABSMetaObjectDefs"; }
  // Copies the source's definitions into `items`, checking their names.
  virtual void CopyItems(const TABSMetaObjectDefs& source,
                         std::vector<std::unique_ptr<TABSMetaObjectDef>>* items) const;
  // Smallest stored size of one entry, for checking a loaded count.
  virtual int32_t MinStoredEntrySize() const { return 1 + 4; }
  // Whether `def` is of the class the list hands its items out as.
  virtual bool Holds(const TABSMetaObjectDef& def) const;

  void CheckIndex(int32_t index, int32_t limit) const;
  // Raises an engine error for a definition the list does not hold.
  void CheckHeld(const TABSMetaObjectDef* def) const;

  std::vector<std::unique_ptr<TABSMetaObjectDef>> items_;
};

class TABSFieldDefs : public TABSMetaObjectDefs {
 public:
  TABSFieldDef* Items(int32_t index) const { return static_cast<TABSFieldDef*>(Item(index)); }
  TABSFieldDef* Find(std::string_view name) const { return static_cast<TABSFieldDef*>(FindByName(name)); }
  // Places the fields in definition order after the null bitmap of both
  // record layouts; returns the memory and stored record sizes. A record
  // beyond the 32-bit range gets the largest size (and fits no page).
  void ComputeLayout(int32_t* memory_record_size, int32_t* stored_record_size);

 protected:
  std::unique_ptr<TABSMetaObjectDef> NewDefinition() const override;
  const char* ClassName() const override { return "TABSFieldDefs"; }
  int32_t MinStoredEntrySize() const override;
  bool Holds(const TABSMetaObjectDef& def) const override;
};

class TABSIndexDefs : public TABSMetaObjectDefs {
 public:
  TABSIndexDef* Items(int32_t index) const { return static_cast<TABSIndexDef*>(Item(index)); }
  void SetItem(int32_t index, std::unique_ptr<TABSIndexDef> def);
  TABSIndexDef* Find(std::string_view name) const { return static_cast<TABSIndexDef*>(FindByName(name)); }

  // Object number of the first index whose leading columns match the field
  // names, directions ("ASC", "DESC", else either) and case options
  // ("CASE", "NO_CASE", else either); a temporary index matches only for
  // its own session. -1 when none does.
  int32_t FindMatching(const std::vector<std::string>& field_names,
                       const std::vector<std::string>& directions,
                       const std::vector<std::string>& case_options, int32_t session_id) const;

  void SaveToStream(TABSMetadataWriter& writer) const override;

 protected:
  std::unique_ptr<TABSMetaObjectDef> NewDefinition() const override;
  const char* ClassName() const override { return "TABSIndexDefs"; }
  int32_t MinStoredEntrySize() const override { return 1 + 4 + 3 + 4 + 4; }
  bool Holds(const TABSMetaObjectDef& def) const override;
};

class TABSConstraintDefs : public TABSMetaObjectDefs {
 public:
  TABSConstraintDef* Items(int32_t index) const {
    return static_cast<TABSConstraintDef*>(Item(index));
  }

  void LoadFromStream(TABSMetadataReader& reader) override;
  void SaveToStream(TABSMetadataWriter& writer) const override;

 protected:
  const char* ClassName() const override { return "TABSConstraintDefs"; }
  // Creates each copy from the source's kind and does not test names.
  void CopyItems(const TABSMetaObjectDefs& source,
                 std::vector<std::unique_ptr<TABSMetaObjectDef>>* items) const override;
  int32_t MinStoredEntrySize() const override { return 1 + 1 + 4 + 12 + 3; }
  bool Holds(const TABSMetaObjectDef& def) const override;
};

}  // namespace kelvorin
