// kelvorin compact FILE [--password P]: rebuilds a database file through a
// database component: every table is copied into a fresh file, which then
// replaces the old one in one step, so that the file is never lost however
// the command ends. On a terminal the progress is shown on standard error.
#include <cstdio>
#include <string>
#include <vector>

#include "db/access/session/access_events.h"
#include "db/access/session/database.h"
#include "db/access/table/table_copy.h"
#include "platform/locale_code_page.h"
#include "tools/kelvorin/command.h"
#include "tools/kelvorin/engine_text.h"
#include "tools/kelvorin/terminal_progress.h"

namespace kelvorin::tool {
namespace {

int Fail(const std::string& why) {
  std::fprintf(stderr, "kelvorin: %s\n", why.c_str());
  return 1;
}

int Compact(const std::vector<std::string>& args) {
  std::string file;
  std::string password;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--password") {
      if (i + 1 >= args.size()) return Fail("option --password needs a value");
      password = args[++i];
    } else if (args[i].rfind("--", 0) == 0) {
      return Fail("unknown option " + args[i]);
    } else if (!file.empty()) {
      return Fail("more than one file given");
    } else {
      file = args[i];
    }
  }
  if (file.empty()) return Fail("no file given");
  return WithEngineTextsInUtf8([&] {
    RegisterTableCopier();
    const TerminalProgressScope progress;
    TABSDatabase database;
    database.SetDatabaseName("compact");
    database.SetDatabaseFileName(file);
    database.SetPassword(password);
    database.SetSilentMode(!progress.Shown());
    const std::string error_text = database.Compact();
    if (error_text.empty()) return 0;
    std::fprintf(stderr, "%s\n", platform::AnsiToUtf8(error_text).c_str());
    return 1;
  });
}

const KelvorinCommand kCompact{"compact", "FILE [--password P]", Compact};

}  // namespace
}  // namespace kelvorin::tool
