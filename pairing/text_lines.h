// Line ends of text entering or leaving the pairing engine, and the line
// lists' files.
//
// The grid's clipboard format ends rows with CR alone. Text from Linux
// programs and files ends them with LF alone, so where text enters the system
// a lone LF becomes CR (a CR LF pair is left as it is).
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pairing {

// Every LF not preceded by CR becomes CR.
std::string LoneLineFeedsToCarriageReturns(std::string_view text);

// Splits text into lines at CR LF, CR or LF; a final line end does not start
// another line.
std::vector<std::string> SplitLines(std::string_view text);

// The whole rest of `in`, read in chunks (so that a pipe is read whole too);
// nothing when reading fails, without the stream throwing.
std::optional<std::string> ReadWhole(std::istream& in);

// Writes every line followed by CR LF (the last one included); raises
// "Cannot create file ..." on failure.
void SaveLinesToFile(const std::vector<std::string>& lines, const std::string& file_name);
// Reads a file into lines; raises "Cannot open file ..." when it cannot be opened.
std::vector<std::string> LoadLinesFromFile(const std::string& file_name);

}  // namespace pairing
