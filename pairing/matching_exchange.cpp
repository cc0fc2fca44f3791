// The exchange with the external matching program: "wm.in" out, the command
// lines, "wm.out" back into the matching list, and the mates read from it.
#include "pairing/command_prefix.h"
#include "pairing/pairing_engine.h"
#include "pairing/pairing_error.h"
#include "pairing/text_conversion.h"
#include "pairing/text_lines.h"

namespace pairing {
namespace {

constexpr char kInputFile[] = "wm.in";
constexpr char kOutputFile[] = "wm.out";
constexpr char kManualPrompt[] = "Prosim provedete manualne akci odpovidajici prikazu: ";
constexpr std::size_t kMateTextLimit = 99;

}  // namespace

int PairingEngine::RunCommand(const std::string& command) {
  if (manual_match_) {
    dialogs_.ShowMessage(kManualPrompt + command);
    return 0;
  }
  CommandRunner& runner = runner_ ? *runner_ : process_runner_;
  return runner.Run(command);
}

void PairingEngine::ExchangeTwos() {
  SaveLinesToFile(weights_list_, kInputFile);
  RunCommand(CommandPrefix() + " /c del wm.out");
  RunCommand(CommandPrefix() + " /c wmatch wm.in > wm.out");
  SetMatchingList(LoadLinesFromFile(kOutputFile));
}

void PairingEngine::ExchangeFours() {
  SaveLinesToFile(weights_list_, kInputFile);
  RunCommand("cmd /c del wm.out");
  RunCommand("cmd /c wmatch wm.in > wm.out");
  SetMatchingList(LoadLinesFromFile(kOutputFile));
}

std::int32_t PairingEngine::MateOf(std::int32_t vertex) const {
  std::int64_t index = std::int64_t{vertex} - 1;
  if (index < 0 || index >= static_cast<std::int64_t>(matching_list_.size())) {
    ThrowListIndex(index);
  }
  std::string_view line = matching_list_[static_cast<std::size_t>(index)];
  std::size_t blank = line.find(' ');
  std::string_view mate =
      blank == std::string_view::npos ? line : line.substr(blank + 1, kMateTextLimit);
  return TextToInt(mate);
}

}  // namespace pairing
