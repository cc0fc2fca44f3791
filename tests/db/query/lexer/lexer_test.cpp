// The SQL lexer: how texts split into commands and tokens, token kinds,
// texts, positions and number values, the reserved words, parameters, the
// token cursor, and every lexical error with its position.
#include "db/query/lexer/lexer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "db/storage/memory/memory_manager.h"
#include "platform/locale_profile.h"
#include "tests/db/engine_error_capture.h"

namespace kelvorin {
namespace {

using testing::ErrorCode;
using testing::ErrorOf;

class LexerTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetCurrentLocale(platform::LocaleProfile::Czech()); }
};

// A token as "kind:text", kinds abbreviated: S word, Q quoted, B bracketed,
// I int, F float, R reserved, P parameter, ( ) , and D dot.
std::string Describe(const TToken& token) {
  static const char* const kKinds[] = {"-", "S", "Q", "B", "I", "F", "R", "P", "(", ")", ",", "D"};
  return std::string(kKinds[token.token_type]) + ":" + std::string(token.text);
}

std::vector<std::string> DescribeCommand(const TSQLCommand& command) {
  std::vector<std::string> out;
  for (const TToken& token : command.tokens) out.push_back(Describe(token));
  return out;
}

// The tokens of a text that must hold exactly one command.
std::vector<std::string> TokensOf(std::string_view text, const TABSSQLParams* params = nullptr) {
  TABSLexer lexer(text, params);
  EXPECT_EQ(lexer.NumCommands(), 1) << text;
  if (lexer.NumCommands() != 1) return {};
  return DescribeCommand(lexer.Command(0));
}

TEST_F(LexerTest, TextsSplitIntoTokensOfTheirKinds) {
  TABSSQLParams params;
  params.AddParam().SetName("30");
  struct Case {
    const char* text;
    std::vector<std::string> tokens;
  } cases[] = {
      {"'It''s'", {"Q:It's"}},
      {"\"a'b\"", {"Q:a'b"}},
      {"\"It\"\"s\" 'x\"y'", {"Q:It\"s", "Q:x\"y"}},
      {"[Order]", {"B:Order"}},
      {"[a]]b[c]", {"B:a]b[c"}},
      {"''", {"Q:"}},
      {"x>=10", {"S:x", "S:>=", "I:10"}},
      {"a<>b", {"S:a", "S:<>", "S:b"}},
      {"a<=b<c>d", {"S:a", "S:<=", "S:b", "S:<", "S:c", "S:>", "S:d"}},
      {"a||b|c", {"S:a", "S:||", "S:b", "S:|", "S:c"}},
      {"a!=b", {"S:a!", "S:=", "S:b"}},
      {"a+b-c*d/e", {"S:a", "S:+", "S:b", "S:-", "S:c", "S:*", "S:d", "S:/", "S:e"}},
      {"1e-5", {"F:1e-5"}},
      {"1E+5", {"F:1E+5"}},
      {"1-5", {"I:1", "S:-", "I:5"}},
      {"-5", {"S:-", "I:5"}},
      {".5", {"F:.5"}},
      {"1.5", {"F:1.5"}},
      {"t.f", {"S:t", "D:.", "S:f"}},
      {"t.*", {"S:t", "D:.", "S:*"}},
      {"..", {"D:.", "D:."}},
      {"f(a,b)", {"S:f", "(:(", "S:a", ",:,", "S:b", "):)"}},
      {"ab--x\ncd", {"S:abcd"}},
      {"ab/*x*/cd", {"S:abcd"}},
      {"a/**/b--\nc/**/1 d", {"S:abc1", "S:d"}},
      {"''''", {"Q:'"}},
      {"'a''' ''''''", {"Q:a'", "Q:''"}},
      {"x='abc'", {"S:x", "S:=", "Q:abc"}},
      {"a'b'", {"S:a'b'"}},
      {".'s'", {"D:.", "Q:s"}},
      {"select [select] Select_x", {"R:select", "B:select", "S:Select_x"}},
      {"END-EXEC", {"R:END", "S:-", "R:EXEC"}},
      {"12:30", {"I:12", "P:30"}},
      {"a\t\r\nb", {"S:a", "S:b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TokensOf(c.text, &params), c.tokens);
  }
}

TEST_F(LexerTest, AStatementSplitOverLinesGivesTheSameTokens) {
  const TABSLexer one_line("SELECT MAX(Kolo) as result FROM seskupeni;");
  const TABSLexer word_lines("SELECT\nMAX\n(\nKolo\n)\nas\nresult\nFROM\nseskupeni\n;\n");
  const std::vector<std::string> expected = {"R:SELECT", "R:MAX", "(:(",    "S:Kolo",   "):)",
                                             "R:as",     "S:result", "R:FROM", "S:seskupeni"};
  ASSERT_EQ(one_line.NumCommands(), 1);
  ASSERT_EQ(word_lines.NumCommands(), 1);
  EXPECT_EQ(DescribeCommand(one_line.Command(0)), expected);
  EXPECT_EQ(DescribeCommand(word_lines.Command(0)), expected);
  const TToken& as = one_line.Command(0).tokens[5];
  EXPECT_EQ(as.reserved_word, rwAS);
  EXPECT_EQ(one_line.Command(0).tokens[1].reserved_word, rwMAX);
  EXPECT_EQ(one_line.Command(0).tokens[3].reserved_word, AnyReservedWord);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(one_line.Command(0).tokens[static_cast<size_t>(i)].line_num, 1);
    EXPECT_EQ(word_lines.Command(0).tokens[static_cast<size_t>(i)].line_num, i + 1);
    EXPECT_EQ(word_lines.Command(0).tokens[static_cast<size_t>(i)].column_num, 1);
  }
}

TEST_F(LexerTest, SemicolonsSplitCommandsAndEmptyOnesAreDropped) {
  struct Case {
    const char* text;
    std::vector<std::vector<std::string>> commands;
  } cases[] = {
      {"", {}},
      {" \t\r\n", {}},
      {";;", {}},
      {"-- only a comment\n/* and another */ ;", {}},
      {"a;;b;", {{"S:a"}, {"S:b"}}},
      {"a;\n-- after the end\n", {{"S:a"}}},
      {"DELETE FROM t; INSERT INTO t VALUES (1);", {{"R:DELETE", "R:FROM", "S:t"},
                                                   {"R:INSERT", "R:INTO", "S:t", "R:VALUES",
                                                    "(:(", "I:1", "):)"}}},
      {"'a;b';c", {{"Q:a;b"}, {"S:c"}}},
      {"a/*;*/b--;\nc", {{"S:abc"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TABSLexer lexer(c.text);
    std::vector<std::vector<std::string>> commands;
    while (lexer.NextCommand()) commands.push_back(DescribeCommand(lexer.Command(lexer.CurrentCommand())));
    EXPECT_EQ(commands, c.commands);
  }
}

TEST_F(LexerTest, TokensCarryTheLineAndColumnOfTheirFirstCharacter) {
  struct Case {
    const char* text;
    int command;
    int token;
    int32_t line;
    int32_t column;
  } cases[] = {
      {"SELECT a\n  FROM t", 0, 2, 2, 3},
      {"x >= 'ab' y", 0, 2, 1, 6},
      {"x >= 'ab' y", 0, 3, 1, 11},
      {"'a''b' c", 0, 1, 1, 8},
      {"a\tb", 0, 1, 1, 3},
      {"a\r\nb c", 0, 2, 2, 3},
      {"a --c\nb", 0, 1, 2, 1},
      {"a /* x\n y */ b", 0, 1, 2, 7},
      {"a;b", 1, 0, 1, 2},  // the semicolon takes no column
      {"[x] y", 0, 1, 1, 5},
      {"a<=b", 0, 2, 1, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TABSLexer lexer(c.text);
    const TToken& token =
        lexer.Command(c.command).tokens[static_cast<size_t>(c.token)];
    EXPECT_EQ(token.line_num, c.line);
    EXPECT_EQ(token.column_num, c.column);
  }
}

TEST_F(LexerTest, NumbersCarryTheirValues) {
  struct Case {
    const char* text;
    TTokenType type;
    int64_t int_value;
    double float_value;
  } cases[] = {
      {"0", tktInt, 0, 0},
      {"00012", tktInt, 12, 0},
      {"2147483648", tktInt, 2147483648LL, 0},
      {"9223372036854775807", tktInt, 9223372036854775807LL, 0},
      {"1.5", tktFloat, 0, 1.5},
      {".25", tktFloat, 0, 0.25},
      {"2.", tktFloat, 0, 2.0},
      {"1e-5", tktFloat, 0, 1e-5},
      {"1E5", tktFloat, 0, 1e5},
      {"1.5e+3", tktFloat, 0, 1500.0},
      {"1e-400", tktFloat, 0, 0.0},
      {"1.7976931348623157e308", tktFloat, 0, 1.7976931348623157e308},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TABSLexer lexer(c.text);
    const TToken& token = lexer.Command(0).tokens[0];
    EXPECT_EQ(token.token_type, c.type);
    if (c.type == tktInt) {
      EXPECT_EQ(token.int_value, c.int_value);
    } else {
      EXPECT_EQ(token.float_value, c.float_value);
    }
  }
  TABSLexer subnormal("4e-320");
  EXPECT_GT(subnormal.Command(0).tokens[0].float_value, 0.0);
  EXPECT_LT(subnormal.Command(0).tokens[0].float_value, 1e-300);
}

TEST_F(LexerTest, LexicalErrorsNameTheirPlace) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"12ab", "Invalid numeric symbol 'a' at line 1, column 3 - Native error: 30062"},
      {"x = 5'", "Invalid numeric symbol ''' at line 1, column 6 - Native error: 30062"},
      {"'abc", "Unterminated string at line 1, column 1 - Native error: 30061"},
      {"a;\nx = [abc", "Unterminated string at line 2, column 5 - Native error: 30061"},
      {"x = 'ab''", "Unterminated string at line 1, column 5 - Native error: 30061"},
      {"(a", "Missing symbol ')' at line 1, column 1 - Native error: 30059"},
      // The outermost '(' left open, not the last one, which may be matched.
      {"a;\n f((a), (b)", "Missing symbol ')' at line 2, column 3 - Native error: 30059"},
      {"(a) (b (c)", "Missing symbol ')' at line 1, column 5 - Native error: 30059"},
      {") ( (b", "Missing symbol ')' at line 1, column 3 - Native error: 30059"},
      {"a)", "Unexpected symbol ')' found at line 1, column 2 - Native error: 30060"},
      {"(a));b", "Unexpected symbol ')' found at line 1, column 4 - Native error: 30060"},
      // The first ')' that closes nothing, not the last one, which may be matched.
      {"f(a)) + (b)", "Unexpected symbol ')' found at line 1, column 5 - Native error: 30060"},
      {"a)) (", "Unexpected symbol ')' found at line 1, column 2 - Native error: 30060"},
      {":p", "Value for parameter 'p' not found - Native error: 30358"},
      {"a = :", "Value for parameter '' not found - Native error: 30358"},
      {"1.2.3", "Invalid number '1.2.3' at line 1, column 1 - Native error: 30700"},
      {"x > 1e", "Invalid number '1e' at line 1, column 5 - Native error: 30700"},
      {"1e+", "Invalid number '1e+' at line 1, column 1 - Native error: 30700"},
      {"1e309", "Invalid number '1e309' at line 1, column 1 - Native error: 30700"},
      {"1e5.5", "Invalid number '1e5.5' at line 1, column 1 - Native error: 30700"},
      {"9223372036854775808",
       "Invalid number '9223372036854775808' at line 1, column 1 - Native error: 30700"},
      {"99999999999999999999999",
       "Invalid number '99999999999999999999999' at line 1, column 1 - Native error: 30700"},
      {"/* open", "Unterminated comment at line 1, column 1 - Native error: 30701"},
      {"UPDATE t SET a = 1 /* WHERE id = 3",
       "Unterminated comment at line 1, column 20 - Native error: 30701"},
      {"a /*", "Unterminated comment at line 1, column 3 - Native error: 30701"},
  };
  TABSSQLParams params;
  params.AddParam().SetName("q");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ErrorOf([&] { TABSLexer lexer(c.text, &params); }), c.message);
  }
}

TEST_F(LexerTest, AMegabyteOfOpeningParenthesesNamesTheFirst) {
  const std::string text = "x = " + std::string(1 << 20, '(');
  EXPECT_EQ(ErrorOf([&] { TABSLexer lexer(text); }),
            "Missing symbol ')' at line 1, column 5 - Native error: 30059");
}

TEST_F(LexerTest, OnlyTheNetParenthesisDepthOfACommandIsChecked) {
  EXPECT_EQ(TokensOf("a ) ( b"), (std::vector<std::string>{"S:a", "):)", "(:(", "S:b"}));
}

TEST_F(LexerTest, AParameterWithoutAParameterListIsAnError) {
  EXPECT_EQ(ErrorOf([] { TABSLexer lexer("Cas = 12:30"); }),
            "Parameter ':30' at line 1, column 9 cannot be used here: no parameters are given"
            " - Native error: 30702");
  EXPECT_EQ(ErrorCode([] { TABSLexer lexer("a = ':x' AND b = [:y]"); }), 0);
}

TEST_F(LexerTest, ParametersAreFoundThroughTheLocalesUpperCasing) {
  TABSSQLParams params;
  TABSSQLParam& cas = params.AddParam();
  cas.SetName("\xE8" "as");  // čas
  cas.SetInteger(1230);
  TABSSQLParam& jmeno = params.AddParam();
  jmeno.SetName("Jmeno");
  jmeno.SetString("Nov\xE1k");
  TABSSQLParam& second = params.AddParam();
  second.SetName("JMENO");
  second.SetString("shadowed");
  EXPECT_EQ(params.Count(), 3);
  EXPECT_EQ(params.FindParam("\xC8" "AS"), &cas);  // ČAS
  EXPECT_EQ(params.FindParam("jmeno"), &jmeno);
  EXPECT_EQ(params.FindParam("jmen"), nullptr);

  TABSLexer lexer("Cas = :\xC8" "AS AND Jmeno = :jmeno", &params);
  const std::span<const TToken> tokens = lexer.Command(0).tokens;
  ASSERT_EQ(tokens.size(), 7u);
  EXPECT_EQ(tokens[2].token_type, tktParameter);
  EXPECT_EQ(tokens[2].text, "\xC8" "AS");
  ASSERT_NE(tokens[2].param_value, nullptr);
  EXPECT_EQ(tokens[2].param_value->AsInteger(), 1230);
  EXPECT_EQ(tokens[6].param_value->AsString(), "Nov\xE1k");
  EXPECT_EQ(tokens[0].token_type, tktString);

  // The tokens own copies: the list may change or go.
  jmeno.SetString("Svoboda");
  params.Clear();
  EXPECT_EQ(params.Count(), 0);
  EXPECT_EQ(tokens[6].param_value->AsString(), "Nov\xE1k");
}

TEST_F(LexerTest, AFailedConstructorLeavesNoEngineMemoryBehind) {
  TABSSQLParams params;
  params.AddParam().SetName("a");
  params.Item(0).SetString("a long enough parameter value");
  params.AddParam().SetName("b");
  params.Item(1).SetLargeInt(7);
  const int64_t before = MemoryManager().AllocatedBytes();
  for (const char* text : {":a + :b + (", ":a; :b; :c", ":a || 'open", ":a 1e999", ":b /* x"}) {
    SCOPED_TRACE(text);
    EXPECT_NE(ErrorCode([&] { TABSLexer lexer(text, &params); }), 0);
    EXPECT_EQ(MemoryManager().AllocatedBytes(), before);
  }
}

TEST_F(LexerTest, TheCursorWalksAndBacktracksWithinTheCurrentCommand) {
  TABSLexer lexer("a = 1; b");
  TToken token;
  EXPECT_EQ(lexer.CurrentCommand(), -1);
  EXPECT_FALSE(lexer.GetCurrentToken(&token));
  EXPECT_EQ(token.token_type, tktNone);
  EXPECT_EQ(token.line_num, 0);

  ASSERT_TRUE(lexer.NextCommand());
  ASSERT_TRUE(lexer.GetCurrentToken(&token));
  EXPECT_EQ(token.text, "a");
  ASSERT_TRUE(lexer.LookNextToken(&token));
  EXPECT_EQ(token.text, "=");
  EXPECT_EQ(lexer.GetCurrentTokenNo(), 0);
  ASSERT_TRUE(lexer.GetNextToken(&token));
  EXPECT_EQ(token.text, "=");
  EXPECT_EQ(lexer.GetCurrentTokenNo(), 1);
  const int32_t saved = lexer.GetCurrentTokenNo();
  ASSERT_TRUE(lexer.GetNextToken(&token));
  EXPECT_EQ(token.text, "1");
  EXPECT_EQ(token.int_value, 1);
  // At the last token nothing follows, but the cursor still moves past it.
  EXPECT_FALSE(lexer.GetNextToken(&token));
  EXPECT_EQ(token.token_type, tktNone);
  EXPECT_EQ(lexer.GetCurrentTokenNo(), 3);
  EXPECT_FALSE(lexer.GetCurrentToken(&token));
  // Past the end the position is that of the command's last token.
  EXPECT_EQ(token.line_num, 1);
  EXPECT_EQ(token.column_num, 5);
  EXPECT_EQ(lexer.LastToken().text, "1");
  EXPECT_FALSE(lexer.GetNextToken(nullptr));
  EXPECT_EQ(lexer.GetCurrentTokenNo(), 3);

  ASSERT_TRUE(lexer.SetCurrentTokenNo(saved, &token));
  EXPECT_EQ(token.text, "=");
  EXPECT_EQ(lexer.CurrentToken().text, "=");
  EXPECT_EQ(lexer.NextToken().text, "1");
  EXPECT_FALSE(lexer.SetCurrentTokenNo(-1, &token));
  EXPECT_FALSE(lexer.SetCurrentTokenNo(99, &token));

  ASSERT_TRUE(lexer.NextCommand());
  EXPECT_EQ(lexer.GetCurrentTokenNo(), 0);
  EXPECT_EQ(lexer.CurrentToken().text, "b");
  EXPECT_EQ(lexer.CurrentToken().column_num, 7);
  EXPECT_FALSE(lexer.NextCommand());
  EXPECT_FALSE(lexer.NextCommand());
  EXPECT_EQ(lexer.CurrentToken().token_type, tktNone);
}

TEST_F(LexerTest, ReservedWordsAreNumberedInTableOrder) {
  EXPECT_EQ(kReservedWordCount, 261);
  EXPECT_EQ(AnyReservedWord, 262);
  EXPECT_EQ(ReservedWordText(rwACTION), "ACTION");
  EXPECT_EQ(ReservedWordText(rwEND_EXEC), "END-EXEC");
  EXPECT_EQ(ReservedWordText(rwAUTOINC), "AUTOINC");
  EXPECT_EQ(rwAUTOINC, 260);
  EXPECT_EQ(ReservedWordText(261), "");
  EXPECT_EQ(ReservedWordText(AnyReservedWord), "");
  for (uint16_t word = 0; word < kReservedWordCount; ++word) {
    const std::string text(ReservedWordText(word));
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    EXPECT_EQ(FindReservedWord(text), word) << text;
    EXPECT_EQ(FindReservedWord(lower), word) << lower;
    if (word != rwEND_EXEC) {
      TABSLexer lexer(lower);
      const TToken& token = lexer.Command(0).tokens[0];
      EXPECT_EQ(token.token_type, tktReservedWord) << text;
      EXPECT_EQ(token.reserved_word, word) << text;
      EXPECT_EQ(token.text, lower);
    }
  }
  for (const char* word : {"", "A", "SELECTS", "SELEC", "Kolo", "=", "\xC8" "AS",
                           "BLOBCOMPRESSIONALGORITHMS"}) {
    EXPECT_EQ(FindReservedWord(word), AnyReservedWord) << word;
  }
  TABSLexer lexer("SELECT x");
  const TToken& select = lexer.Command(0).tokens[0];
  const TToken& x = lexer.Command(0).tokens[1];
  EXPECT_TRUE(TABSLexer::IsReservedWord(select, rwSELECT));
  EXPECT_TRUE(TABSLexer::IsReservedWord(select, AnyReservedWord));
  EXPECT_FALSE(TABSLexer::IsReservedWord(select, rwFROM));
  EXPECT_FALSE(TABSLexer::IsReservedWord(x, AnyReservedWord));
}

}  // namespace
}  // namespace kelvorin
