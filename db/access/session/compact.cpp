// Compact: every table is copied into "<file>.tmp" through the table
// layer's copier; the copy is cut to its last used page, synced, and
// renamed over the file in one step, after which the directory is synced.
// Until the rename the file is only read, so a failure, a stop or the
// process's death leaves it whole; the copy is removed on every way out
// that does not end in the rename.
#include <mutex>
#include <random>

#include "db/access/session/access_events.h"
#include "db/access/session/database.h"
#include "db/access/session/session.h"
#include "db/access/session/session_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/journal.h"
#include "platform/file.h"

namespace kelvorin {

namespace {

std::mutex g_copier_mutex;
TABSDatabase::TableCopier g_copier;

TABSDatabase::TableCopier CurrentCopier() {
  std::lock_guard lock(g_copier_mutex);
  return g_copier;
}

std::string TemporaryAlias() {
  static std::mutex mutex;
  static std::minstd_rand random{std::random_device{}()};
  std::lock_guard lock(mutex);
  return "TempDatabase" + std::to_string(std::uniform_int_distribution<int32_t>(0, 999999)(random));
}

void RemoveCopy(const std::string& copy_name) noexcept {
  platform::RemoveFile(copy_name);
  platform::RemoveFile(TABSJournal::PathFor(copy_name));
}

void SyncCopy(const std::string& copy_name) {
  platform::File file;
  int code = file.Open(copy_name, platform::Access::kReadWrite, false);
  if (code == 0) code = file.Sync();
  if (code != 0) throw EABSException(native::kCompactSyncFailed, {copy_name, code, platform::ErrorText(code)});
}

// Table i of n reports from i * 100 / n to (i + 1) * 100 / n - 1, never an
// empty range however many tables there are.
TABSProgressRange TableRange(size_t i, size_t n) {
  TABSProgressRange range;
  range.start = static_cast<int32_t>(static_cast<int64_t>(i) * 100 / static_cast<int64_t>(n));
  range.end = std::max(range.start, static_cast<int32_t>(static_cast<int64_t>(i + 1) * 100 / static_cast<int64_t>(n)) - 1);
  return range;
}

}  // namespace

void TABSDatabase::SetTableCopier(TableCopier copier) {
  std::lock_guard lock(g_copier_mutex);
  g_copier = std::move(copier);
}

bool TABSDatabase::HasTableCopier() { return static_cast<bool>(CurrentCopier()); }

std::string TABSDatabase::Compact() {
  CheckCreateDelete("Compact");
  const TableCopier copier = CurrentCopier();
  if (!copier) throw EABSException(native::kCompactUnavailable);
  CheckFileNotOpen(true);
  const std::string copy_name = file_name_ + ".tmp";
  try {
    return CompactFile();
  } catch (...) {
    RemoveCopy(copy_name);
    throw;
  }
}

void TABSDatabase::ReportProgress(int32_t percent, bool& continue_flag) {
  if (OnRepairProgress) {
    OnRepairProgress(*this, percent, continue_flag);
  } else if (progress_window_ && !AccessProgress().Step(percent)) {
    continue_flag = false;
  }
}

std::string TABSDatabase::CompactFile() {
  const std::string copy_name = file_name_ + ".tmp";
  // What Compact switches is switched back on every way out.
  class Restore {
   public:
    explicit Restore(TABSDatabase& database) : database_(database), exclusive_(database.exclusive_) {
      if (database_.BeforeRepair) {
        database_.BeforeRepair(database_);
      } else if (!database_.silent_mode_) {
        database_.progress_window_ = true;
        AccessProgress().Open(kRepairCaption);
        AccessProgress().Step(0);
      }
      database_.compacting_ = true;
    }
    ~Restore() {
      if (database_.Connected()) {
        try {
          database_.connection_->SetRecordPageCheck(true);
        } catch (...) {
          ReportCaughtError();
        }
      }
      database_.DisconnectQuietly();
      database_.exclusive_ = exclusive_;
      database_.compacting_ = false;
      try {
        if (database_.AfterRepair) {
          database_.AfterRepair(database_);
        } else if (database_.progress_window_) {
          AccessProgress().Close();
        }
      } catch (...) {
        ReportCaughtError();
      }
      database_.progress_window_ = false;
    }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

   private:
    TABSDatabase& database_;
    bool exclusive_;
  };

  const TableCopier copier = CurrentCopier();
  std::string error_text;
  bool completed = false;
  {
    TABSDatabase copy(nullptr, TemporaryAlias());
    copy.session_name_ = session_name_;
    copy.SetDatabaseName(copy.Name());
    copy.file_name_ = copy_name;
    copy.password_ = password_;
    copy.file_settings_ = file_settings_;
    copy.silent_mode_ = true;
    copy.compacting_ = true;
    copy.CreateDatabase();
    copy.Connect();
    {
      Restore restore(*this);
      exclusive_ = true;
      Connect();
      connection_->SetRecordPageCheck(false);
      // A list cut short would make a copy without the missing tables.
      const std::vector<std::string> tables = connection_->TableNames();
      bool continue_flag = true;
      for (size_t i = 0; i < tables.size() && continue_flag; ++i) {
        TABSProgressRange range = TableRange(i, tables.size());
        range.report = [this](int32_t percent, bool& flag) { ReportProgress(percent, flag); };
        copier(*this, copy, tables[i], range, continue_flag, error_text);
      }
      completed = continue_flag;
    }
    if (completed) {
      TABSDiskDatabaseData* disk = copy.Connection().DiskDatabase();
      if (disk != nullptr) {
        std::lock_guard lock(disk->CriticalSection());
        disk->DiskPageManager().TrimTail();
      }
    }
    copy.Disconnect();
  }
  if (!completed || !error_text.empty()) {
    RemoveCopy(copy_name);
    return error_text.empty() ? "Unknown error" : error_text;
  }
  SyncCopy(copy_name);
  if (const int code = platform::RenameFile(copy_name, file_name_); code != 0) {
    throw EABSException(native::kCompactReplaceFailed, {file_name_, code, platform::ErrorText(code)});
  }
  // The rename is done; a directory that cannot be synced leaves either
  // file under the name after a power loss, both whole.
  platform::SyncDirectoryOf(file_name_);
  return {};
}

}  // namespace kelvorin
