#include "records/players_list/players_list.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <set>

#include "platform/locale_code_page.h"
#include "records/players_list/player_name.h"
#include "records/records_error.h"

namespace records {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

[[noreturn]] void FailAt(int line, const std::string& text) {
  throw RecordsError("Řádek " + std::to_string(line) + ": " + text);
}

// The parts of one line as comma text (see the header).
std::vector<std::string> SplitCommaText(std::string_view line) {
  std::vector<std::string> parts;
  size_t pos = 0;
  const auto skip_blanks = [&] {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
  };
  skip_blanks();
  while (pos < line.size()) {
    std::string part;
    if (line[pos] == '"') {
      ++pos;
      while (pos < line.size()) {
        if (line[pos] == '"') {
          if (pos + 1 < line.size() && line[pos + 1] == '"') {
            part += '"';
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        part += line[pos++];
      }
    } else {
      const size_t start = pos;
      while (pos < line.size() && !IsBlank(line[pos]) && line[pos] != ',') ++pos;
      part.assign(line.substr(start, pos - start));
    }
    parts.push_back(std::move(part));
    skip_blanks();
    if (pos < line.size() && line[pos] == ',') {
      ++pos;
      if (pos == line.size()) parts.emplace_back();
      skip_blanks();
    }
  }
  return parts;
}

// A decimal whole number with an optional sign, nothing else.
std::optional<int64_t> WholeNumber(std::string_view text) {
  if (text.size() > 1 && text.front() == '+') text.remove_prefix(1);
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

struct ParsedLine {
  int line;
  std::optional<int32_t> id;
  std::string name;
};

ParsedLine ParseLine(std::string_view text, int line, bool utf8) {
  const std::vector<std::string> parts = SplitCommaText(text);
  if (parts.size() < 2) FailAt(line, "chybí jméno hráče (řádek má mít tvar číslo,\"jméno\")");
  ParsedLine parsed{line, std::nullopt, {}};
  if (!parts[0].empty()) {
    const std::string id_text = utf8 ? parts[0] : platform::AnsiToUtf8(parts[0]);
    const std::optional<int64_t> id = WholeNumber(parts[0]);
    if (!id) FailAt(line, "'" + id_text + "' není celé číslo hráče");
    if (*id < 1 || *id > kMaxListedPlayers) {
      FailAt(line, "číslo hráče " + std::to_string(*id) + " není v rozsahu 1.." + std::to_string(kMaxListedPlayers));
    }
    parsed.id = static_cast<int32_t>(*id);
  }
  if (utf8) {
    try {
      parsed.name = PlayerNameFromUtf8(parts[1]);
    } catch (const RecordsError& e) {
      FailAt(line, e.what());
    }
  } else {
    parsed.name = CutPlayerName(parts[1]);
  }
  return parsed;
}

// Numbers the lines without an id on from the highest id given, and checks
// that no id is given twice.
std::vector<ListedPlayer> NumberPlayers(const std::vector<ParsedLine>& lines) {
  int32_t highest = 0;
  for (const ParsedLine& line : lines) highest = std::max(highest, line.id.value_or(0));
  std::vector<ListedPlayer> players;
  std::vector<int> line_of_id(kMaxListedPlayers + 1, 0);
  for (const ParsedLine& line : lines) {
    const int32_t id = line.id ? *line.id : ++highest;
    if (id > kMaxListedPlayers) {
      FailAt(line.line, "hráči už nezbývá číslo v rozsahu 1.." + std::to_string(kMaxListedPlayers));
    }
    if (line_of_id[id] != 0) {
      FailAt(line.line, "číslo hráče " + std::to_string(id) + " už má hráč na řádku " +
                            std::to_string(line_of_id[id]));
    }
    line_of_id[id] = line.line;
    players.push_back({id, line.name});
  }
  return players;
}

}  // namespace

std::vector<ListedPlayer> ReadPlayersList(std::string_view bytes) {
  if (bytes.size() > kMaxPlayersListBytes) {
    throw RecordsError("Seznam hráčů je větší než 1 MiB");
  }
  const bool utf8 = bytes.starts_with(kUtf8Mark);
  if (utf8) bytes.remove_prefix(kUtf8Mark.size());
  std::vector<ParsedLine> lines;
  int line = 0;
  size_t pos = 0;
  while (pos < bytes.size()) {
    ++line;
    const size_t end = std::min(bytes.find_first_of("\r\n", pos), bytes.size());
    const std::string_view text = bytes.substr(pos, end - pos);
    pos = end;
    if (pos < bytes.size() && bytes[pos] == '\r') ++pos;
    if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
    if (text.find('\0') != std::string_view::npos) FailAt(line, "obsahuje znak NUL (není to textový soubor)");
    if (std::all_of(text.begin(), text.end(), IsBlank)) continue;
    if (lines.size() == kMaxListedPlayers) {
      FailAt(line, "seznam má víc než " + std::to_string(kMaxListedPlayers) + " hráčů");
    }
    lines.push_back(ParseLine(text, line, utf8));
  }
  return NumberPlayers(lines);
}

std::string WritePlayersList(const std::vector<ListedPlayer>& players) {
  std::string bytes;
  for (const ListedPlayer& player : players) {
    if (player.name.find_first_of("\r\n") != std::string::npos) {
      throw RecordsError("Jméno hráče " + std::to_string(player.id) + " obsahuje konec řádku");
    }
    bytes += std::to_string(player.id);
    bytes += ",\"";
    for (const char c : player.name) {
      if (c == '"') bytes += '"';
      bytes += c;
    }
    bytes += "\"\r\n";
  }
  return bytes;
}

}  // namespace records
