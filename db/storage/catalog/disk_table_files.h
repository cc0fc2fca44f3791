// TABSDiskTableFiles: the three internal files of one table of a database
// file, found through its table-list entry, and the checked reading and
// writing of what they hold:
//
//   metadata file      (transacted, page type 8, "ZLIB" level 1): the field,
//                      index and constraint sections, then the root of the
//                      record-page index (i32) and the root of the BLOB-page
//                      index (i32; -1 without BLOB fields)
//   most-updated file  (transacted, page type 9, plain): the state block
//   table locks file   (direct, page type 7): 12 bytes per connection
#pragma once

#include <cstdint>
#include <string_view>

#include "db/storage/catalog/direct_file.h"
#include "db/storage/catalog/table_list_file.h"
#include "db/storage/catalog/transacted_file.h"
#include "db/storage/records/small_record_page.h"
#include "db/tables/metadata/table_metadata.h"
#include "db/tables/records/table_state.h"

namespace kelvorin {

// The root page of a page-index tree as a section of the metadata block.
class TABSPageIndexRootSection : public TABSMetadataSection {
 public:
  int32_t root = -1;
  void SaveToStream(TABSMetadataWriter& writer) const override { writer.I32(root); }
  void LoadFromStream(TABSMetadataReader& reader) override { root = reader.I32(); }
};

// Whether any field keeps its values as BLOBs (BLOB, MEMO, WIDEMEMO storage).
bool HasBlobFields(const TABSFieldDefs& fields);

class TABSDiskTableFiles {
 public:
  static constexpr int32_t kLockBytesPerConnection = 12;

  TABSDiskTableFiles(TABSDiskPageManager& pages, const TABSTableListEntry& entry);

  // The start pages, as the table list keeps them.
  int32_t MetadataPage() const { return metadata_file_.StartPage(); }
  int32_t MostUpdatedPage() const { return most_updated_file_.StartPage(); }
  int32_t LocksPage() const { return locks_file_.IsOpen() ? locks_file_.StartPage() : locks_page_; }
  TABSInternalDBDirectAccessFile& LocksFile() { return locks_file_; }

  void Create(int32_t session, int32_t max_connections);
  // Opens the locks file from disk (once); it must have 12 bytes per
  // connection, else "Invalid database format".
  void OpenLocks(int32_t max_connections);
  // Removes the three files (the locks file through the system session).
  void Delete(int32_t session);

  // Loads the definitions and the page-index roots (the metadata's trailing
  // sections) and checks them against each other.
  void ReadMetadata(int32_t session, TABSTableMetadata& metadata, std::string_view table_name,
                    const TABSPageIndexRootSection& record_index, const TABSPageIndexRootSection& blob_index);
  void WriteMetadata(int32_t session, const TABSTableMetadata& metadata);
  TABSTableState ReadState(int32_t session, int32_t field_count);
  void WriteState(int32_t session, const TABSTableState& state, int32_t field_count);

 private:
  TABSDiskPageManager& pages_;
  TABSInternalDBTransactedAccessFile metadata_file_;
  TABSInternalDBTransactedAccessFile most_updated_file_;
  TABSInternalDBDirectAccessFile locks_file_;
  int32_t locks_page_;
};

}  // namespace kelvorin
