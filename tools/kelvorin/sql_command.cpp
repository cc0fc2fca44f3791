// kelvorin sql FILE [--password P] [--multi-user] [-c TEXT | -f SCRIPT]
//              [--param NAME=VALUE]... [--explain]
// The engine's SQL shell. With -c or -f it runs the statements of the text or
// script (which may hold dot commands between its statements) and stops at
// the first error (status 1); otherwise it reads statements at a prompt (a
// continuation prompt until the ';' that ends one) and goes on after errors.
// An error names the place of its statement, or of the fault in a text that
// does not parse. Each statement's rows are printed as a header of column
// names and TAB-separated rows, NULL as \N; statements that change rows print
// "N rows affected". While a transaction is open the prompt says so; leaving
// the shell with one open rolls it back and says so. Dot commands: .tables,
// .schema TABLE, .timer on|off, .quit. Ctrl-C cancels the running statement,
// or at the prompt drops the statement being typed. Text is UTF-8 here and
// the engine's code page inside.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "db/access/local/local_session.h"
#include "db/access/ddl/ddl_statement.h"
#include "db/access/ddl/ddl_statements.h"
#include "db/access/query/select_into.h"
#include "db/query/dml/data_statements.h"
#include "db/query/dml/sql_transaction.h"
#include "db/query/sql/sql_processor.h"
#include "db/tables/values/field_types.h"
#include "tools/kelvorin/command.h"
#include "tools/kelvorin/engine_text.h"
#include "tools/kelvorin/table_text.h"

#ifdef KELVORIN_READLINE
#include <readline/history.h>
#include <readline/readline.h>
#endif

namespace kelvorin::tool {
namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) { g_interrupted = true; }

struct ShellArgs {
  std::string file;
  std::string password;
  bool multi_user = false;
  std::optional<std::string> text;
  std::optional<std::string> script;
  std::vector<std::pair<std::string, std::string>> params;
  bool explain = false;
};

int Usage() {
  std::fprintf(stderr,
               "usage: kelvorin sql FILE [--password P] [--multi-user] [-c TEXT | -f SCRIPT] "
               "[--param NAME=VALUE]... [--explain]\n");
  return 1;
}

std::optional<ShellArgs> ParseArgs(const std::vector<std::string>& args) {
  ShellArgs parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (arg == "--password" && has_value) {
      parsed.password = args[++i];
    } else if (arg == "--multi-user") {
      parsed.multi_user = true;
    } else if (arg == "-c" && has_value) {
      parsed.text = args[++i];
    } else if (arg == "-f" && has_value) {
      parsed.script = args[++i];
    } else if (arg == "--param" && has_value) {
      const std::string& pair = args[++i];
      const size_t equals = pair.find('=');
      if (equals == std::string::npos || equals == 0) return std::nullopt;
      parsed.params.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
    } else if (arg == "--explain") {
      parsed.explain = true;
    } else if (parsed.file.empty() && !arg.empty() && arg[0] != '-') {
      parsed.file = arg;
    } else {
      return std::nullopt;
    }
  }
  if (parsed.file.empty() || (parsed.text && parsed.script)) return std::nullopt;
  return parsed;
}

// A value given on the command line: an integer when it reads as one,
// else text.
TABSVariant ParamValue(const std::string& text) {
  TABSVariant value;
  char* end = nullptr;
  const long long number = std::strtoll(text.c_str(), &end, 10);
  if (!text.empty() && end != nullptr && *end == '\0' && number >= INT32_MIN && number <= INT32_MAX) {
    value.SetInteger(static_cast<int32_t>(number));
  } else {
    value.SetString(platform::Utf8ToAnsi(text));
  }
  return value;
}

void Print(const std::string& engine_text) {
  const std::string text = platform::AnsiToUtf8(engine_text);
  std::fwrite(text.data(), 1, text.size(), stdout);
}

class Shell {
 public:
  Shell(const ShellArgs& args, bool stop_on_error) : args_(args), stop_on_error_(stop_on_error) {
    RegisterDataStatements();
    RegisterDDLStatements();
    TABSSessionSettings settings;
    settings.file_name = args.file;
    settings.password.password = args.password;
    settings.multi_user = args.multi_user;
    session_ = std::make_unique<TABSLocalSession>(settings);
    session_->Connect();
    context_.session = session_.get();
    context_.open_database = [this](std::string_view name) -> TABSLocalSession& { return OtherDatabase(name); };
    context_.copy_into = CopyIntoNewTable;
    context_.cancelled = [] { return g_interrupted.exchange(false); };
  }
  // A transaction left open is not committed by leaving.
  ~Shell() {
    if (!session_->InTransaction()) return;
    try {
      session_->Rollback();
      std::fprintf(stderr, "kelvorin: the open transaction was rolled back\n");
    } catch (const EABSException& error) {
      std::fprintf(stderr, "%s\n", platform::AnsiToUtf8(error.what()).c_str());
    }
  }
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  bool InTransaction() const { return session_->InTransaction(); }

  // Runs one text of statements; false when it failed.
  bool RunText(const std::string& utf8_text) {
    g_interrupted = false;
    const auto start = std::chrono::steady_clock::now();
    TABSSQLProcessor processor(context_);
    try {
      processor.SetSQL(platform::Utf8ToAnsi(utf8_text));
      for (const auto& [name, value] : args_.params) {
        TABSSQLParam& param = processor.Params().AddParam();
        param.SetName(platform::Utf8ToAnsi(name));
        static_cast<TABSVariant&>(param) = ParamValue(value);
      }
      processor.RunEach(true, [&](TABSSQLCommand& statement) {
        if (args_.explain) Print(statement.Explain());
        std::unique_ptr<TABSLocalCursor> rows = statement.TakeResultCursor();
        if (rows != nullptr) {
          PrintRows(*rows);
        } else if (CountsRows(statement)) {
          std::printf("%lld rows affected\n", static_cast<long long>(statement.RowsAffected()));
        }
      });
    } catch (const EABSException& error) {
      std::fflush(stdout);
      // An error of a running statement says which one it was; those of
      // parsing name their place themselves.
      std::string place;
      if (const auto running = processor.RunningStatementPlace()) {
        place = " (in the statement at line " + std::to_string(running->line) + ", column " +
                std::to_string(running->column) + ")";
      }
      std::fprintf(stderr, "%s%s\n", platform::AnsiToUtf8(error.what()).c_str(), place.c_str());
      return false;
    }
    if (timer_) {
      const auto ms = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
      std::printf("Run time: %.3f ms\n", static_cast<double>(ms.count()) / 1000.0);
    }
    return true;
  }

  // A dot command; false when it failed. Sets *quit for .quit.
  bool RunDotCommand(const std::string& line, bool* quit) {
    std::istringstream words(line);
    std::string command;
    std::string argument;
    words >> command >> argument;
    if (command == ".quit" || command == ".exit") {
      *quit = true;
      return true;
    }
    if (command == ".tables") {
      for (const std::string& name : session_->TableNames()) Print(name + "\n");
      return true;
    }
    if (command == ".timer" && (argument == "on" || argument == "off")) {
      timer_ = argument == "on";
      return true;
    }
    if (command == ".schema" && !argument.empty()) return PrintSchema(platform::Utf8ToAnsi(argument));
    std::fprintf(stderr, "kelvorin: unknown command '%s' (.tables, .schema TABLE, .timer on|off, .quit)\n",
                 line.c_str());
    return false;
  }

  bool stop_on_error() const { return stop_on_error_; }

 private:
  // Transaction and structure statements change no rows: a count after
  // them would only mislead.
  static bool CountsRows(const TABSSQLCommand& statement) {
    return dynamic_cast<const TABSSQLStartTransaction*>(&statement) == nullptr &&
           dynamic_cast<const TABSSQLCommit*>(&statement) == nullptr &&
           dynamic_cast<const TABSSQLRollback*>(&statement) == nullptr &&
           dynamic_cast<const TABSDDLStatement*>(&statement) == nullptr;
  }

  TABSLocalSession& OtherDatabase(std::string_view name) {
    for (auto& [alias, session] : others_) {
      if (alias == name) return *session;
    }
    TABSSessionSettings settings;
    settings.file_name = std::string(name);
    auto session = std::make_unique<TABSLocalSession>(settings);
    session->Connect();
    others_.emplace_back(std::string(name), std::move(session));
    return *others_.back().second;
  }

  void PrintRows(TABSLocalCursor& cursor) {
    TABSTableData& table = cursor.OpenTable();
    const TABSFieldDefs& fields = table.Metadata().Fields();
    std::string out;
    for (int32_t i = 0; i < fields.Count(); ++i) out += (i > 0 ? "\t" : "") + fields.Items(i)->Name();
    out += '\n';
    std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
    cursor.First();
    while (cursor.GetRecord(buffer.data(), TABSGetRecordMode::kNext) == TABSGetRecordResult::kFound) {
      for (int32_t i = 0; i < fields.Count(); ++i) {
        if (i > 0) out += '\t';
        out += TABSRecordFields::IsNull(buffer.data(), i)
                   ? std::string("\\N")
                   : CellText(table, cursor.SessionNumber(), buffer.data(), i, TABSBlobText::kLength);
      }
      out += '\n';
      if (out.size() > (1 << 16)) {
        Print(out);
        out.clear();
      }
    }
    Print(out);
  }

  bool PrintSchema(const std::string& table_name) {
    try {
      TABSLocalCursor cursor(*session_, table_name, TABSCursorOptions{.read_only = true});
      cursor.Open();
      const TABSTableMetadata& metadata = cursor.OpenTable().Metadata();
      std::string out = "CREATE TABLE " + table_name + " (\n";
      const TABSFieldDefs& fields = metadata.Fields();
      for (int32_t i = 0; i < fields.Count(); ++i) {
        const TABSFieldDef& field = *fields.Items(i);
        out += "  " + field.Name() + " " + std::string(ColumnTypeName(field.ColumnType()));
        if (field.DeclaredSize() > 0 && IsStringColumn(field.ColumnType())) {
          out += "(" + std::to_string(field.DeclaredSize()) + ")";
        }
        out += i + 1 < fields.Count() ? ",\n" : "\n";
      }
      out += ");\n";
      const TABSIndexDefs& indexes = metadata.Indexes();
      for (int32_t i = 0; i < indexes.Count(); ++i) {
        const TABSIndexDef& index = *indexes.Items(i);
        if (index.Temporary()) continue;
        out += std::string("CREATE ") + (index.Unique() || index.Primary() ? "UNIQUE " : "") + "INDEX " +
               index.Name() + " ON " + table_name + " (";
        for (size_t c = 0; c < index.Columns().size(); ++c) {
          out += (c > 0 ? ", " : "") + index.Columns()[c].field_name;
        }
        out += ");\n";
      }
      Print(out);
      return true;
    } catch (const EABSException& error) {
      std::fprintf(stderr, "%s\n", platform::AnsiToUtf8(error.what()).c_str());
      return false;
    }
  }

  const ShellArgs& args_;
  bool stop_on_error_;
  bool timer_ = false;
  std::unique_ptr<TABSLocalSession> session_;
  std::vector<std::pair<std::string, std::unique_ptr<TABSLocalSession>>> others_;
  TABSSQLQueryContext context_;
};

// Whether the statement text ends with a ';' outside strings and comments.
bool StatementComplete(const std::string& text) {
  char quote = 0;
  bool complete = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"' || c == '[') {
      quote = c == '[' ? ']' : c;
      complete = false;
    } else if (c == '-' && i + 1 < text.size() && text[i + 1] == '-') {
      i = text.find('\n', i);
      if (i == std::string::npos) break;
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      i = text.find("*/", i + 2);
      if (i == std::string::npos) return false;
      ++i;
    } else if (c == ';') {
      complete = true;
    } else if (static_cast<unsigned char>(c) > ' ') {
      complete = false;
    }
  }
  return complete && quote == 0;
}

#ifdef KELVORIN_READLINE
// Ctrl-C at the prompt drops what was typed, as in other shells: readline
// calls this hook, outside the signal handler, when a signal broke its wait
// for a key and while it waits (a signal that came between two waits). The
// line starts afresh under the prompt of a new statement.
bool g_input_dropped = false;
const char* g_fresh_prompt = "";

int DropInputOnInterrupt() {
  if (!g_interrupted.exchange(false)) return 0;
  g_input_dropped = true;
  rl_replace_line("", 0);
  rl_set_prompt(g_fresh_prompt);
  rl_crlf();
  rl_on_new_line();
  rl_redisplay();
  return 0;
}
#endif

// Reads one line; *dropped tells that Ctrl-C discarded the statement typed
// before it.
bool ReadLine(const char* prompt, const char* fresh_prompt, bool interactive, std::string* line, bool* dropped) {
  *dropped = false;
#ifdef KELVORIN_READLINE
  if (interactive) {
    rl_signal_event_hook = DropInputOnInterrupt;
    rl_event_hook = DropInputOnInterrupt;
    g_fresh_prompt = fresh_prompt;
    g_interrupted = false;
    g_input_dropped = false;
    char* read = readline(prompt);
    if (read == nullptr) return false;
    *line = read;
    std::free(read);
    *dropped = g_input_dropped;
    if (!line->empty()) add_history(line->c_str());
    return true;
  }
#else
  (void)fresh_prompt;
#endif
  if (interactive) {
    std::fputs(prompt, stdout);
    std::fflush(stdout);
  }
  return static_cast<bool>(std::getline(std::cin, *line));
}

// Lines from standard input: dot commands at the start of a statement,
// statements up to their ';'.
int RunPrompt(Shell& shell, bool interactive) {
  std::string pending;
  std::string line;
  bool failed = false;
  for (;;) {
    const bool transaction = shell.InTransaction();
    const char* fresh = transaction ? "kelvorin (transaction)> " : "kelvorin> ";
    const char* prompt = pending.empty() ? fresh : (transaction ? "                   ...> " : "     ...> ");
    bool dropped = false;
    if (!ReadLine(prompt, fresh, interactive, &line, &dropped)) break;
    if (dropped) pending.clear();
    if (pending.empty() && !line.empty() && line[0] == '.') {
      bool quit = false;
      if (!shell.RunDotCommand(line, &quit)) failed = true;
      if (quit) break;
      if (failed && shell.stop_on_error()) return 1;
      continue;
    }
    pending += line;
    pending += '\n';
    if (!StatementComplete(pending)) continue;
    if (!shell.RunText(pending)) failed = true;
    pending.clear();
    if (failed && shell.stop_on_error()) return 1;
  }
  if (!pending.empty() && pending.find_first_not_of(" \t\r\n") != std::string::npos) {
    if (!shell.RunText(pending)) failed = true;
  }
  // At a terminal an error was answered at the prompt; leaving is no failure.
  return failed && !interactive ? 1 : 0;
}

// A script: its statements run as written, between them dot commands at
// the start of a line. Each run of statements is given the script's lines
// before it as empty lines, so that an error names the script's line.
int RunScript(Shell& shell, const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  std::string block;
  bool has_sql = false;
  size_t lines_read = 0;
  while (std::getline(lines, line)) {
    ++lines_read;
    const bool between = !has_sql || StatementComplete(block);
    if (between && !line.empty() && line[0] == '.') {
      if (has_sql && !shell.RunText(block)) return 1;
      has_sql = false;
      block.assign(lines_read, '\n');
      bool quit = false;
      if (!shell.RunDotCommand(line, &quit)) return 1;
      if (quit) return 0;
      continue;
    }
    block += line;
    block += '\n';
    if (line.find_first_not_of(" \t\r") != std::string::npos) has_sql = true;
  }
  return has_sql && !shell.RunText(block) ? 1 : 0;
}

int Sql(const std::vector<std::string>& args) {
  const std::optional<ShellArgs> parsed = ParseArgs(args);
  if (!parsed) return Usage();
  std::signal(SIGINT, OnInterrupt);
  return WithEngineTextsInUtf8([&] {
    if (parsed->text) {
      Shell shell(*parsed, true);
      return shell.RunText(*parsed->text) ? 0 : 1;
    }
    if (parsed->script) {
      std::ifstream script(*parsed->script, std::ios::binary);
      if (!script) {
        std::fprintf(stderr, "kelvorin: cannot read '%s'\n", parsed->script->c_str());
        return 1;
      }
      std::stringstream text;
      text << script.rdbuf();
      Shell shell(*parsed, true);
      return RunScript(shell, text.str());
    }
    const bool interactive = isatty(STDIN_FILENO) != 0;
    Shell shell(*parsed, !interactive);
    return RunPrompt(shell, interactive);
  });
}

const KelvorinCommand kSql("sql",
                           "FILE [--password P] [--multi-user] [-c TEXT | -f SCRIPT] [--param NAME=VALUE]... "
                           "[--explain]",
                           Sql);

}  // namespace
}  // namespace kelvorin::tool
