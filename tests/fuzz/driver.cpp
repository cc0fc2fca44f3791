// A stand-in for libFuzzer's main, so that fuzz targets also build with g++
// and run under CTest: every file or folder named on the command line is
// replayed as a seed, then random mutations of the seeds (or of random bytes
// when there are none) are fed to the target until the time is up.
//
//   target [--seconds=N] [--seed=N] [--max-len=N] [file-or-dir...]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void CollectSeeds(const std::filesystem::path& path, std::vector<Bytes>& seeds) {
  if (std::filesystem::is_directory(path)) {
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
      if (entry.is_regular_file()) seeds.push_back(ReadFile(entry.path()));
    }
  } else if (std::filesystem::is_regular_file(path)) {
    seeds.push_back(ReadFile(path));
  }
}

void Mutate(Bytes& input, std::mt19937_64& rng, size_t max_len) {
  std::uniform_int_distribution<int> kind(0, 5);
  int edits = 1 + static_cast<int>(rng() % 8);
  for (int i = 0; i < edits; ++i) {
    size_t pos = input.empty() ? 0 : rng() % input.size();
    switch (kind(rng)) {
      case 0:  // flip a bit
        if (!input.empty()) input[pos] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
      case 1:  // random byte
        if (!input.empty()) input[pos] = static_cast<uint8_t>(rng());
        break;
      case 2:  // insert bytes
        if (input.size() < max_len) input.insert(input.begin() + pos, 1 + rng() % 4, static_cast<uint8_t>(rng()));
        break;
      case 3:  // erase bytes
        if (!input.empty()) input.erase(input.begin() + pos, input.begin() + std::min(input.size(), pos + 1 + rng() % 4));
        break;
      case 4: {  // interesting 32-bit value
        static const uint32_t values[] = {0, 1, 0x7f, 0x80, 0xff, 0x7fffffff, 0x80000000u, 0xffffffffu};
        uint32_t v = values[rng() % std::size(values)];
        for (size_t k = 0; k < 4 && pos + k < input.size(); ++k) input[pos + k] = static_cast<uint8_t>(v >> (8 * k));
        break;
      }
      default:  // truncate
        if (!input.empty()) input.resize(rng() % input.size());
        break;
    }
  }
  if (input.size() > max_len) input.resize(max_len);
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 5;
  uint64_t seed = 1;
  size_t max_len = 1 << 16;
  std::vector<Bytes> seeds;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--seconds=", 0) == 0) {
      seconds = std::atof(arg.c_str() + 10);
    } else if (arg.rfind("--seed=", 0) == 0) {
      seed = std::strtoull(arg.c_str() + 7, nullptr, 10);
    } else if (arg.rfind("--max-len=", 0) == 0) {
      max_len = std::strtoull(arg.c_str() + 10, nullptr, 10);
    } else {
      CollectSeeds(arg, seeds);
    }
  }
  for (const Bytes& s : seeds) LLVMFuzzerTestOneInput(s.data(), s.size());
  if (seeds.empty()) seeds.emplace_back();

  std::mt19937_64 rng(seed);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  uint64_t runs = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    Bytes input = seeds[rng() % seeds.size()];
    if (input.empty() && rng() % 2) input.resize(rng() % 512, static_cast<uint8_t>(rng()));
    Mutate(input, rng, max_len);
    LLVMFuzzerTestOneInput(input.data(), input.size());
    ++runs;
  }
  std::printf("fuzz driver: %llu runs over %zu seeds\n", static_cast<unsigned long long>(runs), seeds.size());
  return 0;
}
