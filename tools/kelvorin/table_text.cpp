#include "tools/kelvorin/table_text.h"

#include <cctype>
#include <charconv>
#include <cstring>
#include <optional>
#include <vector>

#include "db/storage/blobs/blob_manager.h"
#include "db/storage/streams/memory_stream.h"
#include "db/tables/values/value_encoding.h"
#include "tools/kelvorin/date_text.h"

namespace kelvorin::tool {
namespace {

using S = TABSStorageType;

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view cell) {
  std::string out;
  out.reserve(cell.size());
  for (size_t i = 0; i < cell.size(); ++i) {
    if (cell[i] != '\\') {
      out += cell[i];
      continue;
    }
    const char next = i + 1 < cell.size() ? cell[++i] : '\0';
    switch (next) {
      case '\\': out += '\\'; break;
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: throw ECellError("'" + std::string(cell) + "' holds an unknown escape");
    }
  }
  return out;
}

std::string Hex(const uint8_t* bytes, int64_t size) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out(static_cast<size_t>(size) * 2, '0');
  for (int64_t i = 0; i < size; ++i) {
    out[static_cast<size_t>(2 * i)] = digits[bytes[i] >> 4];
    out[static_cast<size_t>(2 * i + 1)] = digits[bytes[i] & 15];
  }
  return out;
}

std::vector<uint8_t> FromHex(std::string_view cell) {
  const auto digit = [&](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw ECellError("'" + std::string(cell) + "' is not hexadecimal");
  };
  if (cell.size() % 2 != 0) throw ECellError("'" + std::string(cell) + "' is not hexadecimal");
  std::vector<uint8_t> bytes(cell.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(digit(cell[2 * i]) << 4 | digit(cell[2 * i + 1]));
  }
  return bytes;
}

template <typename T>
std::string Shortest(T value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

template <typename T>
T Number(std::string_view cell, const char* what) {
  T value{};
  const auto result = std::from_chars(cell.data(), cell.data() + cell.size(), value);
  if (result.ec != std::errc() || result.ptr != cell.data() + cell.size()) {
    throw ECellError("'" + std::string(cell) + "' is not " + what);
  }
  return value;
}

std::string BlobCell(TABSTableData& table, int32_t session, uint8_t* record, int32_t field, TABSBlobText blobs) {
  TABSMemoryStream value;
  table.BlobManager()->ReadValue(session, record, field, value);
  if (blobs == TABSBlobText::kLength) return std::to_string(value.Size());
  if (blobs == TABSBlobText::kHex) return Hex(value.Memory(), value.Size());
  return Escape(std::string_view(reinterpret_cast<const char*>(value.Memory()), static_cast<size_t>(value.Size())));
}

}  // namespace

std::string CellText(TABSTableData& table, int32_t session, uint8_t* record, int32_t field, TABSBlobText blobs) {
  if (TABSRecordFields::IsNull(record, field)) return "";
  const TABSStorageType type = table.RecordFields().Field(field).storage_type;
  if (IsBlobStorage(type)) return BlobCell(table, session, record, field, blobs);
  TABSVariant value;
  table.FieldManager().GetFieldValue(field, value, record);
  switch (type) {
    case S::Char:
    case S::String:
    case S::WideChar:
    case S::WideString:
      return Escape(value.AsString());
    case S::Single:
      return Shortest(value.AsSingle());
    case S::Float:
      return Shortest(value.AsFloat());
    case S::Extended:
      return Shortest(value.AsExtended());
    case S::Currency:
      return Shortest(value.AsCurrency());
    case S::Logical:
      return value.AsLogical() ? "True" : "False";
    case S::Date:
      return DayNumberText(value.AsDate());
    case S::Time:
      return TimeOfDayText(value.AsTime());
    case S::DateTime: {
      int32_t day = 0, ms = 0;
      value.AsDateTime(&day, &ms);
      return DayNumberText(day) + " " + TimeOfDayText(ms);
    }
    case S::Bytes:
    case S::VarBytes:
      return Hex(static_cast<const uint8_t*>(value.Data()), value.DataSize());
    default:
      return std::to_string(value.AsLargeInt());
  }
}

void SetCellText(TABSTableData& table, uint8_t* record, int32_t field, std::string_view cell, TABSBlobText blobs) {
  const TABSStorageType type = table.RecordFields().Field(field).storage_type;
  TABSVariant value;
  if (IsBlobStorage(type)) {
    if (cell.empty()) {
      table.BlobManager()->ClearValue(record, field);
      return;
    }
    if (blobs == TABSBlobText::kHex) {
      const std::vector<uint8_t> bytes = FromHex(cell);
      table.BlobManager()->WriteValue(record, field, bytes.data(), static_cast<int64_t>(bytes.size()));
    } else {
      const std::string text = Unescape(cell);
      table.BlobManager()->WriteValue(record, field, text.data(), static_cast<int64_t>(text.size()));
    }
    return;
  }
  if (!cell.empty()) {
    size_t pos = 0;
    switch (type) {
      case S::Char:
      case S::String:
      case S::WideChar:
      case S::WideString:
        value.SetString(Unescape(cell));
        break;
      case S::Single:
        value.SetSingle(Number<float>(cell, "a number"));
        break;
      case S::Float:
        value.SetFloat(Number<double>(cell, "a number"));
        break;
      case S::Extended:
        value.SetExtended(Number<long double>(cell, "a number"));
        break;
      case S::Currency:
        value.SetCurrency(Number<double>(cell, "a number"));
        break;
      case S::Logical: {
        std::string word(cell);
        for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (word != "TRUE" && word != "FALSE" && word != "1" && word != "0") {
          throw ECellError("'" + std::string(cell) + "' is not True or False");
        }
        value.SetLogical(word == "TRUE" || word == "1");
        break;
      }
      case S::Date: {
        const std::optional<int32_t> day = ParseDayNumber(cell, &pos);
        if (!day || pos != cell.size()) throw ECellError("'" + std::string(cell) + "' is not a date (YYYY-MM-DD)");
        value.SetDate(*day);
        break;
      }
      case S::Time: {
        const std::optional<int32_t> ms = ParseTimeOfDay(cell, &pos);
        if (!ms || pos != cell.size()) throw ECellError("'" + std::string(cell) + "' is not a time (HH:MM:SS.mmm)");
        value.SetTime(*ms);
        break;
      }
      case S::DateTime: {
        const std::optional<int32_t> day = ParseDayNumber(cell, &pos);
        std::optional<int32_t> ms = 0;
        if (day && pos < cell.size() && cell[pos] == ' ') {
          ++pos;
          ms = ParseTimeOfDay(cell, &pos);
        }
        if (!day || !ms || pos != cell.size()) {
          throw ECellError("'" + std::string(cell) + "' is not a date and time (YYYY-MM-DD HH:MM:SS.mmm)");
        }
        value.SetDateTime(*day, *ms);
        break;
      }
      case S::Bytes:
      case S::VarBytes: {
        const std::vector<uint8_t> bytes = FromHex(cell);
        if (bytes.empty()) break;
        value.SetRaw(bytes.data(), static_cast<int32_t>(bytes.size()), type);
        break;
      }
      default:
        value.SetLargeInt(Number<int64_t>(cell, "an integer"));
        break;
    }
  }
  table.FieldManager().SetFieldValue(field, value, record);
}

}  // namespace kelvorin::tool
