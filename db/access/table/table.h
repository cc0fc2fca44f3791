// TABSTable: the dataset over one stored table. Besides reading and
// editing its records it creates, empties, renames and deletes the table,
// adds and deletes indexes, orders its records by an index (IndexName or
// IndexFieldNames, the last one set is in force), restricts them to a key
// range, and follows a master dataset through a data source.
//
// The table keeps two forms of its definitions: the plain FieldDefs and
// IndexDefs it is declared with, and the engine's own (defaults, bounds,
// constraints); each time the stored table is read, both are rebuilt and a
// copy of the engine's is kept as the restructure definitions, which stay
// after the table closes (a copy of the table is created from them).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/access/dataset/abs_dataset.h"
#include "db/tables/metadata/table_metadata.h"

namespace kelvorin {

class TABSTable : public TABSDataSet {
 public:
  explicit TABSTable(const void* owner = nullptr);
  ~TABSTable() override;

  const std::string& TableName() const { return table_name_; }
  void SetTableName(std::string_view name);
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool exclusive);
  // A table of the process's temporary database ("TEMP").
  bool Temporary() const { return temporary_; }
  void SetTemporary(bool temporary);

  // --- Definitions ---
  // The declared fields (on opening: those of the stored table).
  TFieldDefs& DeclaredFieldDefs() { return declared_fields_; }
  TIndexDefs& IndexDefs() { return index_defs_; }
  // Reads the index list of the stored table when it is out of date.
  void UpdateIndexDefs();
  bool StoreDefs() const { return store_defs_; }
  void SetStoreDefs(bool store) { store_defs_ = store; }
  // The engine's definitions the table is created from when set (else the
  // declared ones), and the copy taken when the table was last read.
  TABSTableMetadata& AdvancedDefs() { return advanced_; }
  const TABSTableMetadata& RestructureDefs() const { return restructure_; }
  // The field list of a closed table, read from the stored table.
  void InitFieldDefs();

  // --- Existence and maintenance (the table closed) ---
  bool Exists();
  void CreateTable();
  void DeleteTable();
  void EmptyTable();
  void RenameTable(std::string_view new_name);

  // --- Indexes ---
  // `fields`, `descending_fields` and `case_insensitive_fields`: names
  // separated by semicolons.
  void AddIndex(std::string_view name, std::string_view fields, TIndexOptions options = 0,
                std::string_view descending_fields = {}, std::string_view case_insensitive_fields = {});
  void DeleteIndex(std::string_view name);
  void DeleteAllIndexes();
  const std::string& IndexName() const { return index_name_; }
  void SetIndexName(std::string_view name);
  const std::string& IndexFieldNames() const { return index_field_names_; }
  void SetIndexFieldNames(std::string_view fields);
  // The fields of the current index (none in storage order).
  const std::vector<std::string>& IndexFields() const { return index_fields_; }

  // --- Keys and ranges ---
  void SetRangeStart();
  void SetRangeEnd();
  void EditRangeStart();
  void EditRangeEnd();
  void ApplyRange();
  void CancelRange();
  // The range from the values of the leading index fields.
  void SetRange(const std::vector<TDataVariant>& start, const std::vector<TDataVariant>& end);
  // Of the key being edited (set-key state).
  bool KeyExclusive() const;
  void SetKeyExclusive(bool exclusive);
  int32_t KeyFieldCount() const;
  // Below 0 raises; 0 or more than the index has: all of its fields.
  void SetKeyFieldCount(int32_t count);
  bool RangeApplied() const;

  // --- Master and detail ---
  TDataSource* MasterSource() const { return master_link_.DataSource(); }
  // Raises "Circular datalinks are not allowed" for a source that follows
  // this table, directly or through others.
  void SetMasterSource(TDataSource* source);
  const std::string& MasterFields() const { return master_fields_; }
  void SetMasterFields(std::string_view fields);
  TDataSet* MasterDataSet() const override { return master_link_.DataSet(); }

  // --- Whole-table copies (the table closed) ---
  // Copies this table into `new_name` of this database, of the file
  // `destination_file` or of "MEMORY". An existing destination is replaced
  // only by a whole copy (overwrite); the auto-increment counters go on
  // where this table's stopped. Refusals raise, or with `ignore_errors`
  // are appended to `error_text` with a false result; a stopped copy
  // leaves no destination and returns false.
  bool CopyTable(std::string_view new_name, std::string& error_text, int32_t progress_end = 100,
                 int32_t progress_start = 0, bool copy_indexes = true, bool overwrite = false,
                 bool ignore_errors = false, std::string_view destination_file = {});
  bool CopyTable(std::string_view new_name, std::string& error_text, int32_t progress_end, int32_t progress_start,
                 bool copy_indexes, bool overwrite, bool ignore_errors, std::string_view destination_file,
                 bool& continue_flag);
  // Creates this table from the source's definitions (a dataset of this
  // layer: its engine definitions; any other: its FieldDefs and the given
  // index definitions) and fills it with the source's records as the
  // source shows them. A table of the name is replaced only by the whole
  // import. True when nothing was appended to `error_text`.
  bool ImportTable(TDataSet& source, std::string& error_text, const TIndexDefs* index_defs = nullptr);
  // Rebuilds the table from its edited restructure definitions, mapping
  // fields by name; the table is replaced only by the whole rebuilt one.
  bool RestructureTable(std::string& error_text);
  TABSTableMetadata& MutableRestructureDefs() { return restructure_; }
  void RenameField(std::string_view old_name, std::string_view new_name);

  // Events of the copies. The before-event takes the place of opening the
  // progress window, the after-event that of closing it.
  using TableEvent = std::function<void(TABSTable&)>;
  using CopyProgressEvent = std::function<void(TDataSet& source, int32_t percent, bool& continue_flag)>;
  TableEvent BeforeCopy;
  CopyProgressEvent OnCopyProgress;
  TableEvent AfterCopy;
  TableEvent BeforeImport;
  CopyProgressEvent OnImportProgress;
  TableEvent AfterImport;
  TableEvent BeforeRestructure;
  CopyProgressEvent OnRestructureProgress;
  TableEvent AfterRestructure;

  // The last auto-increment value of a field of the open table.
  int64_t LastAutoIncValue(int32_t field_index);
  int64_t LastAutoIncValue(std::string_view field_name);

 protected:
  std::unique_ptr<TABSLocalCursor> CreateCursor() override;
  void CursorOpened() override;
  void CursorClosing() override;
  void InitNewRecord() override;
  void EndSetKey(bool keep) override;
  void CheckKeyField(const TField& field) const override;
  uint8_t* KeyRecord() override;
  const uint8_t* KeyRecord() const override;

 private:
  enum KeyIndex : size_t { kRangeStart, kRangeEnd, kCurRangeStart, kCurRangeEnd, kSave, kLookup, kKeyCount };

  class MasterLink : public TDataLink {
   public:
    explicit MasterLink(TABSTable& table) : table_(table) {}

   protected:
    void ActiveChanged() override { table_.MasterChanged(); }
    void DataSetChanged() override { table_.MasterChanged(); }
    void DataSetScrolled() override { table_.MasterChanged(); }
    void RecordChanged(TField* field) override;

   private:
    TABSTable& table_;
  };

  void CheckClosed() const;
  void CheckTableName() const;
  void CheckNotInTransaction(const TABSNativeError& error, const char* operation);
  // Persistent data fields missing from the declared definitions are added.
  void AddPersistentFieldDefs();
  // The engine definitions a create uses.
  std::unique_ptr<TABSTableMetadata> CreateDefinitions() const;
  std::unique_ptr<TABSIndexDef> EngineIndex(const TIndexDef& index) const;
  // Both forms and the restructure copy, from the stored table.
  void ReadDefinitions(const TABSTableData& table);
  // Runs `work` on the open cursor (edit state left) or on a cursor opened
  // for it.
  template <typename Work>
  void WithIndexCursor(Work&& work);
  void SelectIndex(std::string_view name);
  void ReadIndexFields();
  std::string FindIndexForFields(std::string_view fields);
  void StartKeyEdit(KeyIndex key, bool clear);
  void ClearKey(std::vector<uint8_t>& key);
  bool KeyAssigned(const std::vector<uint8_t>& key) const;
  void ApplyKeys(bool move_first);
  void MasterChanged();
  // The master's range is lifted: every record shows again.
  void DropMasterRange();
  void ApplyMasterRange();
  std::vector<TDataVariant> MasterValues() const;

  class CopyEvents;
  bool CopyInto(TABSLocalSession& destination, std::string_view new_name, const std::string& destination_label,
                bool copy_indexes, bool overwrite, bool ignore_errors, int32_t progress_end, int32_t progress_start,
                bool& continue_flag, std::string& error_text);
  // What the stored fields were when the definitions were last read.
  static std::string FieldsFingerprint(const TABSFieldDefs& fields);

  std::string table_name_;
  std::string read_fields_;
  bool exclusive_ = false;
  bool temporary_ = false;
  bool store_defs_ = false;
  TFieldDefs declared_fields_;
  TIndexDefs index_defs_;
  TABSTableMetadata advanced_;
  TABSTableMetadata restructure_;
  std::string index_name_;
  std::string index_field_names_;
  std::vector<std::string> index_fields_;
  std::array<std::vector<uint8_t>, kKeyCount> keys_;
  KeyIndex editing_key_ = kRangeStart;
  MasterLink master_link_{*this};
  std::string master_fields_;
  // The applied range is the master's: letting go of the master lifts it.
  bool master_range_ = false;
};

}  // namespace kelvorin
