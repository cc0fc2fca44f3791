#include "db/storage/catalog/catalog_check.h"

#include <memory>
#include <optional>
#include <set>
#include <unordered_set>

#include "db/storage/catalog/disk_table_files.h"
#include "db/storage/locks/sessions_file.h"
#include "db/storage/catalog/system_directory.h"
#include "db/storage/catalog/table_content_check.h"
#include "db/storage/catalog/table_list_file.h"
#include "db/storage/catalog/table_trees.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/pages/page_hold.h"
#include "db/storage/records/disk_record_manager.h"
#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {
namespace {

// The pages are read in a session of their own that never changes anything.
constexpr int32_t kCheckSession = 1;

class CatalogueChecker : private TABSCheckSink {
 public:
  CatalogueChecker(std::string path, TABSPassword password, bool multi_user)
      : path_(std::move(path)), password_(std::move(password)), multi_user_(multi_user) {}

  TABSIntegrityReport Run() {
    report_ = CheckDatabaseFile(path_, password_, &usage_);
    if (!usage_.walked) return std::move(report_);
    for (const TABSIntegrityProblem& p : report_.problems) {
      if (p.kind == TABSIntegrityProblem::Kind::kLeak && p.page_no >= 0) already_leaked_.insert(p.page_no);
    }
    total_ = static_cast<int32_t>(usage_.used.size());
    reached_by_.assign(usage_.used.size(), "");
    try {
      bool multi_user = multi_user_;
      bool read_only = true;
      pages_.OpenDatabaseFile(path_, password_, multi_user, false, read_only);
    } catch (const EABSException& e) {
      // Without the password of an encrypted file only its layout is checked.
      if (!password_.password.empty() || e.NativeError() != 30445) Corrupt(-1, e.what());
      // Nothing is reached: a broken link cannot be told from a leak's.
      for (const TABSIntegrityProblem& p : usage_.links) report_.problems.push_back(p);
      return std::move(report_);
    }
    CheckCatalogue();
    ReportLinks();
    ReportUnreached();
    pages_.CloseDiscarding();
    return std::move(report_);
  }

 private:
  void Corrupt(int32_t page, const std::string& text) override {
    report_.problems.push_back({TABSIntegrityProblem::Kind::kCorruption, page, text});
  }
  void Leak(int32_t page, const std::string& text) override {
    report_.problems.push_back({TABSIntegrityProblem::Kind::kLeak, page, text});
  }

  // Marks a page as reached by `what`; false when it cannot be (reported).
  bool Reach(int32_t page, const std::string& what) override {
    if (page < 0 || page >= total_) {
      Corrupt(-1, what + " refers to page " + std::to_string(page) + " outside the file");
      return false;
    }
    if (usage_.system[page]) {
      Corrupt(page, what + " uses a PFS or EAM page");
      return false;
    }
    if (!reached_by_[page].empty()) {
      Corrupt(page, "reached by " + reached_by_[page] + " and again by " + what);
      return false;
    }
    if (!usage_.used[page]) Corrupt(page, what + " uses a page marked free");
    reached_by_[page] = what;
    return true;
  }

  // Walks an internal file's chain from its start page, reaching each page;
  // true when the chain is sound and as long as its stored size needs.
  bool WalkChain(int32_t start, uint16_t type, const std::string& what) {
    std::vector<int32_t> chain;
    std::unordered_set<int32_t> seen;
    for (int32_t no = start; no != -1;) {
      if (!seen.insert(no).second) {
        Corrupt(no, what + ": page chain loops");
        return false;
      }
      if (!Reach(no, what)) return false;
      uint8_t header[kPageHeaderSize];
      try {
        pages_.ReadPartOfPage(header, no, kPageHeaderSize, 0);
      } catch (const EABSException& e) {
        Corrupt(no, what + ": " + e.what());
        return false;
      }
      const uint16_t found = LoadU16(header + page_field::kPageType);
      if (found != type) {
        Corrupt(no, what + ": page type " + std::to_string(found) + " in a chain of type " + std::to_string(type));
        return false;
      }
      chain.push_back(no);
      no = LoadI32(header + page_field::kNextPage);
    }
    if (chain.empty()) {
      Corrupt(-1, what + " has no pages");
      return false;
    }
    // Direct files are stored plain; transacted ones may be encrypted.
    uint8_t bytes[kInternalFileHeaderSize];
    try {
      TABSPageHold first = TABSPageHold::Get(pages_, kCheckSession, start, type);
      std::memcpy(bytes, first->Data(), kInternalFileHeaderSize);
    } catch (const EABSException& e) {
      if (type != ptActiveSessionList && type != ptTableLocks) {
        Corrupt(start, what + ": " + e.what());
        return false;
      }
      pages_.ReadPartOfPage(bytes, start, kInternalFileHeaderSize, kPageHeaderSize);
    }
    const TABSInternalFileHeader h = TABSInternalFileHeader::Decode(bytes);
    if (h.header_size != kInternalFileHeaderSize || h.stored_size < 0) {
      Corrupt(start, what + ": invalid header");
      return false;
    }
    const int64_t needed = InternalFilePagesFor(h.stored_size, pages_.DataSize());
    if (needed != static_cast<int64_t>(chain.size())) {
      Corrupt(start, what + ": " + std::to_string(chain.size()) + " pages for a stored size of " +
                         std::to_string(h.stored_size) + " (" + std::to_string(needed) + " needed)");
      return false;
    }
    return true;
  }

  // Runs a check of contents; an engine error is reported as damage.
  template <typename F>
  bool Try(int32_t page, const std::string& what, F&& check) {
    try {
      check();
      return true;
    } catch (const EABSException& e) {
      Corrupt(page, what + ": " + e.what());
      return false;
    }
  }

  void CheckCatalogue() {
    TABSSystemDirectory directory(pages_);
    if (!WalkChain(TABSSystemDirectory::kPageNo, ptFileSystemDirectory, "the system directory") ||
        !Try(TABSSystemDirectory::kPageNo, "the system directory", [&] { directory.Open(kCheckSession); })) {
      return;
    }
    int kinds[3] = {0, 0, 0};
    for (const TABSSystemDirectory::Entry& entry : directory.Entries()) {
      if (entry.kind == TABSSystemDirectory::kTableList || entry.kind == TABSSystemDirectory::kSessionsFile) {
        ++kinds[entry.kind];
      } else {
        Corrupt(2, "the system directory has an entry of unknown kind " + std::to_string(entry.kind));
      }
    }
    if (kinds[1] != 1 || kinds[2] != 1) {
      Corrupt(2, "the system directory needs one table list and one sessions file");
      return;
    }
    const int32_t sessions_page = directory.Find(TABSSystemDirectory::kSessionsFile);
    TABSActiveSessionsFile sessions(pages_);
    if (!WalkChain(sessions_page, ptActiveSessionList, "the sessions file") ||
        !Try(sessions_page, "the sessions file", [&] { sessions.Open(sessions_page); })) {
      return;
    }
    max_connections_ = sessions.MaxConnections();
    const int32_t list_page = directory.Find(TABSSystemDirectory::kTableList);
    TABSTableListFile list_file(pages_);
    TABSTableList list;
    if (!WalkChain(list_page, ptTableList, "the table list") || !Try(list_page, "the table list", [&] {
          list_file.Open(list_page);
          list = list_file.Read(kCheckSession);
        })) {
      return;
    }
    std::set<int32_t> ids;
    for (size_t i = 0; i < list.size(); ++i) {
      const TABSTableListEntry& entry = list[i];
      if (FindTableEntry(list, entry.name) != static_cast<int32_t>(i)) {
        Corrupt(list_page, "the table list holds the name '" + entry.name + "' twice");
      }
      if (!ids.insert(entry.object_id).second) {
        Corrupt(list_page, "the table list holds the object number " + std::to_string(entry.object_id) + " twice");
      }
      if (IsHiddenTableName(entry.name)) {
        report_.problems.push_back({TABSIntegrityProblem::Kind::kLeftover, list_page,
                                    "hidden table '" + entry.name + "' left by an unfinished copy"});
      }
      CheckTable(entry);
    }
  }

  void CheckTable(const TABSTableListEntry& entry) {
    const std::string table = "table '" + entry.name + "'";
    const bool chains = WalkChain(entry.metadata_page, ptTableMetaData, table + " metadata file") &
                        WalkChain(entry.most_updated_page, ptTableMostUpdated, table + " most-updated file") &
                        WalkChain(entry.locks_page, ptTableLocks, table + " locks file");
    if (!chains) return;
    TABSDiskTableFiles files(pages_, entry);
    TABSTableMetadata metadata;
    TABSPageIndexRootSection record_index, blob_index;
    metadata.SetTrailingSections(&record_index, &blob_index);
    TABSTableState state;
    std::optional<TABSRecordLayout> layout;
    if (!Try(entry.metadata_page, table, [&] {
          files.ReadMetadata(kCheckSession, metadata, entry.name, record_index, blob_index);
          files.OpenLocks(max_connections_);
          state = files.ReadState(kCheckSession, metadata.Fields().Count());
          layout.emplace(metadata.Fields(), metadata.MemoryRecordSize(), metadata.StoredRecordSize());
        })) {
      return;
    }
    const int32_t records_per_page = RecordsPerPage(pages_.DataSize(), metadata.StoredRecordSize());
    const std::vector<TABSListedPage> record_pages =
        ReachTree(table + " record-page index",
                  table_trees::CheckPageIndex(pages_, kCheckSession, TABSPageIndexKind::kRecordPages,
                                              record_index.root, records_per_page),
                  ptTableRecord, entry.object_id);
    std::vector<TABSListedPage> blob_pages;
    if (blob_index.root >= 0) {
      blob_pages = ReachTree(
          table + " BLOB-page index",
          table_trees::CheckPageIndex(pages_, kCheckSession, TABSPageIndexKind::kBlobPages, blob_index.root, 0),
          ptTableBlob, entry.object_id);
    }
    // Large BLOBs are reached through the records that name them.
    TABSTableContentCheck content(pages_, kCheckSession, *layout, entry.object_id, total_, table, *this);
    content.CheckRecordPages(record_pages, state.record_count);
    content.CheckBlobPages(blob_pages);

    // The indexes read their records: cut keys that tie are ordered on them,
    // and each entry's record must hold its key.
    std::unique_ptr<TABSDiskRecordManager> records;
    Try(entry.metadata_page, table, [&] {
      records = std::make_unique<TABSDiskRecordManager>(pages_, *layout, entry.object_id, record_index.root);
      records->SetCounters(state.record_count, state.change_counter);
    });
    for (int32_t i = 0; i < metadata.Indexes().Count(); ++i) {
      const TABSIndexDef& index = *metadata.Indexes().Items(i);
      const std::string what = table + " index '" + index.Name() + "'";
      const table_trees::TABSTreeCheck check =
          table_trees::CheckIndex(pages_, kCheckSession, index, metadata.Fields(), records.get());
      ReachTree(what, check, 0, kAnyPageOwner);
      // And every record is listed in every index.
      if (records == nullptr || !check.problems.empty()) continue;
      Try(index.RootPage(), what, [&] {
        const auto walk = [&](const auto& visit) { WalkRecords(*records, *layout, visit); };
        for (const std::string& problem :
             table_trees::UnlistedRecords(pages_, kCheckSession, index, metadata.Fields(), *records, walk)) {
          Corrupt(index.RootPage(), what + ": " + problem);
        }
      });
    }
  }

  // Every record of the table in storage order, in its memory form.
  void WalkRecords(TABSDiskRecordManager& records, const TABSRecordLayout& layout,
                   const std::function<void(TABSRecordId, const uint8_t*)>& visit) {
    TABSMemoryBlock record(layout.MemorySize());
    TABSNavigateRequest request;
    request.go_to_first = true;
    request.record = record.bytes();
    for (records.Navigate(kCheckSession, request); request.status == TABSNavigateStatus::kFound;
         records.Navigate(kCheckSession, request)) {
      visit(request.record_id, record.bytes());
    }
  }

  // Reaches a tree's pages and the data pages it lists, which must carry the
  // listed type and, where the file keeps owners, the table's number.
  // Returns the listed pages that are sound.
  std::vector<TABSListedPage> ReachTree(const std::string& what, const table_trees::TABSTreeCheck& check,
                                        uint16_t listed_type, int32_t owner) {
    for (const std::string& problem : check.problems) Corrupt(-1, what + ": " + problem);
    for (const int32_t page : check.tree_pages) Reach(page, what);
    std::vector<TABSListedPage> sound;
    for (size_t i = 0; i < check.listed_pages.size(); ++i) {
      const int32_t page = check.listed_pages[i];
      if (!Reach(page, what + " (listed page)")) continue;
      if (Try(page, what + " (listed page)", [&] {
            TABSPageHold hold = TABSPageHold::Get(pages_, kCheckSession, page, listed_type, owner);
          })) {
        sound.push_back({page, check.listed_amounts[i]});
      }
    }
    return sound;
  }

  // A leaked page still holds the links of its use before it was freed:
  // only those of pages the catalogue reaches are damage.
  void ReportLinks() {
    for (const TABSIntegrityProblem& p : usage_.links) {
      if (p.page_no < 0 || p.page_no >= total_ || !reached_by_[p.page_no].empty()) report_.problems.push_back(p);
    }
  }

  void ReportUnreached() {
    for (int32_t n = 0; n < total_; ++n) {
      if (usage_.used[n] && !usage_.system[n] && reached_by_[n].empty() && !already_leaked_.count(n)) {
        report_.problems.push_back(
            {TABSIntegrityProblem::Kind::kLeak, n, "in use but not reached from the catalogue"});
      }
    }
  }

  std::string path_;
  TABSPassword password_;
  bool multi_user_;
  TABSIntegrityReport report_;
  TABSPageUsage usage_;
  TABSDiskPageManager pages_;
  int32_t total_ = 0;
  int32_t max_connections_ = 0;
  std::vector<std::string> reached_by_;
  std::unordered_set<int32_t> already_leaked_;
};

}  // namespace

TABSIntegrityReport CheckDatabaseCatalogue(const std::string& path, const TABSPassword& password, bool multi_user) {
  return CatalogueChecker(path, password, multi_user).Run();
}

}  // namespace kelvorin
