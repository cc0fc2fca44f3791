// kelvorin expr [--condition] TEXT: evaluates a value expression (or a
// condition) that names no field and prints its value, a TAB and the SQL
// name of its type; NULL, TRUE and FALSE as words, numbers with a point.
// The text and what is printed are UTF-8.
#include <cstdio>
#include <string>
#include <vector>

#include "db/query/expressions/condition_nodes.h"
#include "db/query/lexer/lexer.h"
#include "db/query/parser/expression.h"
#include "db/tables/values/value_text.h"
#include "tools/kelvorin/command.h"
#include "tools/kelvorin/engine_text.h"

namespace kelvorin::tool {
namespace {

std::string ValueText(const TABSVariant& value) {
  if (value.IsNull()) return "NULL";
  switch (value.Type()) {
    case TABSStorageType::Logical:
      return value.AsLogical() ? "TRUE" : "FALSE";
    case TABSStorageType::Single:
    case TABSStorageType::Float:
    case TABSStorageType::Extended:
      return FormatFloatGeneral(value.AsExtended(), '.');
    case TABSStorageType::Currency:
      return FormatCurrencyText(value.AsCurrency(), '.');
    default:
      return value.AsString();
  }
}

int Usage() {
  std::fprintf(stderr, "usage: kelvorin expr [--condition] TEXT\n");
  return 1;
}

int Evaluate(const std::vector<std::string>& args) {
  bool condition = false;
  std::string text;
  size_t texts = 0;
  for (const std::string& arg : args) {
    if (arg == "--condition") {
      condition = true;
    } else {
      text = platform::Utf8ToAnsi(arg);
      ++texts;
    }
  }
  if (texts != 1) return Usage();
  TABSLexer lexer(text);
  if (!lexer.NextCommand()) {
    std::fprintf(stderr, "kelvorin: the text holds no expression\n");
    return 1;
  }
  TABSExpression expression;
  std::string result;
  std::string type;
  if (condition) {
    expression.ParseCondition(lexer);
    const TABSTruth truth = expression.RootNode()->EvaluateTruth();
    result = truth == TABSTruth::kTrue ? "TRUE" : truth == TABSTruth::kFalse ? "FALSE" : "NULL";
    type = "LOGICAL";
  } else {
    expression.ParseValue("", lexer);
    if (expression.IsEmpty()) {
      const TToken& at = lexer.CurrentToken();
      std::fprintf(stderr, "kelvorin: no value expression at line %d, column %d\n", at.line_num,
                   at.column_num);
      return 1;
    }
    const TABSVariant& value = *expression.GetValue(true);
    result = ValueText(value);
    type = value.Type() != TABSStorageType::None ? std::string(StorageTypeName(value.Type()))
                                                 : std::string(ColumnTypeName(expression.GetDataType()));
  }
  const TToken& rest = lexer.CurrentToken();
  if (rest.token_type != tktNone) {
    std::fprintf(stderr, "kelvorin: unexpected '%s' at line %d, column %d\n",
                 platform::AnsiToUtf8(rest.text).c_str(), rest.line_num, rest.column_num);
    return 1;
  }
  std::printf("%s\t%s\n", platform::AnsiToUtf8(result).c_str(), type.c_str());
  return 0;
}

int Expr(const std::vector<std::string>& args) {
  return WithEngineTextsInUtf8([&args] { return Evaluate(args); });
}

const KelvorinCommand kExpr("expr", "[--condition] TEXT", Expr);

}  // namespace
}  // namespace kelvorin::tool
