// kelvorin compress / decompress, run as the built program: every algorithm
// round-trips a file through the stored stream settings and its blocks, and
// every bad argument or damaged file ends with a message and status 1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "tests/scratch_dir_test.h"
#include "tests/tools/program_runner.h"

namespace {

using tools_test::ReadFile;
using tools_test::RunProgram;
using tools_test::WriteFile;

class KelvorinCompressTest : public testing_support::ScratchDirTest {};

// Text with some noise, larger than one block of the level-1 default.
std::string Input() {
  std::mt19937 rng(3);
  std::string text;
  while (text.size() < 600000) {
    text += "Kolo " + std::to_string(rng() % 40) + ", Stul " + std::to_string(rng() % 12) + "\n";
  }
  return text;
}

TEST_F(KelvorinCompressTest, EveryAlgorithmRoundTripsAFile) {
  const std::string input = Input();
  WriteFile("in.txt", input);
  struct Case {
    const char* algorithm;
    const char* level;
    const char* blocks;  // as printed
  } cases[] = {{"NONE", "0", "0 blocks"}, {"zlib", "1", "2 blocks"}, {"BZIP", "9", "1 blocks"},
               {"ppm", "5", "1 blocks"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.algorithm);
    auto packed = RunProgram("kelvorin", std::string("compress ") + c.algorithm + " " + c.level +
                                             " in.txt packed");
    ASSERT_EQ(packed.status, 0) << packed.err;
    EXPECT_NE(packed.out.find(c.blocks), std::string::npos) << packed.out;
    auto unpacked = RunProgram("kelvorin", "decompress packed back.txt");
    ASSERT_EQ(unpacked.status, 0) << unpacked.err;
    EXPECT_TRUE(ReadFile("back.txt") == input);
  }
}

TEST_F(KelvorinCompressTest, BadArgumentsAndDamagedFilesFailWithAMessage) {
  WriteFile("in.txt", "Kolo 1\n");
  WriteFile("short", "settings?");
  std::string damaged(40, '\0');
  damaged[0] = 100;   // block size
  damaged[4] = 1;     // one block, but only 8 bytes behind the settings
  damaged[20] = 32;   // start position
  damaged[28] = 1;    // ZLIB
  WriteFile("damaged", damaged);
  struct Case {
    const char* arguments;
    const char* message;
  } cases[] = {
      {"compress LZ 1 in.txt out", "unknown algorithm 'LZ'"},
      {"compress ZLIB x in.txt out", "level 'x' is not a number"},
      {"compress ZLIB 5x in.txt out", "level '5x' is not a number"},
      {"compress PPM 10 in.txt out", "level 10 is outside the range of PPM"},
      {"compress BZIP 0 in.txt out", "level 0 is outside the range of BZIP"},
      {"compress ZLIB 1 missing.txt out", "Cannot open file. FileName = missing.txt"},
      {"compress ZLIB 1 in.txt", "usage: kelvorin compress"},
      {"decompress short out", "short holds no stream settings"},
      {"decompress damaged out", "Native error: 10082"},
      {"decompress missing out", "Cannot open file. FileName = missing"},
  };
  for (const Case& c : cases) {
    auto result = RunProgram("kelvorin", c.arguments);
    EXPECT_EQ(result.status, 1) << c.arguments;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << c.arguments << ": " << result.err;
  }
}

}  // namespace
