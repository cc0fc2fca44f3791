// Compression speed and ratio: 10 MB of text and of binary data through a
// compressed BLOB stream (each level's default block size) for every
// algorithm at levels 1, 5 and 9, with the zlib (pigz -z) and bzip2
// command-line tools on the same data as reference points.
//
// Text: the C headers under /usr/include, binary: the programs in /usr/bin
// larger than 100 kB, each concatenated in name order and cut to 10 MB.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "db/storage/streams/compressed_blob_stream.h"
#include "db/storage/compression/compression.h"
#include "db/storage/streams/memory_stream.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr size_t kDataSize = 10'000'000;

Bytes Collect(const fs::path& root, bool recursive, bool (*wanted)(const fs::directory_entry&)) {
  std::vector<fs::path> files;
  std::error_code ec;
  auto add = [&](const fs::directory_entry& e) {
    if (e.is_regular_file(ec) && !e.is_symlink(ec) && wanted(e)) files.push_back(e.path());
  };
  if (recursive) {
    for (const auto& e : fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec)) add(e);
  } else {
    for (const auto& e : fs::directory_iterator(root, ec)) add(e);
  }
  std::sort(files.begin(), files.end());
  Bytes out;
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    out.insert(out.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (out.size() >= kDataSize) break;
  }
  if (out.empty()) out.push_back(0);
  while (out.size() < kDataSize) out.insert(out.end(), out.begin(), out.begin() + std::min(out.size(), kDataSize - out.size()));
  out.resize(kDataSize);
  return out;
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

double MBps(double seconds) { return kDataSize / 1e6 / seconds; }

void Engine(const char* data_name, const Bytes& data, uint8_t algorithm, int level) {
  using namespace kelvorin;
  TABSMemoryStream container;
  TABSCompressedStreamSettings settings;
  settings.algorithm = algorithm;
  settings.level = static_cast<uint8_t>(level);
  auto start = Clock::now();
  int64_t compressed = 0;
  TABSCompressedStreamSettings stored;
  {
    TABSCompressedBLOBStream blob(container, false, true, settings);
    int64_t block = blob.Settings().block_size;
    for (size_t at = 0; at < data.size(); at += static_cast<size_t>(block)) {
      int64_t n = std::min<int64_t>(block, static_cast<int64_t>(data.size() - at));
      blob.Write(data.data() + at, n);
    }
    stored = blob.Settings();
    compressed = container.Size();
  }
  double pack = Seconds(start);
  Bytes back(data.size());
  start = Clock::now();
  TABSCompressedBLOBStream blob(container, false, false, stored);
  int64_t read = blob.Read(back.data(), static_cast<int64_t>(back.size()));
  double unpack = Seconds(start);
  bool same = read == static_cast<int64_t>(data.size()) && back == data;
  std::printf("%-6s %-5s %d  ratio %6.3f  compress %7.2f MB/s  decompress %7.2f MB/s%s\n", data_name,
              std::string(CompressionAlgorithmName(algorithm)).c_str(), level,
              static_cast<double>(compressed) / static_cast<double>(data.size()), MBps(pack),
              MBps(unpack), same ? "" : "  MISMATCH");
}

void Tool(const char* data_name, const fs::path& input, const char* name, const std::string& pack,
          const std::string& unpack, int level) {
  fs::path packed = input.string() + ".packed";
  fs::path unpacked = input.string() + ".unpacked";
  auto start = Clock::now();
  int rc = std::system((pack + " -" + std::to_string(level) + " -c '" + input.string() + "' > '" +
                        packed.string() + "'").c_str());
  double t_pack = Seconds(start);
  start = Clock::now();
  rc |= std::system((unpack + " -c '" + packed.string() + "' > '" + unpacked.string() + "'").c_str());
  double t_unpack = Seconds(start);
  std::error_code ec;
  double ratio = static_cast<double>(fs::file_size(packed, ec)) / kDataSize;
  std::printf("%-6s %-5s %d  ratio %6.3f  compress %7.2f MB/s  decompress %7.2f MB/s%s\n", data_name,
              name, level, ratio, MBps(t_pack), MBps(t_unpack), rc == 0 ? "" : "  (tool failed)");
  fs::remove(packed, ec);
  fs::remove(unpacked, ec);
}

}  // namespace

int main() {
  struct Data {
    const char* name;
    Bytes bytes;
  } sets[] = {
      {"text", Collect("/usr/include", true,
                       [](const fs::directory_entry& e) { return e.path().extension() == ".h"; })},
      {"binary", Collect("/usr/bin", false, [](const fs::directory_entry& e) {
         std::error_code ec;
         return e.file_size(ec) > 100000;
       })}};
  for (const Data& set : sets) {
    for (uint8_t algorithm : {uint8_t{1}, uint8_t{2}, uint8_t{3}}) {
      for (int level : {1, 5, 9}) Engine(set.name, set.bytes, algorithm, level);
    }
    fs::path file = fs::temp_directory_path() / (std::string("kelvorin_bench_") + set.name);
    {
      std::ofstream out(file, std::ios::binary);
      out.write(reinterpret_cast<const char*>(set.bytes.data()), static_cast<std::streamsize>(set.bytes.size()));
    }
    for (int level : {1, 5, 9}) Tool(set.name, file, "pigz", "pigz -z -p 1", "pigz -d -z", level);
    for (int level : {1, 5, 9}) Tool(set.name, file, "bzip2", "bzip2", "bzip2 -d", level);
    std::error_code ec;
    fs::remove(file, ec);
  }
  return 0;
}
