#include "db/query/expressions/function_nodes.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "db/query/expressions/expression_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/value_encoding.h"
#include "platform/locale_code_page.h"
#include "platform/locale_profile.h"

namespace kelvorin {
namespace {

using S = TABSStorageType;

void SetText(TABSVariant* value, std::string_view text) {
  value->Clear(S::String);
  value->SetString(text);
}

void SetWideText(TABSVariant* value, std::u16string_view text) {
  value->Clear(S::WideString);
  value->SetWideString(text);
}

// Whether wide text converts to 8-bit text and back unchanged.
bool ToAnsiLossless(std::u16string_view text, std::string* out) {
  out->clear();
  for (char16_t unit : text) {
    char c = 0;
    if (!platform::WideCharToAnsi(unit, &c)) return false;
    out->push_back(c);
  }
  return true;
}

template <typename Text>
Text Trimmed(const Text& text, bool start, bool end) {
  using Unit = std::make_unsigned_t<typename Text::value_type>;
  size_t first = 0;
  size_t last = text.size();
  if (start) {
    while (first < last && static_cast<Unit>(text[first]) <= 0x20) ++first;
  }
  if (end) {
    while (last > first && static_cast<Unit>(text[last - 1]) <= 0x20) --last;
  }
  return text.substr(first, last - first);
}

}  // namespace

// ---------------------------------------------------------------- arithmetic

TABSExprNodeArithmetic::TABSExprNodeArithmetic(uint8_t op)
    : TABSExprNode(Kind::kArithmetic, op) {}

const TABSVariant& TABSExprNodeArithmetic::GetValue() {
  switch (Operator()) {
    case kOpNegate: {
      const TABSVariant& operand = children_[0]->GetValue();
      value_.Assign(operand, true);
      const bool integer = !value_.IsNull() && IsIntegerStorage(value_.Type());
      const int64_t before = integer ? value_.AsLargeInt() : 0;
      value_.Negate();
      if (integer && IsIntegerStorage(value_.Type()) && before != 0 && value_.AsLargeInt() == before) Overflow();
      return value_;
    }
    case kOpSum: {
      // A sum with a text part concatenates and skips NULL parts; any other
      // sum with a NULL part is NULL.
      bool any_null = false;
      bool any_text = false;
      for (auto& child : children_) {
        const TABSVariant& part = child->GetValue();
        if (part.IsNull()) {
          any_null = true;
        } else if (IsStringStorage(part.Type())) {
          any_text = true;
        }
      }
      if (any_null && !any_text) {
        value_.Clear(S::None);
        return value_;
      }
      if (!any_null && SumOfIntegers()) return value_;
      value_.Clear(S::None);
      for (auto& child : children_) {
        const TABSVariant& part = child->Value();
        if (part.IsNull()) continue;
        if (value_.IsNull()) {
          value_.Assign(part, true);
        } else {
          Combine(part);
        }
      }
      return value_;
    }
    case kOpProduct:
    case kOpQuotient: {
      // The product's first operand was evaluated by the integer test.
      if (Operator() == kOpProduct && ProductOfIntegers()) return value_;
      value_.Assign(Operator() == kOpProduct ? children_[0]->Value() : children_[0]->GetValue(),
                    true);
      for (size_t i = 1; i < children_.size(); ++i) {
        const TABSVariant& operand = children_[i]->GetValue();
        if (value_.IsNull()) continue;
        if (Operator() == kOpProduct) {
          Combine(operand);
        } else {
          value_.Divide(operand);
        }
      }
      return value_;
    }
    default:
      throw EABSException(native::kArithmeticUnknownOperator, {OperatorText(Operator())});
  }
}

bool TABSExprNodeArithmetic::AllIntegers(bool evaluate) {
  for (auto& child : children_) {
    const TABSVariant& part = evaluate ? child->GetValue() : child->Value();
    if (part.IsNull() || part.Type() != S::Integer || part.DataSize() < 4) return false;
  }
  return true;
}

void TABSExprNodeArithmetic::SetInteger(int64_t result) {
  if (result < INT32_MIN || result > INT32_MAX) Overflow();
  uint8_t bytes[4];
  StoreLE<int32_t>(bytes, static_cast<int32_t>(result));
  // Same size as the last result: the value's buffer is reused.
  value_.SetRaw(bytes, 4, S::Integer, true);
}

bool TABSExprNodeArithmetic::SumOfIntegers() {
  if (!AllIntegers(false)) return false;
  // Each part is 32-bit and there are far fewer than 2^32 of them.
  int64_t sum = 0;
  for (auto& child : children_) sum += LoadLE<int32_t>(child->Value().Data());
  SetInteger(sum);
  return true;
}

bool TABSExprNodeArithmetic::ProductOfIntegers() {
  if (!AllIntegers(true)) return false;
  int64_t product = 1;
  for (auto& child : children_) {
    product *= LoadLE<int32_t>(child->Value().Data());
    if (product < INT32_MIN || product > INT32_MAX) Overflow();
  }
  SetInteger(product);
  return true;
}

void TABSExprNodeArithmetic::Combine(const TABSVariant& operand) {
  const bool product = Operator() == kOpProduct;
  const bool integers = !operand.IsNull() && IsIntegerStorage(value_.Type()) && IsIntegerStorage(operand.Type());
  __int128 exact = 0;
  if (integers) {
    const __int128 a = value_.AsLargeInt();
    const __int128 b = operand.AsLargeInt();
    exact = product ? a * b : a + b;
  }
  if (product) {
    value_.Multiply(operand);
  } else {
    value_.Add(operand);
  }
  if (integers && IsIntegerStorage(value_.Type()) && value_.AsLargeInt() != exact) Overflow();
}

void TABSExprNodeArithmetic::Overflow() const {
  throw EABSException(native::kArithmeticOverflow, {OperatorText(Operator())});
}

int32_t TABSExprNodeArithmetic::GetDataSize() {
  if (Operator() != kOpSum || !IsStringColumn(GetDataType())) return 0;
  int64_t size = 0;
  for (auto& child : children_) size += StringPartSize(*child);
  return static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX));
}

// ---------------------------------------------------------------- strings

TABSExprNodeStringFunction::TABSExprNodeStringFunction(uint8_t op)
    : TABSExprNode(Kind::kStringFunction, op) {}

const TABSVariant& TABSExprNodeStringFunction::GetValue() {
  switch (Operator()) {
    case kOpConcat: Concatenate(); break;
    case kOpUpper:
    case kOpLower: ChangeCase(); break;
    case kOpTrim:
    case kOpLTrim:
    case kOpRTrim: Trim(); break;
    case kOpLength: Length(); break;
    case kOpPos: Position(); break;
    case kOpSubstring: Substring(); break;
    default:
      throw EABSException(native::kStringFunctionUnknownOperator, {OperatorText(Operator())});
  }
  return value_;
}

void TABSExprNodeStringFunction::Concatenate() {
  bool any = false;
  bool wide = false;
  for (auto& child : children_) {
    const TABSVariant& part = child->GetValue();
    if (part.IsNull()) continue;
    any = true;
    wide = wide || IsWideStringStorage(part.Type());
  }
  if (!any) {
    value_.Clear(S::String);
    return;
  }
  if (wide) {
    std::u16string text;
    for (auto& child : children_) {
      if (!child->Value().IsNull()) text += child->Value().AsWideString();
    }
    SetWideText(&value_, text);
  } else {
    std::string text;
    for (auto& child : children_) {
      if (!child->Value().IsNull()) text += child->Value().AsString();
    }
    SetText(&value_, text);
  }
}

void TABSExprNodeStringFunction::ChangeCase() {
  const TABSVariant& arg = children_[0]->GetValue();
  const auto& locale = platform::CurrentLocale();
  const bool upper = Operator() == kOpUpper;
  if (arg.IsNull()) {
    value_.Clear(S::String);
  } else if (IsWideStringStorage(arg.Type())) {
    const std::u16string text = arg.AsWideString();
    SetWideText(&value_, upper ? locale.UpperWide(text) : locale.LowerWide(text));
  } else {
    const std::string text = arg.AsString();
    SetText(&value_, upper ? locale.UpperAnsi(text) : locale.LowerAnsi(text));
  }
}

void TABSExprNodeStringFunction::Trim() {
  const TABSVariant& arg = children_[0]->GetValue();
  const bool start = Operator() != kOpRTrim;
  const bool end = Operator() != kOpLTrim;
  if (arg.IsNull()) {
    value_.Clear(S::String);
  } else if (IsWideStringStorage(arg.Type())) {
    SetWideText(&value_, Trimmed(arg.AsWideString(), start, end));
  } else {
    SetText(&value_, Trimmed(arg.AsString(), start, end));
  }
}

void TABSExprNodeStringFunction::Length() {
  const TABSVariant& arg = children_[0]->GetValue();
  int64_t length = 0;
  if (!arg.IsNull()) {
    length = IsWideStringStorage(arg.Type()) ? static_cast<int64_t>(arg.AsWideString().size())
                                             : static_cast<int64_t>(arg.AsString().size());
  }
  value_.Clear(S::Integer);
  value_.SetInteger(static_cast<int32_t>(std::min<int64_t>(length, INT32_MAX)));
}

void TABSExprNodeStringFunction::Position() {
  const TABSVariant& needle_value = children_[0]->GetValue();
  const TABSVariant& text_value = children_[1]->GetValue();
  size_t found = std::string::npos;
  if (!needle_value.IsNull() && !text_value.IsNull()) {
    bool searched = false;
    if (!IsWideStringStorage(text_value.Type())) {
      // Plain text: the needle is narrowed when that loses nothing.
      std::string needle;
      const bool narrow = IsWideStringStorage(needle_value.Type())
                              ? ToAnsiLossless(needle_value.AsWideString(), &needle)
                              : (needle = needle_value.AsString(), true);
      if (narrow) {
        if (!needle.empty()) found = text_value.AsString().find(needle);
        searched = true;
      }
    }
    if (!searched) {
      const std::u16string needle = needle_value.AsWideString();
      if (!needle.empty()) found = text_value.AsWideString().find(needle);
    }
  }
  value_.Clear(S::Integer);
  value_.SetInteger(found == std::string::npos ? 0 : static_cast<int32_t>(found + 1));
}

void TABSExprNodeStringFunction::Substring() {
  const TABSVariant& text_value = children_[0]->GetValue();
  const TABSVariant& start_value = children_[1]->GetValue();
  const TABSVariant* length_value = children_.size() > 2 ? &children_[2]->GetValue() : nullptr;
  const bool wide = IsWideStringStorage(text_value.Type());
  const S type = wide ? S::WideString : S::String;
  if (text_value.IsNull() || start_value.IsNull() ||
      (length_value != nullptr && length_value->IsNull())) {
    value_.Clear(type);
    return;
  }
  // Positions in 64 bits, clamped to the text.
  int64_t start = start_value.AsLargeInt();
  if (start < 1) start = 1;
  auto cut = [&](const auto& text) {
    const auto size = static_cast<int64_t>(text.size());
    const int64_t length = length_value != nullptr ? length_value->AsLargeInt() : size;
    if (length <= 0 || start > size) return decltype(text.substr(0)){};
    return text.substr(static_cast<size_t>(start - 1),
                       static_cast<size_t>(std::min(length, size - start + 1)));
  };
  if (wide) {
    SetWideText(&value_, cut(text_value.AsWideString()));
  } else {
    SetText(&value_, cut(text_value.AsString()));
  }
}

TABSColumnType TABSExprNodeStringFunction::GetDataType() {
  switch (Operator()) {
    case kOpLength:
    case kOpPos:
      return TABSColumnType::Integer;
    case kOpConcat:
      for (size_t i = 0; i < children_.size(); ++i) {
        if (StringResultType(i) == TABSColumnType::WideString) return TABSColumnType::WideString;
      }
      return TABSColumnType::String;
    default:
      return StringResultType(0);
  }
}

int32_t TABSExprNodeStringFunction::GetDataSize() {
  switch (Operator()) {
    case kOpLength:
    case kOpPos:
      return 0;
    case kOpConcat: {
      int64_t size = 0;
      for (auto& child : children_) size += StringPartSize(*child);
      return static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX));
    }
    default:
      return StringPartSize(*children_[0]);
  }
}

}  // namespace kelvorin
