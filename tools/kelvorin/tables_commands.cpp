// kelvorin create-table / load / dump / drop-table: a first shell over the
// tables of a database file. Names on the command line are UTF-8; the files
// that load reads and dump writes are TAB-separated text in the engine's
// 8-bit code page (see table_text.h for the form of each value).
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "db/storage/blobs/blob_manager.h"
#include "db/storage/catalog/disk_database_data.h"
#include "db/query/parser/expression.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/scans/table_scans.h"
#include "platform/locale_code_page.h"
#include "tools/kelvorin/command.h"
#include "tools/kelvorin/field_text.h"
#include "tools/kelvorin/table_text.h"

namespace kelvorin::tool {
namespace {

// The file, the table, the other words and the options of a command.
struct TableArgs {
  std::string file;
  std::string table;
  std::vector<std::string> words;
  std::vector<std::string> indexes;
  TABSPassword password;
  std::optional<std::string> blobs;
  std::optional<std::string> filter;
  std::optional<std::string> range;
  std::optional<std::string> plan;
  bool explain = false;
  bool autocommit = false;
  bool multi_user = false;
};

int Fail(const std::string& why) {
  std::fprintf(stderr, "kelvorin: %s\n", why.c_str());
  return 1;
}

std::optional<TableArgs> Parse(const std::vector<std::string>& args, const std::vector<std::string>& options) {
  TableArgs parsed;
  std::vector<std::string> positional;
  const auto takes = [&](const std::string& option) {
    return std::find(options.begin(), options.end(), option) != options.end();
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0) {
      positional.push_back(arg);
    } else if (arg == "--autocommit" && takes(arg)) {
      parsed.autocommit = true;
    } else if (arg == "--multi-user") {
      parsed.multi_user = true;
    } else if (arg == "--explain" && takes(arg)) {
      parsed.explain = true;
    } else if (i + 1 >= args.size()) {
      Fail("option " + arg + " needs a value");
      return std::nullopt;
    } else if (arg == "--password") {
      parsed.password.password = args[++i];
    } else if (arg == "--index" && takes(arg)) {
      parsed.indexes.push_back(args[++i]);
    } else if (arg == "--blobs" && takes(arg)) {
      parsed.blobs = args[++i];
    } else if (arg == "--filter" && takes(arg)) {
      parsed.filter = platform::Utf8ToAnsi(args[++i]);
    } else if (arg == "--range" && takes(arg)) {
      parsed.range = platform::Utf8ToAnsi(args[++i]);
    } else if (arg == "--plan" && takes(arg)) {
      parsed.plan = args[++i];
    } else {
      Fail("unknown option " + arg);
      return std::nullopt;
    }
  }
  if (positional.size() < 2) {
    Fail("a file and a table must be given");
    return std::nullopt;
  }
  parsed.file = positional[0];
  const std::optional<std::string> table = EngineName(positional[1]);
  if (!table) {
    Fail("'" + positional[1] + "' has a character the engine's code page lacks");
    return std::nullopt;
  }
  parsed.table = *table;
  parsed.words.assign(positional.begin() + 2, positional.end());
  return parsed;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return pieces;
    start = end + 1;
  }
}

// FIELD:TYPE[:SIZE]; false (reported) when it is not one.
bool AddField(TABSTableMetadata& defs, const std::string& definition) {
  std::string why;
  const std::optional<TABSDatasetFieldDef> field = ParseFieldText(definition, why);
  if (!field) return Fail(why) == 0;
  defs.DefineFields({*field});
  return true;
}

// NAME:FIELD[,FIELD…][:unique|:primary][:desc][:nocase]
bool AddIndex(TABSTableMetadata& defs, const std::string& definition) {
  const std::vector<std::string> pieces = Split(definition, ':');
  const std::optional<std::string> name = EngineName(pieces[0]);
  if (pieces.size() < 2 || !name || name->empty() || pieces[1].empty()) {
    Fail("'" + definition + "' is not NAME:FIELD[,FIELD...][:unique|:primary][:desc][:nocase]");
    return false;
  }
  auto index = std::make_unique<TABSIndexDef>();
  index->SetName(*name);
  std::vector<std::string> fields;
  for (const std::string& field : Split(pieces[1], ',')) {
    const std::optional<std::string> field_name = EngineName(field);
    if (!field_name || field_name->empty()) {
      Fail("'" + definition + "' names an invalid field");
      return false;
    }
    fields.push_back(*field_name);
  }
  std::string direction, case_option;
  for (size_t i = 2; i < pieces.size(); ++i) {
    if (pieces[i] == "unique") {
      index->SetUnique(true);
    } else if (pieces[i] == "primary") {
      index->SetUnique(true);
      index->SetPrimary(true);
    } else if (pieces[i] == "desc") {
      direction = "DESC";
    } else if (pieces[i] == "nocase") {
      case_option = "NO_CASE";
    } else {
      Fail("'" + definition + "': unknown index option '" + pieces[i] + "'");
      return false;
    }
  }
  index->SetColumns(fields, std::vector<std::string>(fields.size(), direction),
                    std::vector<std::string>(fields.size(), case_option));
  defs.Indexes().Add(std::move(index));
  return true;
}

int CreateTable(const std::vector<std::string>& args) {
  const std::optional<TableArgs> parsed = Parse(args, {"--index"});
  if (!parsed) return 1;
  if (parsed->words.empty()) return Fail("no fields given");
  TABSTableMetadata defs;
  for (const std::string& field : parsed->words) {
    if (!AddField(defs, field)) return 1;
  }
  for (const std::string& index : parsed->indexes) {
    if (!AddIndex(defs, index)) return 1;
  }
  defs.DeriveIndexConstraints();
  TABSDiskDatabaseData database(parsed->file, parsed->password);
  TABSBaseSession session(parsed->multi_user, false);
  const TABSSessionConnection connection(database, session);
  database.CreateTable(parsed->table, defs.Fields(), defs.Indexes(), defs.Constraints());
  return 0;
}

int DropTable(const std::vector<std::string>& args) {
  const std::optional<TableArgs> parsed = Parse(args, {});
  if (!parsed) return 1;
  if (!parsed->words.empty()) return Fail("unexpected '" + parsed->words[0] + "'");
  TABSDiskDatabaseData database(parsed->file, parsed->password);
  TABSBaseSession session(parsed->multi_user, false);
  const TABSSessionConnection connection(database, session);
  database.DeleteTable(session, parsed->table);
  return 0;
}

// The cursor of a command on its table, closed on every way out.
class OpenCursor {
 public:
  OpenCursor(TABSDiskDatabaseData& database, TABSBaseSession& session, const std::string& table)
      : database_(database), cursor_(session, table), table_(*database.OpenTable(cursor_)) {}
  OpenCursor(const OpenCursor&) = delete;
  OpenCursor& operator=(const OpenCursor&) = delete;
  ~OpenCursor() {
    try {
      database_.CloseTable(cursor_);
    } catch (...) {
    }
  }
  TABSDiskTableData& Table() { return table_; }
  TABSScanCursor& Cursor() { return cursor_; }

 private:
  TABSDiskDatabaseData& database_;
  TABSScanCursor cursor_;
  TABSDiskTableData& table_;
};

std::optional<TABSBlobText> BlobForm(const std::optional<std::string>& option, TABSBlobText fallback,
                                     const char* other) {
  if (!option) return fallback;
  if (*option == "hex") return TABSBlobText::kHex;
  if (*option == other) return fallback;
  Fail("--blobs takes hex or " + std::string(other));
  return std::nullopt;
}

// Lines of a TSV text without their line ends (LF or CR LF).
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines = Split(text, '\n');
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  for (std::string& line : lines) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  return lines;
}

int Load(const std::vector<std::string>& args) {
  const std::optional<TableArgs> parsed = Parse(args, {"--autocommit", "--blobs"});
  if (!parsed) return 1;
  const std::optional<TABSBlobText> blobs = BlobForm(parsed->blobs, TABSBlobText::kText, "text");
  if (!blobs) return 1;
  if (parsed->words.size() > 1) return Fail("unexpected '" + parsed->words[1] + "'");
  std::string text;
  if (parsed->words.empty()) {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  } else {
    std::ifstream in(parsed->words[0], std::ios::binary);
    if (!in) return Fail("cannot read '" + parsed->words[0] + "'");
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const std::vector<std::string> lines = Lines(text);
  if (lines.empty()) return Fail("the file has no header line");

  TABSDiskDatabaseData database(parsed->file, parsed->password);
  TABSBaseSession session(parsed->multi_user, false);
  const TABSSessionConnection connection(database, session);
  OpenCursor cursor(database, session, parsed->table);
  TABSDiskTableData& table = cursor.Table();
  std::vector<int32_t> fields;
  for (const std::string& name : Split(lines[0], '\t')) {
    const int32_t field = table.Metadata().Fields().IndexOfName(name);
    if (field < 0) return Fail("line 1: table '" + platform::AnsiToUtf8(parsed->table) + "' has no field '" +
                               platform::AnsiToUtf8(name) + "'");
    fields.push_back(field);
  }
  const int32_t session_no = session.SessionNumber();
  if (!parsed->autocommit) database.StartTransaction(session_no);
  std::vector<uint8_t> record(static_cast<size_t>(table.RecordFields().MemorySize()));
  for (size_t line = 1; line < lines.size(); ++line) {
    std::string error;
    try {
      const std::vector<std::string> cells = Split(lines[line], '\t');
      if (cells.size() != fields.size()) {
        throw ECellError(std::to_string(cells.size()) + " cells for " + std::to_string(fields.size()) + " fields");
      }
      table.InitRecord(session, record.data(), true);
      for (size_t i = 0; i < cells.size(); ++i) SetCellText(table, record.data(), fields[i], cells[i], *blobs);
      const TABSPostResult result = table.InsertRecord(session, record.data());
      if (!result.Succeeded()) {
        error = result.message.empty() ? "the record was not stored (" + std::to_string(static_cast<int>(result.code)) + ")"
                                       : result.message;
      }
    } catch (const std::exception& e) {
      error = e.what();
    }
    table.BlobManager()->ReleaseDescriptors(record.data());
    if (!error.empty()) {
      if (!parsed->autocommit) database.RollbackTransaction(session_no);
      return Fail("line " + std::to_string(line + 1) + ": " + platform::AnsiToUtf8(error));
    }
  }
  if (!parsed->autocommit) database.CommitTransaction(session_no, false);
  return 0;
}

// The object number of an index of the table named on the command line;
// none (reported) when the table has no such index.
std::optional<int32_t> IndexNamed(TABSDiskTableData& table, const std::string& name) {
  const std::optional<std::string> engine_name = EngineName(name);
  const TABSIndexDef* index = engine_name ? table.Metadata().Indexes().Find(*engine_name) : nullptr;
  if (index == nullptr) {
    Fail("table '" + platform::AnsiToUtf8(table.Name()) + "' has no index '" + name + "'");
    return std::nullopt;
  }
  return index->ObjectId();
}

// LOW..HIGH over the cursor's index: each side the values of its leading
// columns separated by commas, either side empty for an open end.
bool SetRange(TABSDiskTableData& table, TABSScanCursor& cursor, const std::string& text) {
  const size_t dots = text.find("..");
  if (dots == std::string::npos) return Fail("--range takes LOW..HIGH") == 0;
  const auto& index = static_cast<const TABSIndexDef&>(*table.Metadata().Indexes().FindByNumber(cursor.IndexId()));
  std::vector<uint8_t> low(static_cast<size_t>(table.RecordFields().MemorySize()));
  std::vector<uint8_t> high(low.size());
  const auto bound = [&](const std::string& side, std::vector<uint8_t>& record) -> int32_t {
    if (side.empty()) return -1;
    table.InitRecord(cursor.Session(), record.data(), false);
    const std::vector<std::string> values = Split(side, ',');
    if (values.size() > index.Columns().size()) {
      throw ECellError("the index has " + std::to_string(index.Columns().size()) + " columns");
    }
    for (size_t i = 0; i < values.size(); ++i) {
      const int32_t field = table.Metadata().Fields().IndexOfName(index.Columns()[i].field_name);
      SetCellText(table, record.data(), field, values[i], TABSBlobText::kText);
    }
    return static_cast<int32_t>(values.size());
  };
  try {
    const int32_t low_columns = bound(text.substr(0, dots), low);
    const int32_t high_columns = bound(text.substr(dots + 2), high);
    cursor.SetRange(low_columns < 0 ? nullptr : low.data(), low_columns, false,
                    high_columns < 0 ? nullptr : high.data(), high_columns, false,
                    static_cast<int32_t>(low.size()));
  } catch (const ECellError& e) {
    return Fail("--range: " + platform::AnsiToUtf8(e.what())) == 0;
  }
  return true;
}

int Dump(const std::vector<std::string>& args) {
  const std::optional<TableArgs> parsed =
      Parse(args, {"--blobs", "--index", "--filter", "--range", "--plan", "--explain"});
  if (!parsed) return 1;
  const std::optional<TABSBlobText> blobs = BlobForm(parsed->blobs, TABSBlobText::kLength, "length");
  if (!blobs) return 1;
  if (!parsed->words.empty()) return Fail("unexpected '" + parsed->words[0] + "'");
  if (parsed->indexes.size() > 1) return Fail("--index is given once");
  if (parsed->range && parsed->indexes.empty()) return Fail("--range needs --index");
  TABSDiskDatabaseData database(parsed->file, parsed->password, true);
  TABSBaseSession session(parsed->multi_user, false);
  const TABSSessionConnection connection(database, session);
  OpenCursor open(database, session, parsed->table);
  TABSDiskTableData& table = open.Table();
  TABSScanCursor& cursor = open.Cursor();
  if (!parsed->indexes.empty()) {
    const std::optional<int32_t> index = IndexNamed(table, parsed->indexes[0]);
    if (!index) return 1;
    cursor.SetIndexId(*index);
  }
  if (parsed->range && !SetRange(table, cursor, *parsed->range)) return 1;
  TABSExpression filter;
  if (parsed->filter) {
    filter.ParseForFilter(&cursor, *parsed->filter, /*partial_key=*/true, /*case_insensitive=*/false);
    cursor.SetFilter(&filter);
  }
  if (parsed->plan && *parsed->plan == "storage") {
    cursor.ForceAccessPath(TABSAccessPath::kStorage);
  } else if (parsed->plan && *parsed->plan != "auto") {
    const std::optional<int32_t> index = IndexNamed(table, *parsed->plan);
    if (!index) return 1;
    cursor.ForceAccessPath(TABSAccessPath::kIndex, *index);
  }
  if (parsed->explain) {
    const std::string plan = platform::AnsiToUtf8(TABSTableScans::Explain(cursor));
    std::fwrite(plan.data(), 1, plan.size(), stdout);
    return 0;
  }
  const TABSFieldDefs& fields = table.Metadata().Fields();
  std::string out;
  for (int32_t i = 0; i < fields.Count(); ++i) out += (i > 0 ? "\t" : "") + fields.Items(i)->Name();
  out += "\n";
  std::vector<uint8_t> record;
  for (TABSGetRecordResult r = TABSTableScans::GetRecord(cursor, TABSGetRecordMode::kFirst);
       r == TABSGetRecordResult::kFound; r = TABSTableScans::GetRecord(cursor, TABSGetRecordMode::kNext)) {
    record = cursor.Record();
    for (int32_t i = 0; i < fields.Count(); ++i) {
      if (i > 0) out += '\t';
      out += CellText(table, session.SessionNumber(), record.data(), i, *blobs);
    }
    out += '\n';
    table.BlobManager()->ReleaseDescriptors(record.data());
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}

const KelvorinCommand kCreateTable(
    "create-table",
    "FILE TABLE FIELD:TYPE[:SIZE]... [--index NAME:FIELD[,FIELD...][:unique|:primary][:desc][:nocase]]... "
    "[--password P] [--multi-user]",
    CreateTable);
const KelvorinCommand kLoad("load", "FILE TABLE [TSV] [--autocommit] [--blobs text|hex] [--password P] [--multi-user]",
                            Load);
const KelvorinCommand kDump("dump",
                            "FILE TABLE [--index NAME] [--filter TEXT] [--range LOW..HIGH] "
                            "[--plan auto|storage|INDEX] [--explain] [--blobs length|hex] [--password P] "
                            "[--multi-user]",
                            Dump);
const KelvorinCommand kDropTable("drop-table", "FILE TABLE [--password P] [--multi-user]", DropTable);

}  // namespace
}  // namespace kelvorin::tool
