#include "tools/kesh-draw/database_draw.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <utility>

#include "records/data/tournament_data.h"
#include "records/transfer/round_transfer.h"

namespace kesh_draw {
namespace {

// Player -> (name, table) of one stored round, read after the chain.
std::string RoundText(records::TData& data, int32_t round) {
  std::map<int32_t, std::pair<std::string, std::string>> seating;
  kelvorin::TABSTable& seatings = data.tblSeskupeni();
  for (seatings.First(); !seatings.Eof(); seatings.Next()) {
    if (seatings.FieldByName("Kolo").AsInteger() != round) continue;
    seating[seatings.FieldByName("id_hrace").AsInteger()] = {seatings.FieldByName("Jmeno").AsString(),
                                                             seatings.FieldByName("Stul").AsString()};
  }
  std::string text = "id_hrace\tJmeno\tStul\n";
  for (const auto& [player, place] : seating) {
    text += std::to_string(player) + '\t' + place.first + '\t' + place.second + '\n';
  }
  return text;
}

}  // namespace

std::optional<std::string> DrawIntoDatabase(const DatabaseDraw& draw, pairing::UserDialogs& dialogs) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(draw.file, error)) {
    throw std::runtime_error("Cannot open file \"" + draw.file + "\". " + std::strerror(ENOENT));
  }
  records::TData data;
  data.InitOpen(draw.file);
  pairing::PairingEngine engine(dialogs);
  engine.SetDecimalSeparator(draw.decimal_separator);
  engine.SetByesText(draw.byes);
  const bool drawn = records::RoundChain(data, &engine, [&](pairing::PairingEngine& chained) {
    return chained.RunOneClick(draw.mode).has_value();
  });
  if (!drawn) return std::nullopt;
  return RoundText(data, engine.RoundCount());
}

}  // namespace kesh_draw
