// The expression nodes on their own: LIKE against a reference matcher, the
// cost of pathological patterns, trees of any depth freed and copied.
#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "db/query/expressions/condition_nodes.h"
#include "db/query/expressions/expr_text.h"
#include "db/query/expressions/function_nodes.h"
#include "db/query/expressions/like_matcher.h"
#include "db/query/expressions/value_nodes.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/memory/memory_manager.h"
#include "platform/locale_profile.h"

namespace kelvorin {
namespace {

class ExprNodes : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetCurrentLocale(platform::LocaleProfile::Czech()); }
};

// Dynamic programming over (text position, pattern position): the meaning
// of LIKE written the slow, obvious way. ASCII letters, case ignored.
bool ReferenceLike(const std::string& text, const std::string& pattern) {
  const size_t n = text.size();
  const size_t m = pattern.size();
  std::vector<std::vector<bool>> match(n + 1, std::vector<bool>(m + 1, false));
  match[n][m] = true;
  for (size_t j = m; j-- > 0;) {
    for (size_t i = n + 1; i-- > 0;) {
      const char p = pattern[j];
      if (p == '%') {
        match[i][j] = match[i][j + 1] || (i < n && match[i + 1][j]);
      } else if (i < n && (p == '_' || std::tolower(p) == std::tolower(text[i]))) {
        match[i][j] = match[i + 1][j + 1];
      }
    }
  }
  return match[0][0];
}

TEST_F(ExprNodes, LikeAgreesWithTheReferenceOnRandomTexts) {
  std::mt19937 rng(7);
  const std::string text_letters = "abAB";
  const std::string pattern_letters = "abAB%%__";
  TABSLikeMatcher matcher;
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    std::string pattern;
    for (size_t i = rng() % 9; i > 0; --i) text += text_letters[rng() % text_letters.size()];
    for (size_t i = rng() % 7; i > 0; --i) pattern += pattern_letters[rng() % pattern_letters.size()];
    ASSERT_EQ(matcher.MatchAnsi(text, pattern, "", true), ReferenceLike(text, pattern))
        << "'" << text << "' LIKE '" << pattern << "'";
    std::u16string wide_text(text.begin(), text.end());
    std::u16string wide_pattern(pattern.begin(), pattern.end());
    ASSERT_EQ(matcher.MatchWide(wide_text, wide_pattern, u"", true), ReferenceLike(text, pattern));
  }
}

TEST_F(ExprNodes, LikeEscapesMakeWildcardsLiteral) {
  TABSLikeMatcher matcher;
  EXPECT_TRUE(matcher.MatchAnsi("100%", "100!%", "!", true));
  EXPECT_FALSE(matcher.MatchAnsi("1000", "100!%", "!", true));
  EXPECT_TRUE(matcher.MatchAnsi("a!b", "a!!b", "!", true));
  EXPECT_TRUE(matcher.MatchAnsi("a_b", "a#_%", "#", true));
  EXPECT_FALSE(matcher.MatchAnsi("axb", "a#_%", "#", true));
  // Case is ignored only on request, through the collation.
  EXPECT_FALSE(matcher.MatchAnsi("\xC8" "ech", "\xE8" "ech", "", false));
  EXPECT_TRUE(matcher.MatchAnsi("\xC8" "ech", "\xE8" "ech", "", true));
}

TEST_F(ExprNodes, PathologicalLikeIsLinearInTheText) {
  TABSLikeMatcher matcher;
  const std::string text(200000, 'a');
  EXPECT_FALSE(matcher.MatchAnsi(text, "%a%a%a%a%a%a%a%a%a%b", "", true));
  EXPECT_TRUE(matcher.MatchAnsi(text + "b", "%a%a%a%a%a%a%a%a%a%b", "", true));
}

TEST_F(ExprNodes, TreesOfAnyDepthAreFreedAndCopiedWithoutRecursion) {
  // Far deeper than any parse may build: freeing must not recurse.
  TABSVariant one;
  one.SetInteger(1);
  std::unique_ptr<TABSExprNode> chain = std::make_unique<TABSExprNodeConst>(one);
  for (int i = 0; i < 200000; ++i) {
    auto negate = std::make_unique<TABSExprNodeArithmetic>(kOpNegate);
    negate->AddChild(std::move(chain));
    chain = std::move(negate);
  }
  EXPECT_EQ(chain->Height(), 200001);
  chain.reset();

  std::unique_ptr<TABSExprNode> tree = std::make_unique<TABSExprNodeConst>(one);
  for (int i = 0; i < 900; ++i) {
    auto sum = std::make_unique<TABSExprNodeArithmetic>(kOpSum);
    sum->AddChild(std::move(tree));
    sum->AddChild(std::make_unique<TABSExprNodeConst>(one));
    tree = std::move(sum);
  }
  std::unique_ptr<TABSExprNode> copy = tree->Clone();
  EXPECT_TRUE(SameTree(*tree, *copy));
  EXPECT_EQ(copy->GetValue().AsInteger(), 901);
}

// A sum of `count` constant ones.
std::unique_ptr<TABSExprNode> SumOfOnes(int count) {
  TABSVariant one;
  one.SetInteger(1);
  auto sum = std::make_unique<TABSExprNodeArithmetic>(kOpSum);
  for (int i = 0; i < count; ++i) sum->AddChild(std::make_unique<TABSExprNodeConst>(one));
  return sum;
}

TEST_F(ExprNodes, FreedTreesGiveAllTheirMemoryBack) {
  const int64_t before = MemoryManager().AllocatedBytes();
  {
    std::unique_ptr<TABSExprNode> sum = SumOfOnes(100000);
    EXPECT_GT(MemoryManager().AllocatedBytes(), before + 100000 * 64);
    EXPECT_EQ(sum->GetValue().AsInteger(), 100000);
  }
  EXPECT_EQ(MemoryManager().AllocatedBytes(), before);

  // A tree that lives on keeps only what it stands on.
  std::unique_ptr<TABSExprNode> kept = SumOfOnes(3);
  SumOfOnes(100000).reset();
  EXPECT_LT(MemoryManager().AllocatedBytes(), before + 64 * 1024);
  kept.reset();
  EXPECT_EQ(MemoryManager().AllocatedBytes(), before);

  // Built on one thread, freed on another.
  std::unique_ptr<TABSExprNode> moved;
  std::thread([&moved] { moved = SumOfOnes(10000); }).join();
  EXPECT_EQ(moved->GetValue().AsInteger(), 10000);
  moved.reset();
  EXPECT_EQ(MemoryManager().AllocatedBytes(), before);
}

TEST_F(ExprNodes, CastWidthsCoverEveryTypeThatHasText) {
  using C = TABSColumnType;
  const std::vector<std::pair<C, int32_t>> widths = {
      {C::ShortInt, 4},    {C::SmallInt, 6}, {C::Integer, 11},  {C::AutoInc, 11},
      {C::LargeInt, 20},   {C::Byte, 3},     {C::Word, 5},      {C::Cardinal, 10},
      {C::AutoIncWord, 5}, {C::Single, 26},  {C::DateTime, 26}, {C::Logical, 5},
      {C::Currency, 21},   {C::Guid, 38},    {C::String, 17}};
  for (const auto& [type, width] : widths) EXPECT_EQ(StringWidthOf(type, 17), width);
  EXPECT_THROW(StringWidthOf(C::Bytes, 4), EABSException);
}

}  // namespace
}  // namespace kelvorin
