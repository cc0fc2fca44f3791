// Line-end conversion and the line lists' files.
#include "pairing/text_lines.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "pairing/pairing_error.h"
#include "platform/process.h"

namespace pairing {
namespace {

// The platform names a file in its messages by its full path.
std::string FullPath(const std::string& file_name) {
  if (!file_name.empty() && file_name[0] == '/') return file_name;
  std::string cwd = platform::WorkingDirectory();
  return cwd.empty() ? file_name : cwd + "/" + file_name;
}

}  // namespace

std::string LoneLineFeedsToCarriageReturns(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out[i] = '\r';
  }
  return out;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    char ch = text[i];
    if (ch == '\r' || ch == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      i += (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::optional<std::string> ReadWhole(std::istream& in) {
  std::string text;
  std::vector<char> chunk(std::size_t{1} << 16);
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return std::nullopt;
  return text;
}

void SaveLinesToFile(const std::vector<std::string>& lines, const std::string& file_name) {
  std::string text;
  std::size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  text.reserve(size);
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  errno = 0;
  std::ofstream out(file_name, std::ios::binary | std::ios::trunc);
  if (!out) ThrowCannotCreate(FullPath(file_name), std::strerror(errno));
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) ThrowCannotCreate(FullPath(file_name), std::strerror(errno ? errno : EIO));
}

std::vector<std::string> LoadLinesFromFile(const std::string& file_name) {
  errno = 0;
  std::ifstream in(file_name, std::ios::binary);
  if (!in) ThrowCannotOpen(FullPath(file_name), std::strerror(errno ? errno : ENOENT));
  // A file that opens but cannot be read (a directory, say) is as unusable as
  // a missing one.
  std::optional<std::string> text = ReadWhole(in);
  if (!text) ThrowCannotOpen(FullPath(file_name), std::strerror(errno ? errno : EIO));
  return SplitLines(*text);
}

}  // namespace pairing
