// Fuzz target: any clipboard text imports, exports and imports back to the
// same text, and the weights computations and the matching reader on it fail
// only with the engine's own errors.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "pairing/pairing_engine.h"
#include "pairing/pairing_error.h"
#include "pairing/text_lines.h"

namespace {

class AlternatingDialogs : public pairing::UserDialogs {
 public:
  bool AskYesNo(const std::string&) override { return (++asked_ & 1) != 0; }
  void ShowMessage(const std::string&) override {}

 private:
  unsigned asked_ = 0;
};

template <typename Fn>
void Guarded(Fn fn) {
  try {
    fn();
  } catch (const pairing::PairingError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  AlternatingDialogs dialogs;
  pairing::PairingEngine engine(dialogs);
  engine.SetDecimalSeparator(size > 0 && (data[0] & 1) ? ',' : '.');
  engine.ImportFromText(text);
  std::string exported = engine.ExportToText();
  pairing::PairingEngine again(dialogs);
  again.SetDecimalSeparator(engine.DecimalSeparator());
  again.ImportFromText(exported);
  if (again.ExportToText() != exported || again.PlayerCount() != engine.PlayerCount() ||
      again.RoundCount() != engine.RoundCount()) {
    std::abort();
  }
  if (engine.PlayerCount() <= 40 && engine.RoundCount() <= 40) {
    engine.SetByesText(std::to_string(size % 4));
    Guarded([&] { engine.ComputeTwoWeights(); });
    if (engine.RoundCount() > 0) Guarded([&] { engine.ComputeFourWeights(); });
  }
  engine.SetMatchingList(pairing::SplitLines(text));
  for (std::int32_t v = 0; v <= 8; ++v) Guarded([&] { engine.MateOf(v); });
  return 0;
}
