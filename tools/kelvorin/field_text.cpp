#include "tools/kelvorin/field_text.h"

#include <cctype>
#include <stdexcept>
#include <vector>

#include "db/tables/values/field_types.h"
#include "platform/locale_code_page.h"

namespace kelvorin::tool {

std::optional<std::string> EngineName(const std::string& utf8) {
  std::string name = platform::Utf8ToAnsi(utf8);
  if (platform::AnsiToUtf8(name) != utf8) return std::nullopt;
  return name;
}

std::optional<TABSDatasetFieldDef> ParseFieldText(const std::string& text, std::string& why) {
  std::vector<std::string> pieces;
  for (size_t start = 0;;) {
    const size_t end = text.find(':', start);
    pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  std::string type_name = pieces.size() >= 2 ? pieces[1] : "";
  for (char& c : type_name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::optional<std::string> name = EngineName(pieces[0]);
  const TSQLFieldType* type = FindSQLFieldType(type_name);
  if (pieces.size() < 2 || pieces.size() > 3 || !name || name->empty() || type == nullptr) {
    why = "'" + text + "' is not FIELD:TYPE[:SIZE] with an SQL type name such as INTEGER or STRING";
    return std::nullopt;
  }
  TABSDatasetFieldDef field;
  field.name = *name;
  field.type = type->column_type;
  if (pieces.size() == 3) {
    try {
      size_t used = 0;
      field.size = std::stoi(pieces[2], &used);
      if (used != pieces[2].size() || field.size <= 0) throw std::invalid_argument(pieces[2]);
    } catch (const std::exception&) {
      why = "'" + text + "' has no valid size";
      return std::nullopt;
    }
  } else if (IsStringColumn(type->column_type) || IsByteArrayColumn(type->column_type)) {
    why = "field '" + pieces[0] + "' of type " + pieces[1] + " needs a size";
    return std::nullopt;
  } else if (type->column_type == TABSColumnType::Guid) {
    field.size = 38;
  }
  return field;
}

}  // namespace kelvorin::tool
