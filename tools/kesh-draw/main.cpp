// kesh-draw [--byes N] [--twos] [--missing-as-zero] [FILE | --database FILE]
//
// Draws the next round of a history in the grid's clipboard text format (from
// FILE or standard input) with the pairing engine, through the real cmd and
// wmatch in the working directory, and writes the exported grid to standard
// output. With --database it draws the next round of a tournament database,
// stores it there (all or nothing) and writes the new round's seating.
// Errors go to standard error with exit status 1.
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "pairing/pairing_engine.h"
#include "pairing/text_lines.h"
#include "tools/kesh-draw/database_draw.h"
#include "tools/kesh-draw/options.h"

namespace {

// Answers the missing-results question from the command line; messages go
// to standard error.
class CommandLineDialogs : public pairing::UserDialogs {
 public:
  explicit CommandLineDialogs(bool missing_as_zero) : missing_as_zero_(missing_as_zero) {}
  bool AskYesNo(const std::string&) override { return missing_as_zero_; }
  void ShowMessage(const std::string& text) override {
    std::fprintf(stderr, "%s\n", text.c_str());
  }

 private:
  bool missing_as_zero_;
};

// The history text from FILE, or standard input for an empty name; a file
// that cannot be opened or read is reported here.
std::optional<std::string> ReadInput(const std::string& file_name) {
  std::ifstream file;
  if (!file_name.empty()) {
    file.open(file_name, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "Cannot open file \"%s\". %s\n", file_name.c_str(), std::strerror(errno));
      return std::nullopt;
    }
  }
  errno = 0;
  std::optional<std::string> text = pairing::ReadWhole(file_name.empty() ? std::cin : file);
  if (!text) {
    std::fprintf(stderr, "Cannot read file \"%s\". %s\n",
                 file_name.empty() ? "-" : file_name.c_str(), std::strerror(errno ? errno : EIO));
  }
  return text;
}

// The user's locale decides how results are written.
char LocaleDecimalSeparator() {
  std::setlocale(LC_NUMERIC, "");
  const char* point = std::localeconv()->decimal_point;
  char separator = point != nullptr && point[0] != '\0' && point[1] == '\0' ? point[0] : '.';
  std::setlocale(LC_NUMERIC, "C");
  return separator;
}

bool WriteOut(const std::string& text, const char* what) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "Cannot write the %s. %s\n", what, std::strerror(errno));
    return false;
  }
  return true;
}

int DrawFromDatabase(const kesh_draw::Options& options) {
  CommandLineDialogs dialogs(options.missing_as_zero);
  kesh_draw::DatabaseDraw draw;
  draw.file = options.database;
  draw.byes = options.byes;
  draw.mode = options.twos ? pairing::DrawMode::kTwos : pairing::DrawMode::kFours;
  draw.decimal_separator = LocaleDecimalSeparator();
  std::optional<std::string> seating = kesh_draw::DrawIntoDatabase(draw, dialogs);
  if (!seating) return 1;  // the "no data" message is already out
  return WriteOut(*seating, "new round's seating") ? 0 : 1;
}

// The draw itself; every failure is an exception or a message already out.
int Draw(const kesh_draw::Options& options) {
  if (!options.database.empty()) return DrawFromDatabase(options);
  std::optional<std::string> input = ReadInput(options.file);
  if (!input) return 1;

  CommandLineDialogs dialogs(options.missing_as_zero);
  pairing::PairingEngine engine(dialogs);
  engine.SetDecimalSeparator(LocaleDecimalSeparator());
  engine.SetByesText(options.byes);
  // The history alone decides the counters: no row at all means no players.
  engine.SetPlayerCount(0);
  engine.FitGrid();
  engine.ImportFromText(kesh_draw::HistoryText(*input));
  std::optional<std::string> drawn =
      engine.RunOneClick(options.twos ? pairing::DrawMode::kTwos : pairing::DrawMode::kFours);
  if (!drawn) return 1;  // the "no data" message is already out
  return WriteOut(*drawn, "drawn grid") ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  kesh_draw::Options options;
  std::string error;
  if (!kesh_draw::ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "%s\n%s\n", error.c_str(), kesh_draw::kUsage);
    return 1;
  }
  try {
    return Draw(options);
  } catch (const std::exception& e) {
    // The pairing's own errors, and out of memory and the like: one line and
    // status 1, never an abort.
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
