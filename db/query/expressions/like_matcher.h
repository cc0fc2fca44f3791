// LIKE patterns: '%' matches any run of characters (the empty one too), '_'
// any one character, an optional escape character makes the next pattern
// character literal. Characters are equal when the locale's collation says
// so (one character against one, case ignored on request).
//
// The matcher keeps the compiled pattern and the collation answers it has
// asked, and recompiles only when the pattern text changes. Matching is
// iterative and backtracks only to the last '%', so its time is bounded by
// text length x pattern length whatever the pattern.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kelvorin {

class TABSLikeMatcher {
 public:
  // The escape character is given as text: empty for none.
  bool MatchAnsi(std::string_view text, std::string_view pattern, std::string_view escape,
                 bool case_insensitive);
  bool MatchWide(std::u16string_view text, std::u16string_view pattern,
                 std::u16string_view escape, bool case_insensitive);

 private:
  enum class Kind : uint8_t { kLiteral, kAny, kRun };
  struct Step {
    Kind kind;
    char16_t ch;
  };
  template <typename Char>
  void Compile(std::basic_string_view<Char> pattern, std::basic_string_view<Char> escape,
               bool wide, bool case_insensitive);
  template <typename Char, typename Equal>
  bool Run(std::basic_string_view<Char> text, Equal&& equal) const;
  bool EqualAnsi(unsigned char p, unsigned char t);
  bool EqualWide(char16_t p, char16_t t);

  // The compiled pattern and what it was compiled from.
  std::u16string source_;
  std::u16string source_escape_;
  bool source_wide_ = false;
  bool source_case_insensitive_ = false;
  bool compiled_ = false;
  std::vector<Step> steps_;
  // Collation answers: 8-bit pairs in a table (0 unknown, 1 equal, 2 not),
  // wide pairs in a map.
  std::unique_ptr<uint8_t[]> ansi_equal_;
  std::unordered_map<uint32_t, bool> wide_equal_;
  bool cache_case_insensitive_ = false;
};

}  // namespace kelvorin
