#include "records/data/players_file.h"

#include "platform/file.h"
#include "records/data/tournament_data.h"
#include "records/players_list/players_list.h"
#include "records/records_error.h"

namespace records {

namespace {

[[noreturn]] void FailFile(const char* what, const std::string& path, int code) {
  throw RecordsError(std::string(what) + " \"" + path + "\". " + platform::ErrorText(code));
}

std::string ReadListFile(const std::string& path) {
  platform::File file;
  if (const int code = file.Open(path, platform::Access::kRead, false); code != 0) {
    FailFile("Cannot open file", path, code);
  }
  int64_t size = 0;
  if (const int code = file.Size(&size); code != 0) FailFile("Cannot read file", path, code);
  if (static_cast<uint64_t>(size) > kMaxPlayersListBytes) throw RecordsError("Seznam hráčů je větší než 1 MiB");
  std::string bytes(static_cast<size_t>(size), '\0');
  int64_t done = 0;
  if (const int code = file.ReadAt(bytes.data(), size, 0, &done); code != 0) FailFile("Cannot read file", path, code);
  bytes.resize(static_cast<size_t>(done));
  return bytes;
}

void WriteListFile(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".tmp";
  platform::RemoveFile(temporary);
  platform::File file;
  if (const int code = file.Open(temporary, platform::Access::kReadWrite, true); code != 0) {
    FailFile("Cannot create file", temporary, code);
  }
  int code = file.WriteAt(bytes.data(), static_cast<int64_t>(bytes.size()), 0);
  if (code == 0) code = file.Sync();
  if (const int closed = file.Close(); code == 0) code = closed;
  if (code == 0) code = platform::RenameFile(temporary, path);
  if (code != 0) {
    platform::RemoveFile(temporary);
    FailFile("Cannot write file", path, code);
  }
  platform::SyncDirectoryOf(path);
}

}  // namespace

void LoadAll(TData& data, const std::string& path) {
  const std::vector<ListedPlayer> players = ReadPlayersList(ReadListFile(path));
  data.ReplacePlayers(players);
}

void SaveAll(TData& data, const std::string& path) {
  WriteListFile(path, WritePlayersList(data.ListPlayers()));
}

}  // namespace records
