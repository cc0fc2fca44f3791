// kelvorin create / info / tables / check / locks: make a database file with
// its catalogue, print its header, list its tables, run the integrity
// checker over it, and list the connections and locks other processes hold
// on it. A database is opened in single-user mode unless --multi-user is
// given.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "db/storage/catalog/catalog_check.h"
#include "db/storage/catalog/disk_database_data.h"
#include "db/storage/locks/lock_inspection.h"
#include "db/storage/pages/disk_page_manager.h"
#include "platform/locale_code_page.h"
#include "tools/kelvorin/command.h"

namespace kelvorin::tool {
namespace {

struct FileArgs {
  std::string file;
  int page_size = 4096;
  int extent = 8;
  int connections = TABSDatabaseFileSettings::kDefaultMaxConnections;
  TABSPassword password;
  bool multi_user = false;
  bool valid = true;
};

std::optional<int> ParseInt(const std::string& text) {
  try {
    size_t used = 0;
    const int value = std::stoi(text, &used);
    if (used == text.size()) return value;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

// Options a command does not take are refused like unknown ones.
FileArgs Parse(const std::vector<std::string>& args, bool layout_options, bool mode_option = true) {
  FileArgs parsed;
  auto fail = [&](const std::string& why) {
    std::fprintf(stderr, "kelvorin: %s\n", why.c_str());
    parsed.valid = false;
  };
  for (size_t i = 0; i < args.size() && parsed.valid; ++i) {
    const std::string& arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (arg.rfind("--", 0) != 0) {
      if (!parsed.file.empty()) fail("more than one file given");
      parsed.file = arg;
    } else if (arg == "--multi-user" && mode_option) {
      parsed.multi_user = true;
    } else if (!has_value) {
      fail("option " + arg + " needs a value");
    } else if (arg == "--password") {
      parsed.password.password = args[++i];
    } else if (arg == "--cipher" && layout_options) {
      const auto id = CipherIdFromName(args[++i]);
      if (!id) fail("unknown cipher '" + args[i] + "'");
      if (id) parsed.password.cipher_id = *id;
    } else if ((arg == "--page-size" || arg == "--extent" || arg == "--connections") && layout_options) {
      const auto value = ParseInt(args[++i]);
      if (!value) fail("option " + arg + " needs a number");
      if (value) {
        (arg == "--page-size" ? parsed.page_size : arg == "--extent" ? parsed.extent : parsed.connections) = *value;
      }
    } else {
      fail("unknown option " + arg);
    }
  }
  if (parsed.valid && parsed.file.empty()) fail("no file given");
  return parsed;
}

int Create(const std::vector<std::string>& args) {
  const FileArgs parsed = Parse(args, true, false);
  if (!parsed.valid) return 1;
  TABSDatabaseFileSettings settings;
  settings.max_connections = parsed.connections;
  settings.page_size = parsed.page_size;
  settings.pages_per_extent = parsed.extent;
  TABSDiskDatabaseData::CreateDatabase(parsed.file, parsed.password, settings);
  return 0;
}

int Info(const std::vector<std::string>& args) {
  const FileArgs parsed = Parse(args, false);
  if (!parsed.valid) return 1;
  TABSDiskPageManager manager;
  bool multi_user = parsed.multi_user;
  bool read_only = true;
  manager.OpenDatabaseFile(parsed.file, parsed.password, multi_user, false, read_only);
  const TABSDatabaseHeader& h = manager.Header();
  std::printf("signature: %.16s\n", h.signature);
  std::printf("version: %.2f\n", h.version);
  std::printf("page size: %d\n", h.page_size);
  std::printf("pages per extent: %d\n", h.pages_per_extent);
  std::printf("total pages: %d\n", h.total_page_count);
  std::printf("last used page: %d\n", h.last_used_page);
  std::printf("commit counter: %d\n", h.commit_counter);
  std::printf("state: %d (%s)\n", h.state, h.state == kStateConsistent ? "consistent" : "commit interrupted");
  std::printf("encrypted: %s\n", manager.Encrypted() ? "yes" : "no");
  const std::string cipher(CipherName(manager.EncryptionHeader().cipher_id));
  std::printf("cipher: %s\n", manager.Encrypted() ? cipher.c_str() : "none");
  manager.Close();
  return 0;
}

// Name, object number and record count of each table, in creation order.
int Tables(const std::vector<std::string>& args) {
  const FileArgs parsed = Parse(args, false);
  if (!parsed.valid) return 1;
  TABSDiskDatabaseData database(parsed.file, parsed.password, true);
  TABSBaseSession session(parsed.multi_user, false);
  const TABSSessionConnection connection(database, session);
  std::string out = "name\tobject number\trecord count\n";
  for (const TABSTableListEntry& entry : database.TableList()) {
    TABSCursor cursor(session, entry.name);
    const int64_t records = database.OpenTable(cursor)->RecordCount();
    database.CloseTable(cursor);
    out += platform::AnsiToUtf8(entry.name) + "\t" + std::to_string(entry.object_id) + "\t" +
           std::to_string(records) + "\n";
  }
  std::fputs(out.c_str(), stdout);
  return 0;
}

int Check(const std::vector<std::string>& args) {
  const FileArgs parsed = Parse(args, false);
  if (!parsed.valid) return 1;
  const TABSIntegrityReport report = CheckDatabaseCatalogue(parsed.file, parsed.password, parsed.multi_user);
  std::fputs(report.Describe().c_str(), stdout);
  if (report.Clean()) std::printf("no problems found\n");
  return report.Clean() ? 0 : 1;
}

// The connected slots, then the locks of each table, found by testing the
// bytes; an exclusive lock's slot is not recorded in the file ("?").
int Locks(const std::vector<std::string>& args) {
  const FileArgs parsed = Parse(args, false, false);
  if (!parsed.valid) return 1;
  const TABSLockReport report = InspectLocks(parsed.file, parsed.password);
  std::string out = "slot\ttable\tlock\trecord\n";
  if (report.EverySlotTaken()) {
    out += "*\t\tevery slot (single-user use, or no connection left)\t\n";
  } else {
    for (const int32_t slot : report.connected_slots) out += std::to_string(slot) + "\t\tconnected\t\n";
  }
  for (const TABSHeldLock& lock : report.locks) {
    out += (lock.slot == TABSHeldLock::kUnknownSlot ? std::string("?") : std::to_string(lock.slot)) + "\t" +
           platform::AnsiToUtf8(lock.table) + "\t" + std::string(LockTypeName(lock.type)) + "\t";
    if (lock.type == TABSLockType::kRecord) {
      out += std::to_string(lock.record.page_no) + ":" + std::to_string(lock.record.slot);
    }
    out += "\n";
  }
  std::fputs(out.c_str(), stdout);
  return 0;
}

const KelvorinCommand kCreate("create",
                               "FILE [--page-size N] [--extent N] [--connections N] [--password P --cipher NAME]",
                               Create);
const KelvorinCommand kInfo("info", "FILE [--password P] [--multi-user]", Info);
const KelvorinCommand kTables("tables", "FILE [--password P] [--multi-user]", Tables);
const KelvorinCommand kCheck("check", "FILE [--password P] [--multi-user]", Check);
const KelvorinCommand kLocks("locks", "FILE [--password P]", Locks);

}  // namespace
}  // namespace kelvorin::tool
