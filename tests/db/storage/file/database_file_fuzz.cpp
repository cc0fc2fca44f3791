// Fuzz target: opens damaged small database files, reads every page, makes
// one change and commits it, and runs the integrity checker. Only engine
// errors may come out; any crash, hang or sanitizer finding is a bug.
//
// Input: a mode byte, then either a whole file (mode 0) or patches of three
// bytes (16-bit offset, value) over a valid plain (1) or encrypted (2) file,
// so that even a simple mutator reaches the code behind the header checks.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/database_file.h"
#include "db/storage/pages/disk_page_manager.h"
#include "db/storage/pages/integrity_check.h"

namespace {

using namespace kelvorin;

std::string ScratchPath() {
  const std::filesystem::path base =
      std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
  return (base / ("kelvorin-fuzz-" + std::to_string(::getpid()))).string();
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> MakeBase(const std::string& path, const TABSPassword& password) {
  {
    TABSDiskPageManager m;
    m.Random().Seed(1);
    m.CreateDatabaseFile(path, password, 2, 256);
    int32_t previous = -1;
    for (int i = 0; i < 8; ++i) {
      TABSPage* page = m.AddPage(1, i % 2 ? ptTableRecord : ptTableBlob);
      std::memset(page->Data(), i, page->DataSize());
      page->SetNextPage(previous);
      previous = page->PageNo();
      m.PutPage(page);
    }
    m.CommitSession(1);
    m.RemovePage(1, 4);
    m.CommitSession(1);
  }
  return ReadAll(path);
}

void Exercise(const std::string& path, const TABSPassword& password) {
  TABSDiskPageManager m;
  bool multi_user = false;
  bool read_only = false;
  m.OpenDatabaseFile(path, password, multi_user, false, read_only);
  const int32_t total = m.Header().total_page_count;
  if (total > 512) return;  // a huge (sparse) file is legal, just slow to walk
  for (int32_t no = 0; no < total; ++no) {
    try {
      TABSPage* page = m.GetPage(1, no, kAnyPageType);
      m.PutPage(page);
    } catch (const EABSException&) {
    }
  }
  try {
    TABSPage* page = m.AddPage(2, ptTableRecord);
    page->Data()[0] = 1;
    m.PutPage(page);
    if (total > 3) m.RemovePage(2, 3);
    m.CommitSession(2);
  } catch (const EABSException&) {
    m.RollbackSession(2);
  }
  m.Close();
  CheckDatabaseFile(path, password);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = ScratchPath();
  static bool configured = [] {
    LockRetryPolicy().tries = 1;
    return true;
  }();
  (void)configured;
  static const std::vector<uint8_t> plain = MakeBase(path, {});
  static const std::vector<uint8_t> encrypted = MakeBase(path, {"pw", ciRijndael128});
  if (size == 0) return 0;
  std::vector<uint8_t> file;
  const uint8_t mode = data[0] % 3;
  if (mode == 0) {
    file.assign(data + 1, data + size);
  } else {
    file = mode == 1 ? plain : encrypted;
    for (size_t i = 1; i + 3 <= size; i += 3) {
      const size_t offset = (data[i] | (data[i + 1] << 8)) % file.size();
      file[offset] = data[i + 2];
    }
  }
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  }
  std::filesystem::remove(path + "-journal");
  try {
    Exercise(path, {"pw"});
  } catch (const EABSException&) {
  }
  return 0;
}
