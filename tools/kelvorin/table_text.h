// The text form of a table's records in the tool's TAB-separated files, in
// the engine's 8-bit code page, one record per line, an empty cell NULL:
//   strings, GUIDs    the text, with \\, \t, \n and \r for a backslash, TAB,
//                     line feed and carriage return
//   integers          decimal
//   SINGLE, FLOAT, EXTENDED, CURRENCY
//                     decimal with a point, as many digits as the value needs
//                     to read back the same (an exponent where it is shorter)
//   LOGICAL           True or False (also read: 1, 0, any letter case)
//   DATE, TIME, DATETIME
//                     YYYY-MM-DD, HH:MM:SS.mmm, YYYY-MM-DD HH:MM:SS.mmm
//   BYTES, VARBYTES   hexadecimal, two digits a byte
//   BLOB-like         written as their length in bytes, or in hexadecimal;
//                     read as the text itself, or as hexadecimal
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "db/tables/records/table_data.h"

namespace kelvorin::tool {

enum class TABSBlobText { kLength, kText, kHex };

// A cell that cannot become a value of its field; its message is the tool's.
class ECellError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The cell of a field of a record ("" for NULL).
std::string CellText(TABSTableData& table, int32_t session, uint8_t* record, int32_t field, TABSBlobText blobs);
// Puts a cell's value into a field of a record (an empty cell makes it NULL).
// Raises ECellError for text of the wrong form, engine errors for a value
// the field cannot hold.
void SetCellText(TABSTableData& table, uint8_t* record, int32_t field, std::string_view cell, TABSBlobText blobs);

}  // namespace kelvorin::tool
