// TABSSystemDirectory: the transacted internal file at page 2 that finds the
// database-wide files. Its content is an array of 5-byte entries {u8 kind,
// i32 start page}; kind 1 is the table list, kind 2 the sessions file.
#pragma once

#include <cstdint>
#include <vector>

#include "db/storage/catalog/transacted_file.h"

namespace kelvorin {

class TABSSystemDirectory {
 public:
  static constexpr int32_t kPageNo = 2;
  static constexpr int32_t kEntrySize = 5;
  static constexpr uint8_t kTableList = 1;
  static constexpr uint8_t kSessionsFile = 2;

  struct Entry {
    uint8_t kind;
    int32_t start_page;
  };

  explicit TABSSystemDirectory(TABSPageManager& manager) : file_(manager, ptFileSystemDirectory) {}

  TABSInternalDBTransactedAccessFile& File() { return file_; }
  const std::vector<Entry>& Entries() const { return entries_; }

  // Creates the file, which must land on page 2.
  void Create(int32_t session);
  // Reads the directory at page 2.
  void Open(int32_t session);
  void Close() {
    file_.Close();
    entries_.clear();
  }

  void Add(uint8_t kind, int32_t start_page) { entries_.push_back({kind, start_page}); }
  // The start page of the first entry of the kind, or -1.
  int32_t Find(uint8_t kind) const;
  void Write(int32_t session);

 private:
  TABSInternalDBTransactedAccessFile file_;
  std::vector<Entry> entries_;
};

}  // namespace kelvorin
