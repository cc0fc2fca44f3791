// The files that temporary storage spills into: unnamed files in the
// directory that TMPDIR names, so that nothing is left behind when the
// process closes them or dies; and a directory that cannot hold them makes
// the spilling step raise without losing what was already stored, so the
// structure goes on once files can be made again.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "db/storage/pages/page_hold.h"
#include "db/storage/streams/temporary_stream.h"
#include "db/storage/temporary/temporary_page_manager.h"
#include "db/storage/temporary/temporary_record_manager.h"
#include "tests/db/storage/temporary/volatile_test_util.h"

namespace kelvorin {
namespace {

namespace fs = std::filesystem;
using testing::Field;
using testing::LayoutOf;
using testing::MemoryRecord;
using testing::RawRecord;
using C = TABSColumnType;

// The files the process holds open, by descriptor (the listing's own
// descriptor left out).
std::set<std::string> OpenFiles() {
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const fs::path target = fs::read_symlink(entry.path(), error);
    if (!error && !target.string().starts_with("/proc/")) files.insert(entry.path().filename().string() + " " + target.string());
  }
  return files;
}

// One structure that keeps its first units in memory and spills the rest.
class Spilling {
 public:
  virtual ~Spilling() = default;
  // Adds unit `Units()`; raises when it cannot be stored (nothing is
  // stored then).
  virtual void Add() = 0;
  // Every unit added reads back as it was written.
  virtual void ExpectAll() = 0;
  int Units() const { return units_; }

 protected:
  int units_ = 0;
};

class SpillingRecords : public Spilling {
 public:
  SpillingRecords() : fields_({Field("n", C::Integer), Field("s", C::String, 300)}), records_(fields_.Layout()) {
    records_.SetMemoryRecordLimit(2);
  }
  void Add() override {
    TABSRecordId id;
    ASSERT_TRUE(records_.Insert(0, Record(units_).data(), id));
    ASSERT_EQ(SequenceNumber(id), units_);
    ++units_;
  }
  void ExpectAll() override {
    ASSERT_EQ(records_.RecordCount(), units_);
    MemoryRecord read(Record(0).size());
    for (int i = 0; i < units_; ++i) {
      TABSNavigateRequest request;
      request.direction = TABSNavigateDirection::kCurrent;
      request.record_id = SequenceRecordId(i);
      request.record = read.data();
      records_.Navigate(0, request);
      ASSERT_EQ(request.status, TABSNavigateStatus::kFound) << i;
      EXPECT_EQ(read, Record(i)) << i;
    }
  }

 private:
  MemoryRecord Record(int i) const { return RawRecord(fields_.Layout().MemorySize(), i); }
  LayoutOf fields_;
  TABSTemporaryRecordManager records_;
};

class SpillingPages : public Spilling {
 public:
  static constexpr int32_t kSession = 1;
  SpillingPages() { pages_.SetMemoryPageLimit(1); }
  void Add() override {
    {
      TABSPageHold page = TABSPageHold::Add(pages_, kSession, kAnyPageType);
      std::memset(page->Buffer(), units_ + 1, TABSTemporaryPageManager::kPageSize);
      numbers_.push_back(page->PageNo());
    }
    pages_.CommitSession(kSession);
    ++units_;
  }
  void ExpectAll() override {
    pages_.SetCacheCapacity(0);
    ASSERT_EQ(static_cast<int>(numbers_.size()), units_);
    for (int i = 0; i < units_; ++i) {
      TABSPageHold page = TABSPageHold::Get(pages_, kSession, numbers_[static_cast<size_t>(i)], kAnyPageType);
      const std::vector<uint8_t> expected(TABSTemporaryPageManager::kPageSize, static_cast<uint8_t>(i + 1));
      EXPECT_EQ(std::memcmp(page->Buffer(), expected.data(), expected.size()), 0) << "page " << i;
    }
  }
  ~SpillingPages() override {
    for (const int32_t page_no : numbers_) pages_.RemovePage(kSession, page_no);
    pages_.CommitSession(kSession);
  }

 private:
  TABSTemporaryPageManager pages_;
  std::vector<int32_t> numbers_;
};

// The stream a temporary table keeps its BLOB values in.
class SpillingStream : public Spilling {
 public:
  static constexpr int64_t kBlock = TABSTemporaryStream::kMemoryLimit / 4;
  void Add() override {
    const std::vector<uint8_t> block = Block(units_);
    stream_.Seek(0, TABSSeekOrigin::kEnd);
    ASSERT_EQ(stream_.Write(block.data(), kBlock), kBlock);
    ++units_;
  }
  void ExpectAll() override {
    ASSERT_EQ(stream_.Size(), units_ * kBlock);
    std::vector<uint8_t> read(kBlock);
    stream_.Seek(0, TABSSeekOrigin::kBeginning);
    for (int i = 0; i < units_; ++i) {
      ASSERT_EQ(stream_.Read(read.data(), kBlock), kBlock);
      EXPECT_EQ(read, Block(i)) << "block " << i;
    }
  }

 private:
  static std::vector<uint8_t> Block(int i) { return std::vector<uint8_t>(kBlock, static_cast<uint8_t>(i * 37 + 1)); }
  TABSTemporaryStream stream_;
};

struct Case {
  const char* what;
  std::function<std::unique_ptr<Spilling>()> make;
  int units;  // enough to spill
};

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"records", [] { return std::make_unique<SpillingRecords>(); }, 40},
      {"index pages", [] { return std::make_unique<SpillingPages>(); }, 6},
      {"BLOB values", [] { return std::make_unique<SpillingStream>(); }, 7},
  };
  return cases;
}

// Runs each test with TMPDIR naming a fresh directory of its own.
class TemporaryFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("TMPDIR")) old_tmpdir_ = old;
    std::string pattern = (fs::temp_directory_path() / "kelvorin-tmpdir-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    UseTemporaryDirectory(dir_);
  }
  void TearDown() override {
    if (old_tmpdir_) {
      ::setenv("TMPDIR", old_tmpdir_->c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
    fs::remove_all(dir_);
  }
  static void UseTemporaryDirectory(const fs::path& dir) { ::setenv("TMPDIR", dir.c_str(), 1); }
  bool DirectoryIsEmpty() const { return fs::is_empty(dir_); }

  fs::path dir_;
  std::optional<std::string> old_tmpdir_;
};

TEST_F(TemporaryFilesTest, SpillFilesAreUnnamedFilesInTheTemporaryDirectory) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    const std::set<std::string> before = OpenFiles();
    {
      std::unique_ptr<Spilling> spilling = c.make();
      for (int i = 0; i < c.units; ++i) spilling->Add();
      std::vector<std::string> opened;
      for (const std::string& file : OpenFiles()) {
        if (!before.contains(file)) opened.push_back(file);
      }
      ASSERT_EQ(opened.size(), 1u) << "one file holds what did not fit: " << ::testing::PrintToString(opened);
      // An unnamed file shows its directory and no name of its own.
      EXPECT_NE(opened[0].find(" " + dir_.string() + "/"), std::string::npos) << opened[0];
      EXPECT_TRUE(DirectoryIsEmpty()) << "a name would outlive a crash";
      spilling->ExpectAll();
    }
    EXPECT_EQ(OpenFiles(), before) << "the file goes with the structure";
    EXPECT_TRUE(DirectoryIsEmpty());
  }
}

TEST_F(TemporaryFilesTest, ADirectoryThatCannotHoldFilesFailsTheSpillAndLosesNothing) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    UseTemporaryDirectory(dir_ / "missing");
    const std::set<std::string> before = OpenFiles();
    std::unique_ptr<Spilling> spilling = c.make();
    int32_t error = 0;
    while (error == 0 && spilling->Units() < c.units) error = testing::ErrorCode([&] { spilling->Add(); });
    ASSERT_NE(error, 0) << "spilling cannot succeed";
    const int stored = spilling->Units();
    EXPECT_GT(stored, 0) << "the first units fit in memory";
    EXPECT_EQ(OpenFiles(), before);
    spilling->ExpectAll();
    // Once files can be made, the same structure goes on.
    UseTemporaryDirectory(dir_);
    while (spilling->Units() < c.units) spilling->Add();
    spilling->ExpectAll();
    EXPECT_EQ(spilling->Units(), c.units);
  }
}

}  // namespace
}  // namespace kelvorin
