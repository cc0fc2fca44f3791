#include "records/players_list/players_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/players_list/player_name.h"
#include "records/records_error.h"

namespace records {
namespace {

using namespace std::string_literals;
using Players = std::vector<ListedPlayer>;

struct ReadCase {
  const char* name;
  std::string bytes;
  Players players;    // expected when `error` is empty
  std::string error;  // the whole message
};

std::string Lines(int count, const std::string& line_text) {
  std::string bytes;
  for (int i = 0; i < count; ++i) bytes += line_text;
  return bytes;
}

std::string NumberedLines(int count) {
  std::string bytes;
  for (int i = 1; i <= count; ++i) bytes += std::to_string(i) + ",\"H\"\r\n";
  return bytes;
}

Players NumberedPlayers(int count) {
  Players players;
  for (int i = 1; i <= count; ++i) players.push_back({i, "H"});
  return players;
}

// Windows-1250: Š 0x8A, ť 0x9D, á 0xE1, ý 0xFD, ř 0xF8, š 0x9A.
const std::vector<ReadCase> kReadCases = {
    {"OneLine", "7,\"Novak\"\r\n", {{7, "Novak"}}, ""},
    {"BlankInsideQuotes", "3,\"Jan Nov\xE1k\"", {{3, "Jan Nov\xE1k"}}, ""},
    {"BlankSeparatesWithoutQuotes", "3,Jan Nov\xE1k", {{3, "Jan"}}, ""},
    {"EmptyIdIsNumbered", ",\"X\"", {{1, "X"}}, ""},
    {"IdAloneNamesLine1", "7", {}, "Řádek 1: chybí jméno hráče (řádek má mít tvar číslo,\"jméno\")"},
    {"TwoCommasGiveEmptyParts", "3,,", {{3, ""}}, ""},
    {"DoubledQuoteIsOneQuote", "4,\"Ja\"\"n\"", {{4, "Ja\"n"}}, ""},
    {"PartsAfterTheSecondIgnored", "1,\"A\",xyz 9", {{1, "A"}}, ""},
    {"UnclosedQuoteRunsToTheEnd", "1,\"Abc", {{1, "Abc"}}, ""},
    {"BlanksAroundParts", "  2 , \"B\"  ", {{2, "B"}}, ""},
    {"CodePageLetters", "5,\"\x8A\x9D" "astn\xFD\"", {{5, "\x8A\x9D" "astn\xFD"}}, ""},
    {"LineFeedOnly", "1,\"A\"\n2,\"B\"\n", {{1, "A"}, {2, "B"}}, ""},
    {"LoneCarriageReturn", "1,\"A\"\r2,\"B\"", {{1, "A"}, {2, "B"}}, ""},
    {"BlankLinesSkipped", "\r\n\r\n1,\"A\"\r\n   \r\n\n", {{1, "A"}}, ""},
    {"ByteOrderMarkMeansUtf8", "\xEF\xBB\xBF" "1,\"Dvo\xC5\x99\xC3\xA1k\"", {{1, "Dvo\xF8\xE1k"}}, ""},
    {"Utf8NameOutsideTheCodePage", "\xEF\xBB\xBF" "1,\"A\"\r\n2,\"S\xC3\xB8ren\"", {},
     "Řádek 2: Znak 'ø' ve jménu nelze uložit (kódová stránka Windows-1250 ho nemá)"},
    {"MalformedUtf8", "\xEF\xBB\xBF" "1,\"\xE1\"", {}, "Řádek 1: Jméno není platný text UTF-8"},
    {"NulByte", "1,\"A\"\r\n2,\"B\0\""s, {}, "Řádek 2: obsahuje znak NUL (není to textový soubor)"},
    {"IdZero", "0,\"A\"", {}, "Řádek 1: číslo hráče 0 není v rozsahu 1..511"},
    {"IdNegative", "-1,\"A\"", {}, "Řádek 1: číslo hráče -1 není v rozsahu 1..511"},
    {"Id512", "1,\"A\"\r\n512,\"B\"", {}, "Řádek 2: číslo hráče 512 není v rozsahu 1..511"},
    {"IdLargest", "2147483647,\"A\"", {}, "Řádek 1: číslo hráče 2147483647 není v rozsahu 1..511"},
    {"IdNotANumber", "1x,\"A\"", {}, "Řádek 1: '1x' není celé číslo hráče"},
    {"DuplicateId", "1,\"A\"\r\n\r\n1,\"B\"", {}, "Řádek 3: číslo hráče 1 už má hráč na řádku 1"},
    {"EmptyIdsFollowTheHighestId", ",\"A\"\r\n5,\"B\"\r\n,\"C\"", {{6, "A"}, {5, "B"}, {7, "C"}}, ""},
    {"NumberingPastTheGrid", "511,\"A\"\r\n,\"B\"", {}, "Řádek 2: hráči už nezbývá číslo v rozsahu 1..511"},
    {"LongNameCutByCodePageCharacters", "1,\"" + std::string(25, '\x9A') + "\"", {{1, std::string(20, '\x9A')}},
     ""},
    {"BadLine7", NumberedLines(6) + "7;\"G\"\r\n", {}, "Řádek 7: chybí jméno hráče (řádek má mít tvar číslo,\"jméno\")"},
    {"Most511Players", NumberedLines(511) + "\r\n", NumberedPlayers(511), ""},
    {"Over511Players", Lines(512, ",\"H\"\r\n"), {}, "Řádek 512: seznam má víc než 511 hráčů"},
    {"OverOneMiB", std::string(kMaxPlayersListBytes + 1, ' '), {}, "Seznam hráčů je větší než 1 MiB"},
    {"Empty", "", {}, ""},
};

TEST(PlayersListTest, ReadsTheLinesOrNamesTheFaultyOne) {
  for (const ReadCase& c : kReadCases) {
    SCOPED_TRACE(c.name);
    std::string error;
    Players players;
    try {
      players = ReadPlayersList(c.bytes);
    } catch (const RecordsError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(players, c.players);
  }
}

TEST(PlayersListTest, WritesQuotedNamesWithDoubledQuotesAndCrLf) {
  EXPECT_EQ(WritePlayersList({}), "");
  EXPECT_EQ(WritePlayersList({{7, "Novak"}, {12, "Ja\"n \x8A"}, {3, ""}}),
            "7,\"Novak\"\r\n12,\"Ja\"\"n \x8A\"\r\n3,\"\"\r\n");
  EXPECT_THROW(WritePlayersList({{1, "A\r\nB"}}), RecordsError);
}

TEST(PlayersListTest, WhatIsWrittenReadsBackTheSame) {
  const Players players = {{1, "Jan Nov\xE1k"}, {2, "\"Quoted\""}, {3, "a,b c"}, {9, " lead"}, {4, ""}, {511, "x\"\"y"}};
  EXPECT_EQ(ReadPlayersList(WritePlayersList(players)), players);
}

TEST(PlayerNameTest, ConvertsTypedTextToTheCodePageOrNamesTheCharacter) {
  EXPECT_EQ(PlayerNameFromUtf8("\xC5\xA0\xC5\xA5" "astn\xC3\xBD"), "\x8A\x9D" "astn\xFD");
  EXPECT_EQ(PlayerNameFromUtf8(std::string(30, 'a')), std::string(20, 'a'));
  EXPECT_EQ(PlayerNameFromUtf8(std::string(12, 'a') + "\xC4\x8D\xC4\x8D\xC4\x8D\xC4\x8D\xC4\x8D\xC4\x8D"
                                                      "\xC4\x8D\xC4\x8D\xC4\x8D"),
            std::string(12, 'a') + std::string(8, '\xE8'));
  try {
    PlayerNameFromUtf8("S\xC3\xB8ren \xF0\x9F\x98\x80");
    FAIL();
  } catch (const RecordsError& e) {
    EXPECT_STREQ(e.what(), "Znak 'ø' ve jménu nelze uložit (kódová stránka Windows-1250 ho nemá)");
  }
  EXPECT_THROW(PlayerNameFromUtf8("\xF0\x9F\x98\x80"), RecordsError);
  EXPECT_THROW(PlayerNameFromUtf8("\xC0\x80"), RecordsError);  // an overlong NUL
}

}  // namespace
}  // namespace records
