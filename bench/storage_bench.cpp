// Page manager against the raw file calls it is built on:
//   commit: 10,000 dirty 4096-byte pages in 100 commits, next to pwrite of
//           the same pages plus fsync after each hundred;
//   read:   100,000 random page reads through the cache, hot (a set no
//           larger than the cache) and cold (all pages), next to pread.
// Run in a directory on a real disk: syncing is part of what is measured.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <unistd.h>
#include <vector>

#include "db/storage/pages/disk_page_manager.h"

namespace {

using namespace kelvorin;
using Clock = std::chrono::steady_clock;

constexpr int kPages = 10000;
constexpr int kCommits = 100;
constexpr int kReads = 100000;
constexpr int kPageSize = 4096;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<int32_t> Fill(TABSDiskPageManager& m) {
  std::vector<int32_t> pages;
  for (int i = 0; i < kPages; ++i) {
    TABSPage* page = m.AddPage(1, ptTableRecord);
    std::memset(page->Data(), i, page->DataSize());
    pages.push_back(page->PageNo());
    m.PutPage(page);
    if (i % 1000 == 999) m.CommitSession(1);
  }
  m.CommitSession(1);
  return pages;
}

double EngineCommits(TABSDiskPageManager& m, const std::vector<int32_t>& pages) {
  const auto start = Clock::now();
  for (int c = 0; c < kCommits; ++c) {
    for (int i = 0; i < kPages / kCommits; ++i) {
      TABSPage* page = m.GetPage(1, pages[c * (kPages / kCommits) + i], ptTableRecord);
      page->Data()[0] ^= 1;
      page->dirty = true;
      m.PutPage(page);
    }
    m.CommitSession(1);
  }
  return Seconds(start);
}

double RawCommits(const std::string& path, const std::vector<int32_t>& pages) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  // A valid page image, so that the file stays readable by the engine.
  std::vector<uint8_t> buffer(kPageSize);
  if (::pread(fd, buffer.data(), kPageSize, kPageAreaOffset + int64_t{pages[0]} * kPageSize) != kPageSize) {
    std::perror("pread");
  }
  const auto start = Clock::now();
  for (int c = 0; c < kCommits; ++c) {
    for (int i = 0; i < kPages / kCommits; ++i) {
      const int64_t offset = kPageAreaOffset + int64_t{pages[c * (kPages / kCommits) + i]} * kPageSize;
      if (::pwrite(fd, buffer.data(), kPageSize, offset) != kPageSize) std::perror("pwrite");
    }
    ::fdatasync(fd);
  }
  const double seconds = Seconds(start);
  ::close(fd);
  return seconds;
}

std::vector<int32_t> RandomPages(const std::vector<int32_t>& pages, int set_size) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> pick(0, set_size - 1);
  std::vector<int32_t> order(kReads);
  for (auto& p : order) p = pages[pick(random)];
  return order;
}

double EngineReads(TABSDiskPageManager& m, const std::vector<int32_t>& order) {
  const auto start = Clock::now();
  uint64_t sum = 0;
  for (int32_t no : order) {
    TABSPage* page = m.GetPage(1, no, ptTableRecord);
    sum += page->Data()[0];
    m.PutPage(page);
  }
  const double seconds = Seconds(start);
  if (sum == 1) std::printf(" ");
  return seconds;
}

double RawReads(const std::string& path, const std::vector<int32_t>& order) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  std::vector<uint8_t> buffer(kPageSize);
  uint64_t sum = 0;
  const auto start = Clock::now();
  for (int32_t no : order) {
    if (::pread(fd, buffer.data(), kPageSize, kPageAreaOffset + int64_t{no} * kPageSize) != kPageSize) {
      std::perror("pread");
    }
    sum += buffer[40];
  }
  const double seconds = Seconds(start);
  ::close(fd);
  if (sum == 1) std::printf(" ");
  return seconds;
}

}  // namespace

int main() {
  const std::string path = (std::filesystem::current_path() / "storage_bench.db").string();
  TABSDiskPageManager m;
  m.Random().Seed(1);
  m.CreateDatabaseFile(path, {}, 8, kPageSize);
  const std::vector<int32_t> pages = Fill(m);

  // Best of three alternating runs, for the same reason as the reads below.
  double engine_commit = 1e9;
  double raw_commit = 1e9;
  for (int run = 0; run < 3; ++run) {
    engine_commit = std::min(engine_commit, EngineCommits(m, pages));
    raw_commit = std::min(raw_commit, RawCommits(path, pages));
  }
  std::printf("commit 10000 pages in 100 commits: engine %.3f s, raw pwrite+fdatasync %.3f s, ratio %.2f\n",
              engine_commit, raw_commit, engine_commit / raw_commit);

  const std::vector<int32_t> hot = RandomPages(pages, std::min(m.CacheCapacity(), kPages));
  // Best of five runs each: the machine is shared, and the best run is the
  // one least disturbed by others.
  double engine_hot = 1e9;
  double raw_hot = 1e9;
  for (int run = 0; run < 5; ++run) {
    engine_hot = std::min(engine_hot, EngineReads(m, hot));
    raw_hot = std::min(raw_hot, RawReads(path, hot));
  }
  std::printf("100000 hot reads (%d pages, cache %d): engine %.4f s, raw pread %.4f s, engine %.1fx faster\n",
              std::min(m.CacheCapacity(), kPages), m.CacheCapacity(), engine_hot, raw_hot, raw_hot / engine_hot);

  const std::vector<int32_t> cold = RandomPages(pages, kPages);
  const double engine_cold = EngineReads(m, cold);
  const double raw_cold = RawReads(path, cold);
  std::printf("100000 cold reads (%d pages): engine %.4f s, raw pread %.4f s, ratio %.2f\n", kPages,
              engine_cold, raw_cold, engine_cold / raw_cold);
  m.Close();
  std::filesystem::remove(path);
  return 0;
}
