#include "db/query/lexer/lexer.h"

#include <charconv>
#include <cmath>
#include <deque>
#include <string>
#include <system_error>
#include <unordered_map>

#include "db/query/lexer/lexer_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "platform/locale_profile.h"
#include "platform/system_memory.h"

namespace kelvorin {
namespace {

bool IsWhitespace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct Position {
  int32_t line = 0;
  int32_t column = 0;
};

// One pass over the text. Tokens are appended to the commands as they are
// read; a token stays "open" (extendable) while it is a word, a number or a
// dot that may become a number.
class Tokenizer {
 public:
  // Appends the tokens of all commands to `tokens` and the index of each
  // command's first token to `command_starts`. Token texts view `text` or,
  // when they are no slice of it, strings kept in `own_texts`; parameter
  // values are copied into `param_values`.
  Tokenizer(std::string_view text, const TABSSQLParams* params, std::vector<TToken>* tokens,
            std::vector<size_t>* command_starts, std::deque<std::string>* own_texts,
            std::deque<TABSVariant>* param_values)
      : text_(text),
        params_(params),
        tokens_(*tokens),
        command_starts_(*command_starts),
        own_texts_(*own_texts),
        param_values_(*param_values) {}

  void Run() {
    // Every token takes at least one character: with room for them all,
    // large texts spare the moves and fresh pages of a growing array, and
    // capacity never touched costs only address space.
    tokens_.reserve(text_.size() + 1);
    platform::AdviseLargePages(tokens_.data(), tokens_.capacity() * sizeof(TToken));
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      const char next = NextChar(pos_);
      if (c == ';') {
        EndCommand();
        ++pos_;
      } else if (c == '-' && next == '-') {
        SkipLineComment();
      } else if (c == '/' && next == '*') {
        SkipBlockComment();
      } else {
        ReadCharacter(c);
      }
    }
    EndCommand();
  }

 private:
  // The character after position p; a blank after the last one.
  char NextChar(size_t p) const { return p + 1 < text_.size() ? text_[p + 1] : ' '; }

  void Count(char c) {
    if (c == '\n') {
      ++line_;
      column_ = 1;
    } else if (c != '\r') {
      ++column_;
    }
  }

  // The line counts at once; the line feed that ends the comment is passed
  // without being counted again. A comment inside a word leaves it open.
  void SkipLineComment() {
    ++line_;
    column_ = 1;
    const size_t end = text_.find('\n', pos_ + 2);
    pos_ = end == std::string_view::npos ? text_.size() : end + 1;
  }

  void SkipBlockComment() {
    const Position start{line_, column_};
    pos_ += 2;
    column_ += 2;
    for (;;) {
      if (pos_ >= text_.size()) {
        throw EABSException(native::kUnterminatedComment, {start.line, start.column});
      }
      if (text_[pos_] == '*' && NextChar(pos_) == '/') {
        pos_ += 2;
        column_ += 2;
        return;
      }
      Count(text_[pos_]);
      ++pos_;
    }
  }

  bool StartsToken(char c) const {
    if (IsWhitespace(c)) return false;
    if (!open_) return true;
    switch (c) {
      case '>': case '<': case '=': case '(': case ')': case ',': case '/': case '*': case ':':
      case '|':
        return true;
      case '.':
        return open_type_ != tktInt;
      default:
        break;
    }
    if (open_type_ == tktDot) return !IsDigit(c);
    if (c == '+' || c == '-') {
      if (open_type_ == tktString) return true;
      if (open_type_ == tktInt) return previous_ != 'E' && previous_ != 'e';
    }
    return false;
  }

  void ReadCharacter(char c) {
    const bool starts = StartsToken(c);
    if (open_ && (starts || IsWhitespace(c))) CloseToken();
    char last = c;  // the last character this step consumes
    if (starts) {
      last = StartToken(c);
    } else if (open_) {
      Append(c);
    }
    Count(last);
    previous_ = c;
    ++pos_;
  }

  void Append(char c) {
    TToken& token = OpenToken();
    if (open_type_ == tktInt && !IsDigit(c) && c != '.' && c != 'E' && c != 'e' && c != '+' &&
        c != '-') {
      throw EABSException(native::kInvalidNumericSymbol,
                          {std::string_view(&c, 1), line_, column_});
    }
    if (open_type_ == tktDot) open_type_ = tktInt;  // only a digit continues a dot
    if (c == '.' || c == 'e' || c == 'E') open_float_ = true;
    // A word goes on where it stands unless a comment came between.
    if (open_own_ == nullptr && token.text.data() + token.text.size() == text_.data() + pos_) {
      token.text = std::string_view(token.text.data(), token.text.size() + 1);
      return;
    }
    if (open_own_ == nullptr) open_own_ = &own_texts_.emplace_back(token.text);
    open_own_->push_back(c);
    token.text = *open_own_;
  }

  TToken& OpenToken() { return tokens_.back(); }

  // Starts a token at c and returns the last character it consumed (pos_
  // then stands on it).
  char StartToken(char c) {
    if (!command_open_) {
      command_starts_.push_back(tokens_.size());
      command_open_ = true;
      depth_ = 0;
      open_depth_ = 0;
      unmatched_close_ = {};
    }
    TToken& token = tokens_.emplace_back();
    token.text = text_.substr(pos_, 1);
    open_own_ = nullptr;
    token.line_num = line_;
    token.column_num = column_;
    switch (c) {
      case '\'':
      case '"':
        token.token_type = tktQuotedString;
        return ReadString(token, c);
      case '[':
        token.token_type = tktBracketedString;
        return ReadString(token, ']');
      case '(':
        token.token_type = tktLeftParenthesis;
        ++depth_;
        if (open_depth_++ == 0) outermost_open_ = {line_, column_};
        return c;
      case ')':
        token.token_type = tktRightParenthesis;
        --depth_;
        if (open_depth_ > 0) {
          --open_depth_;
        } else if (unmatched_close_.line == 0) {
          unmatched_close_ = {line_, column_};
        }
        return c;
      case ',':
        token.token_type = tktComma;
        return c;
      case '.':
        Open(tktDot);
        return c;
      case '-': case '+': case '*': case '/': case '=':
        token.token_type = tktString;
        return c;
      case '|':
        token.token_type = tktString;
        return TakeSecond(token, '|', '|');
      case '<':
        token.token_type = tktString;
        return TakeSecond(token, '=', '>');
      case '>':
        token.token_type = tktString;
        return TakeSecond(token, '=', '=');
      default:
        Open(IsDigit(c) ? tktInt : tktString);
        token.token_type = open_type_;
        return c;
    }
  }

  void Open(TTokenType type) {
    OpenToken().token_type = type;
    open_ = true;
    open_type_ = type;
    open_float_ = type == tktDot;
  }

  // The second character of a two-character operator, when it follows.
  char TakeSecond(TToken& token, char one, char other) {
    const char next = NextChar(pos_);
    if (next != one && next != other) return text_[pos_];
    token.text = text_.substr(pos_, 2);
    ++pos_;
    ++column_;
    return next;
  }

  // Reads up to the closing delimiter; a doubled one stands for itself.
  // The text is a slice of the SQL text unless a closer was doubled.
  char ReadString(TToken& token, char closer) {
    string_start_ = {line_, column_};
    in_string_ = true;
    const size_t begin = pos_ + 1;
    std::string* own = nullptr;
    size_t copied = begin;  // what `own` holds ends here
    auto text_up_to = [&](size_t end) {
      if (own == nullptr) return text_.substr(begin, end - begin);
      own->append(text_.substr(copied, end - copied));
      return std::string_view(*own);
    };
    size_t p = begin;
    while (p < text_.size()) {
      const char ch = text_[p];
      if (ch == closer) {
        if (p + 1 < text_.size() && text_[p + 1] == closer) {
          if (own == nullptr) own = &own_texts_.emplace_back();
          own->append(text_.substr(copied, p + 1 - copied));
          p += 2;
          copied = p;
          column_ += 2;
          continue;
        }
        ++column_;
        in_string_ = false;
        pos_ = p;
        token.text = text_up_to(p);
        return ch;
      }
      Count(ch);
      ++p;
    }
    token.text = text_up_to(text_.size());
    pos_ = text_.size() - 1;  // unterminated: reported when the command ends
    return text_[pos_];
  }

  void CloseToken() {
    if (!open_) return;
    open_ = false;
    TToken& token = OpenToken();
    switch (open_type_) {
      case tktInt:
        if (open_float_) token.token_type = tktFloat;
        ConvertNumber(token);
        break;
      case tktString:
        if (token.text[0] == ':') {
          BindParameter(token);
        } else {
          token.reserved_word = FindReservedWord(token.text);
          if (token.reserved_word != AnyReservedWord) token.token_type = tktReservedWord;
        }
        break;
      default:
        break;
    }
  }

  // Numbers convert whole, independently of any locale; a prefix that
  // converts is not enough.
  static void ConvertNumber(TToken& token) {
    const char* begin = token.text.data();
    const char* end = begin + token.text.size();
    bool valid = false;
    if (token.token_type == tktInt) {
      int64_t value = 0;
      const auto [stop, error] = std::from_chars(begin, end, value);
      valid = error == std::errc() && stop == end;
      token.int_value = value;
    } else {
      double value = 0;
      const auto [stop, error] = std::from_chars(begin, end, value);
      if (error == std::errc::result_out_of_range && stop == end) {
        valid = ReadsAsTiny(token.text, &value);
      } else {
        valid = error == std::errc() && stop == end && std::isfinite(value);
      }
      token.float_value = value;
    }
    if (!valid) {
      throw EABSException(native::kInvalidNumber,
                          {token.text, token.line_num, token.column_num});
    }
  }

  // Whether a well-formed float that is out of range for a double is too
  // small rather than too large; a tiny one reads as the double it rounds to.
  static bool ReadsAsTiny(std::string_view text, double* value) {
    long double wide = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), wide);
    if (error == std::errc() && stop == text.data() + text.size()) {
      *value = static_cast<double>(wide);
      return std::fabs(wide) < 1.0L;
    }
    // Out of the long double range too: only a negative exponent is tiny
    // (a number's text holds a minus only as the exponent's sign).
    *value = 0;
    return text.find('-') != std::string_view::npos;
  }

  void BindParameter(TToken& token) {
    token.token_type = tktParameter;
    token.text.remove_prefix(1);
    if (collected_names_ != nullptr) {
      token.param_value = nullptr;
      const auto& locale = platform::CurrentLocale();
      const std::string upper = locale.UpperAnsi(token.text);
      for (const std::string& name : *collected_names_) {
        if (locale.UpperAnsi(name) == upper) return;
      }
      collected_names_->emplace_back(token.text);
      return;
    }
    if (params_ == nullptr) {
      throw EABSException(native::kParameterWithoutList,
                          {token.text, token.line_num, token.column_num});
    }
    const TABSSQLParam* param = FindParam(token.text);
    if (param == nullptr) throw EABSException(native::kParameterNotFound, {token.text});
    token.param_value = &param_values_.emplace_back(static_cast<const TABSVariant&>(*param));
  }

  // As TABSSQLParams::FindParam, through an index of the upper-cased names
  // made at the first parameter, so that a text with many parameters costs
  // no more per parameter than a short one.
  const TABSSQLParam* FindParam(std::string_view name) {
    const platform::LocaleProfile& locale = platform::CurrentLocale();
    if (!param_index_built_) {
      for (int32_t i = 0; i < params_->Count(); ++i) {
        const TABSSQLParam& param = params_->Item(i);
        param_index_.try_emplace(locale.UpperAnsi(param.Name()), &param);
      }
      param_index_built_ = true;
    }
    const auto found = param_index_.find(locale.UpperAnsi(name));
    return found == param_index_.end() ? nullptr : found->second;
  }

  void EndCommand() {
    CloseToken();
    command_open_ = false;
    // Only the net depth decides whether a command is refused; the message
    // names a parenthesis that is really left over.
    if (depth_ > 0) {
      throw EABSException(native::kMissingRightParenthesis,
                          {outermost_open_.line, outermost_open_.column});
    }
    if (depth_ < 0) {
      throw EABSException(native::kUnexpectedRightParenthesis,
                          {unmatched_close_.line, unmatched_close_.column});
    }
    previous_ = ' ';
    if (in_string_) {
      throw EABSException(native::kUnterminatedString, {string_start_.line, string_start_.column});
    }
  }

  std::string_view text_;
  const TABSSQLParams* params_;
  std::vector<TToken>& tokens_;
  std::vector<size_t>& command_starts_;
  std::deque<std::string>& own_texts_;
  std::deque<TABSVariant>& param_values_;
  // The own text of the open token, once it is no slice of the SQL text.
  std::string* open_own_ = nullptr;
  size_t pos_ = 0;
  int32_t line_ = 1;
  int32_t column_ = 1;
  bool open_ = false;
  TTokenType open_type_ = tktNone;
  // Whether the open number holds a point or an exponent.
  bool open_float_ = false;
  bool command_open_ = false;
  // The net depth of the command, and the depth of the '(' still open when
  // each ')' closes the nearest one (a ')' with none open is left over).
  int32_t depth_ = 0;
  int32_t open_depth_ = 0;
  // The '(' that opened the outermost of those still open, and the first
  // ')' that closed nothing.
  Position outermost_open_;
  Position unmatched_close_;
  Position string_start_;
  bool in_string_ = false;
  char previous_ = ' ';
  std::unordered_map<std::string, const TABSSQLParam*> param_index_;
  bool param_index_built_ = false;

 public:
  // Parameters are listed here instead of taking values (ParameterNames).
  std::vector<std::string>* collected_names_ = nullptr;
};

}  // namespace

TABSLexer::TABSLexer(std::string_view sql_text, const TABSSQLParams* params)
    : sql_text_(sql_text), params_(params) {
  std::vector<size_t> command_starts;
  Tokenizer(sql_text_, params_, &tokens_, &command_starts, &own_texts_, &param_values_).Run();
  commands_.reserve(command_starts.size());
  for (size_t i = 0; i < command_starts.size(); ++i) {
    const size_t end = i + 1 < command_starts.size() ? command_starts[i + 1] : tokens_.size();
    commands_.push_back({std::span<const TToken>(tokens_).subspan(command_starts[i],
                                                                  end - command_starts[i])});
  }
}

std::vector<std::string> TABSLexer::ParameterNames(std::string_view sql_text) {
  std::vector<std::string> names;
  std::vector<TToken> tokens;
  std::vector<size_t> command_starts;
  std::deque<std::string> own_texts;
  std::deque<TABSVariant> param_values;
  Tokenizer tokenizer(sql_text, nullptr, &tokens, &command_starts, &own_texts, &param_values);
  tokenizer.collected_names_ = &names;
  tokenizer.Run();
  return names;
}

bool TABSLexer::NextCommand() {
  if (current_command_ < NumCommands()) ++current_command_;
  const TSQLCommand* command = Current();
  if (command == nullptr) {
    end_token_ = TToken();
    return false;
  }
  end_token_.line_num = command->tokens.back().line_num;
  end_token_.column_num = command->tokens.back().column_num;
  return true;
}

const TSQLCommand* TABSLexer::Current() const {
  if (current_command_ < 0 || current_command_ >= NumCommands()) return nullptr;
  return &commands_[static_cast<size_t>(current_command_)];
}

const TToken& TABSLexer::TokenAt(int64_t index) const {
  const TSQLCommand* command = Current();
  if (command == nullptr || index < 0 || index >= command->NumTokens()) return end_token_;
  return command->tokens[static_cast<size_t>(index)];
}

const TToken& TABSLexer::LastToken() const {
  const TSQLCommand* command = Current();
  return command == nullptr ? end_token_ : command->tokens.back();
}

int32_t TABSLexer::GetCurrentTokenNo() const {
  const TSQLCommand* command = Current();
  return command == nullptr ? 0 : command->current_token;
}

bool TABSLexer::GetCurrentToken(TToken* token) const {
  const TToken& current = CurrentToken();
  if (token != nullptr) *token = current;
  return current.token_type != tktNone;
}

bool TABSLexer::LookNextToken(TToken* token) const {
  const TToken& next = NextToken();
  if (token != nullptr) *token = next;
  return next.token_type != tktNone;
}

bool TABSLexer::GetNextToken(TToken* token) {
  const bool found = LookNextToken(token);
  if (current_command_ >= 0 && current_command_ < NumCommands()) {
    int32_t& cursor = commands_[static_cast<size_t>(current_command_)].current_token;
    if (cursor < commands_[static_cast<size_t>(current_command_)].NumTokens()) ++cursor;
  }
  return found;
}

bool TABSLexer::SetCurrentTokenNo(int32_t token_no, TToken* token) {
  if (current_command_ >= 0 && current_command_ < NumCommands()) {
    commands_[static_cast<size_t>(current_command_)].current_token = token_no;
  }
  return GetCurrentToken(token);
}

}  // namespace kelvorin
