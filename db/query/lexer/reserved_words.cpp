#include "db/query/lexer/reserved_words.h"

#include <array>

namespace kelvorin {
namespace {

constexpr std::array<std::string_view, kReservedWordCount> kWords = {
    "ACTION", "ADD", "ALL", "ALLOCATE", "ALTER", "AND", "ANY", "ARE", "AS", "ASC", "ASSERTION",
    "AT", "AUTHORIZATION", "AVG", "BEGIN", "BETWEEN", "BIT", "BIT_LENGTH", "BOTH", "BY",
    "CASCADE", "CASCADED", "CASE", "CAST", "CATALOG", "CHAR", "CHARACTER", "CHAR_LENGTH",
    "CHARACTER_LENGTH", "CHECK", "CLOSE", "COALESCE", "COLLATE", "COLLATION", "COLUMN",
    "COMMIT", "CONNECT", "CONNECTION", "CONSTRAINT", "CONSTRAINTS", "CONTINUE", "CONVERT",
    "CORRESPONDING", "COUNT", "CREATE", "CROSS", "CURRENT", "CURRENT_DATE", "CURRENT_TIME",
    "CURRENT_TIMESTAMP", "CURRENT_USER", "CURSOR", "DATE", "DAY", "DEALLOCATE", "DEC",
    "DECIMAL", "DECLARE", "DEFAULT", "DEFERRABLE", "DEFERRED", "DELETE", "DESC", "DESCRIBE",
    "DESCRIPTOR", "DIAGNOSTICS", "DISCONNECT", "DISTINCT", "DOMAIN", "DOUBLE", "DROP", "ELSE",
    "END", "END-EXEC", "ESCAPE", "EXCEPT", "EXCEPTION", "EXEC", "EXECUTE", "EXISTS", "EXTERNAL",
    "EXTRACT", "FALSE", "FETCH", "FIRST", "FLOAT", "FOR", "FOREIGN", "FOUND", "FROM", "FULL",
    "GET", "GLOBAL", "GO", "GOTO", "GRANT", "GROUP", "HAVING", "HOUR", "IDENTITY", "IMMEDIATE",
    "IN", "INDICATOR", "INITIALLY", "INNER", "INPUT", "INSENSITIVE", "INSERT", "INT", "INTEGER",
    "INTERSECT", "INTERVAL", "INTO", "IS", "ISOLATION", "JOIN", "KEY", "LANGUAGE", "LAST",
    "LEADING", "LEFT", "LEVEL", "LIKE", "LOCAL", "LOWER", "MATCH", "MAX", "MEMORY", "MIN",
    "MINUS", "MINUTE", "MODULE", "MONTH", "NAMES", "NATIONAL", "NATURAL", "NCHAR", "NEXT", "NO",
    "NOT", "NULL", "NULLIF", "NUMERIC", "OCTET_LENGTH", "OF", "ON", "ONLY", "OPEN", "OPTION",
    "OR", "ORDER", "OUTER", "OUTPUT", "OVERLAPS", "PAD", "PARTIAL", "POSITION", "PRECISION",
    "PREPARE", "PRESERVE", "PRIMARY", "PRIOR", "PRIVILEGES", "PROCEDURE", "PUBLIC", "READ",
    "REAL", "REFERENCES", "RELATIVE", "RESTRICT", "REVOKE", "RIGHT", "ROLLBACK", "ROWS",
    "SCHEMA", "SCROLL", "SECOND", "SECTION", "SELECT", "SESSION", "SESSION_USER", "SET", "SIZE",
    "SMALLINT", "SOME", "SPACE", "SQL", "SQLCODE", "SQLERROR", "SQLSTATE", "SUBSTRING", "SUM",
    "SYSTEM_USER", "TABLE", "TEMPORARY", "THEN", "TIME", "TIMESTAMP", "TIMEZONE_HOUR",
    "TIMEZONE_MINUTE", "TO", "TOP", "TRAILING", "TRANSACTION", "TRANSLATE", "TRANSLATION",
    "TRIM", "TRUE", "UNION", "UNIQUE", "UNKNOWN", "UPDATE", "UPPER", "USAGE", "USER", "USING",
    "VALUE", "VALUES", "VARCHAR", "VARYING", "VIEW", "WHEN", "WHENEVER", "WHERE", "WITH",
    "WORK", "WRITE", "YEAR", "ZONE", "PASSWORD", "BLOBBLOCKSIZE", "BLOBCOMPRESSIONMODE",
    "BLOBCOMPRESSIONALGORITHM", "LASTAUTOINC", "MODIFY", "NEW", "INDEX", "NOCASE", "LTRIM",
    "RTRIM", "POS", "LENGTH", "SYSDATE", "NOW", "TODATE", "TOSTRING", "AUTOINDEXES",
    "NOAUTOINDEXES", "INCREMENT", "LASTVALUE", "MAXVALUE", "MINVALUE", "CYCLED", "NOMAXVALUE",
    "NOMINVALUE", "NOCYCLED", "INITIALVALUE", "RENAME", "START", "FLUSH", "AUTOINC",
};

constexpr size_t kLongestWord = 24;  // BLOBCOMPRESSIONALGORITHM
constexpr size_t kSlotCount = 1024;  // a power of two, under a third full
constexpr uint16_t kEmptySlot = 0xFFFF;

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr uint32_t HashOf(std::string_view upper) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (char c : upper) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
  return hash;
}

// Open addressing over the upper-cased words, built once at compile time.
struct WordIndex {
  std::array<uint16_t, kSlotCount> slots{};

  constexpr WordIndex() {
    for (uint16_t& slot : slots) slot = kEmptySlot;
    for (size_t i = 0; i < kWords.size(); ++i) {
      size_t slot = HashOf(kWords[i]) & (kSlotCount - 1);
      while (slots[slot] != kEmptySlot) slot = (slot + 1) & (kSlotCount - 1);
      slots[slot] = static_cast<uint16_t>(i);
    }
  }
};

constexpr WordIndex kIndex;

}  // namespace

std::string_view ReservedWordText(uint16_t word) {
  return word < kWords.size() ? kWords[word] : std::string_view();
}

uint16_t FindReservedWord(std::string_view word) {
  if (word.size() < 2 || word.size() > kLongestWord) return AnyReservedWord;
  char upper[kLongestWord];
  for (size_t i = 0; i < word.size(); ++i) upper[i] = AsciiUpper(word[i]);
  const std::string_view key(upper, word.size());
  for (size_t slot = HashOf(key) & (kSlotCount - 1);; slot = (slot + 1) & (kSlotCount - 1)) {
    const uint16_t candidate = kIndex.slots[slot];
    if (candidate == kEmptySlot) return AnyReservedWord;
    if (kWords[candidate] == key) return candidate;
  }
}

}  // namespace kelvorin
