#include "db/query/expressions/like_matcher.h"

#include "platform/locale_code_page.h"
#include "platform/locale_profile.h"

namespace kelvorin {

template <typename Char>
void TABSLikeMatcher::Compile(std::basic_string_view<Char> pattern,
                              std::basic_string_view<Char> escape, bool wide,
                              bool case_insensitive) {
  if (cache_case_insensitive_ != case_insensitive) {
    ansi_equal_.reset();
    wide_equal_.clear();
    cache_case_insensitive_ = case_insensitive;
  }
  auto unit = [wide](Char c) -> char16_t {
    return wide ? static_cast<char16_t>(c) : static_cast<unsigned char>(c);
  };
  auto same = [&unit](std::basic_string_view<Char> text, const std::u16string& known) {
    if (text.size() != known.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
      if (unit(text[i]) != known[i]) return false;
    }
    return true;
  };
  // Usually the pattern is a constant: the compiled form stays.
  if (compiled_ && source_wide_ == wide && source_case_insensitive_ == case_insensitive &&
      same(pattern, source_) && same(escape, source_escape_)) {
    return;
  }
  std::u16string source;
  std::u16string source_escape;
  for (Char c : pattern) source.push_back(unit(c));
  for (Char c : escape) source_escape.push_back(unit(c));
  steps_.clear();
  const bool has_escape = !source_escape.empty();
  const char16_t esc = has_escape ? source_escape[0] : 0;
  for (size_t i = 0; i < source.size(); ++i) {
    const char16_t c = source[i];
    if (has_escape && c == esc && i + 1 < source.size()) {
      steps_.push_back({Kind::kLiteral, source[++i]});
    } else if (c == u'%') {
      // Runs of '%' match what one does.
      if (steps_.empty() || steps_.back().kind != Kind::kRun) steps_.push_back({Kind::kRun, c});
    } else if (c == u'_') {
      steps_.push_back({Kind::kAny, c});
    } else {
      steps_.push_back({Kind::kLiteral, c});
    }
  }
  source_ = std::move(source);
  source_escape_ = std::move(source_escape);
  source_wide_ = wide;
  source_case_insensitive_ = case_insensitive;
  compiled_ = true;
}

template <typename Char, typename Equal>
bool TABSLikeMatcher::Run(std::basic_string_view<Char> text, Equal&& equal) const {
  const size_t n = text.size();
  const size_t m = steps_.size();
  size_t t = 0;
  size_t p = 0;
  // The last '%' seen and the text position it is tried from next.
  size_t run_step = SIZE_MAX;
  size_t run_text = 0;
  while (t < n) {
    if (p < m && steps_[p].kind == Kind::kRun) {
      run_step = p++;
      run_text = t;
      continue;
    }
    if (p < m && (steps_[p].kind == Kind::kAny || equal(steps_[p].ch, text[t]))) {
      ++p;
      ++t;
      continue;
    }
    if (run_step == SIZE_MAX) return false;
    p = run_step + 1;
    t = ++run_text;
  }
  while (p < m && steps_[p].kind == Kind::kRun) ++p;
  return p == m;
}

bool TABSLikeMatcher::EqualAnsi(unsigned char p, unsigned char t) {
  if (p == t) return true;
  if (!ansi_equal_) ansi_equal_ = std::make_unique<uint8_t[]>(256 * 256);
  uint8_t& known = ansi_equal_[p * 256u + t];
  if (known == 0) {
    const char a = static_cast<char>(p);
    const char b = static_cast<char>(t);
    const bool eq = platform::CurrentLocale().CompareAnsi(std::string_view(&a, 1),
                                                          std::string_view(&b, 1),
                                                          cache_case_insensitive_) ==
                    platform::kEqual;
    known = eq ? 1 : 2;
  }
  return known == 1;
}

bool TABSLikeMatcher::EqualWide(char16_t p, char16_t t) {
  if (p == t) return true;
  const uint32_t key = (uint32_t{p} << 16) | t;
  auto it = wide_equal_.find(key);
  if (it != wide_equal_.end()) return it->second;
  const bool eq = platform::CurrentLocale().CompareWide(std::u16string_view(&p, 1),
                                                        std::u16string_view(&t, 1),
                                                        cache_case_insensitive_) ==
                  platform::kEqual;
  wide_equal_.emplace(key, eq);
  return eq;
}

bool TABSLikeMatcher::MatchAnsi(std::string_view text, std::string_view pattern,
                                std::string_view escape, bool case_insensitive) {
  Compile<char>(pattern, escape, false, case_insensitive);
  return Run<char>(text, [this](char16_t p, char t) {
    return EqualAnsi(static_cast<unsigned char>(p), static_cast<unsigned char>(t));
  });
}

bool TABSLikeMatcher::MatchWide(std::u16string_view text, std::u16string_view pattern,
                                std::u16string_view escape, bool case_insensitive) {
  Compile<char16_t>(pattern, escape, true, case_insensitive);
  return Run<char16_t>(text, [this](char16_t p, char16_t t) { return EqualWide(p, t); });
}

}  // namespace kelvorin
