// kelvorin copy-table / restructure: whole-table copies through the table
// component, so that each is all or nothing: the copy fills a hidden table
// that takes its name in one commit, and a process that dies on the way
// leaves the file as it was. On a terminal the progress is shown on
// standard error.
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "db/access/session/database.h"
#include "db/access/table/table.h"
#include "platform/locale_code_page.h"
#include "tools/kelvorin/command.h"
#include "tools/kelvorin/engine_text.h"
#include "tools/kelvorin/field_text.h"
#include "tools/kelvorin/terminal_progress.h"

namespace kelvorin::tool {
namespace {

constexpr const char* kAlias = "kelvorin";

int Fail(const std::string& why) {
  std::fprintf(stderr, "kelvorin: %s\n", why.c_str());
  return 1;
}

struct CopyArgs {
  std::vector<std::string> words;  // FILE, then the command's own words
  std::string password;
  bool overwrite = false;
};

std::optional<CopyArgs> Parse(const std::vector<std::string>& args, bool takes_overwrite) {
  CopyArgs parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--password") {
      if (i + 1 >= args.size()) {
        Fail("option --password needs a value");
        return std::nullopt;
      }
      parsed.password = args[++i];
    } else if (args[i] == "--overwrite" && takes_overwrite) {
      parsed.overwrite = true;
    } else if (args[i].rfind("--", 0) == 0) {
      Fail("unknown option " + args[i]);
      return std::nullopt;
    } else {
      parsed.words.push_back(args[i]);
    }
  }
  return parsed;
}

// A table name from the command line; none (reported) when it has no form
// in the engine's code page.
std::optional<std::string> TableName(const std::string& utf8) {
  std::optional<std::string> name = EngineName(utf8);
  if (!name) Fail("'" + utf8 + "' has a character the engine's code page lacks");
  return name;
}

// The messages of an operation that returned false, one per line.
int FailWithText(const std::string& error_text) {
  std::string text = platform::AnsiToUtf8(error_text);
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  std::fprintf(stderr, "%s\n", text.c_str());
  return 1;
}

// Runs `work` on the named table of the command's database, open for it
// (silent unless the progress goes to a terminal); `work` returns false
// with its messages in the error text.
int OnTable(const CopyArgs& args, const std::string& name,
            const std::function<bool(TABSTable&, std::string& error_text)>& work) {
  return WithEngineTextsInUtf8([&] {
    const TerminalProgressScope progress;
    TABSDatabase database;
    database.SetDatabaseName(kAlias);
    database.SetDatabaseFileName(args.words[0]);
    database.SetPassword(args.password);
    database.SetSilentMode(!progress.Shown());
    database.Open();
    TABSTable table;
    table.SetDatabaseName(kAlias);
    table.SetTableName(name);
    std::string error_text;
    return work(table, error_text) ? 0 : FailWithText(error_text);
  });
}

int CopyTable(const std::vector<std::string>& args) {
  const std::optional<CopyArgs> parsed = Parse(args, true);
  if (!parsed) return 1;
  if (parsed->words.size() != 3) return Fail("copy-table takes FILE SOURCE TARGET");
  const std::optional<std::string> source = TableName(parsed->words[1]);
  const std::optional<std::string> target = TableName(parsed->words[2]);
  if (!source || !target) return 1;
  return OnTable(*parsed, *source, [&](TABSTable& table, std::string& error_text) {
    return table.CopyTable(*target, error_text, 100, 0, true, parsed->overwrite);
  });
}

// The table's fields become the given list: a field of an existing name
// keeps its settings (default, bounds, auto-increment) and its values,
// converted to the new type; a new name adds a field; a field left out is
// dropped with its values.
void MapFields(TABSFieldDefs& fields, const std::vector<TABSDatasetFieldDef>& wanted) {
  TABSTableMetadata given;
  given.DefineFields(wanted);
  TABSFieldDefs mapped;
  for (int32_t i = 0; i < given.Fields().Count(); ++i) {
    const TABSFieldDef& field = *given.Fields().Items(i);
    const TABSFieldDef* existing = fields.Find(field.Name());
    auto* added = static_cast<TABSFieldDef*>(mapped.AddNew());
    if (existing == nullptr) {
      added->Assign(field);
      continue;
    }
    added->Assign(*existing);
    if (existing->ColumnType() != field.ColumnType() || existing->DeclaredSize() != field.DeclaredSize()) {
      added->SetType(field.ColumnType(), field.DeclaredSize());
    }
  }
  fields.Swap(mapped);
}

int Restructure(const std::vector<std::string>& args) {
  const std::optional<CopyArgs> parsed = Parse(args, false);
  if (!parsed) return 1;
  if (parsed->words.size() < 3) return Fail("restructure takes FILE TABLE FIELD:TYPE[:SIZE]...");
  const std::optional<std::string> name = TableName(parsed->words[1]);
  if (!name) return 1;
  std::vector<TABSDatasetFieldDef> wanted;
  for (size_t i = 2; i < parsed->words.size(); ++i) {
    std::string why;
    std::optional<TABSDatasetFieldDef> field = ParseFieldText(parsed->words[i], why);
    if (!field) return Fail(why);
    wanted.push_back(std::move(*field));
  }
  return OnTable(*parsed, *name, [&](TABSTable& table, std::string& error_text) {
    table.InitFieldDefs();
    MapFields(table.MutableRestructureDefs().Fields(), wanted);
    return table.RestructureTable(error_text);
  });
}

const KelvorinCommand kCopyTable{"copy-table", "FILE SOURCE TARGET [--overwrite] [--password P]", CopyTable};
const KelvorinCommand kRestructure{"restructure", "FILE TABLE FIELD:TYPE[:SIZE]... [--password P]", Restructure};

}  // namespace
}  // namespace kelvorin::tool
