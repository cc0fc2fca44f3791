// Command-line splitting, program lookup and running processes.
#include "platform/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

using platform::FindProgram;
using platform::RunProgram;
using platform::SplitCommandLine;

struct SplitCase {
  std::string line;
  std::vector<std::string> words;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, Splits) {
  EXPECT_EQ(SplitCommandLine(GetParam().line), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{"cmd  /c del wm.out", {"cmd", "/c", "del", "wm.out"}},
        SplitCase{"cmd /c wmatch wm.in > wm.out", {"cmd", "/c", "wmatch", "wm.in", ">", "wm.out"}},
        SplitCase{"\t lead  and trail \t", {"lead", "and", "trail"}},
        SplitCase{"\"/opt/my tools/cmd\" /c x", {"/opt/my tools/cmd", "/c", "x"}},
        SplitCase{"a\"b c\"d", {"ab cd"}},
        SplitCase{"\"\"", {""}},
        SplitCase{"", {}}));

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "process-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Script(const std::string& name, const std::string& body) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    ::chmod(path.c_str(), 0755);
    return path;
  }
  std::string dir_;
};

TEST_F(ProcessTest, FindProgramTriesTheDirectoriesThenPath) {
  std::string tool = Script("probe-tool", "exit 0");
  EXPECT_EQ(FindProgram("probe-tool", {"", "/nonexistent", dir_}), tool);
  EXPECT_EQ(FindProgram("sh", {"/nonexistent"}).value_or("").substr(0, 1), "/");
  EXPECT_FALSE(FindProgram("probe-tool", {"/nonexistent"}).has_value());
  EXPECT_EQ(FindProgram(tool, {}), tool);
  // Not executable, or a directory: not a program.
  std::ofstream(dir_ + "/plain") << "x";
  EXPECT_FALSE(FindProgram("plain", {dir_}).has_value());
  EXPECT_FALSE(FindProgram(dir_, {}).has_value());
  EXPECT_FALSE(FindProgram("", {dir_}).has_value());
}

TEST_F(ProcessTest, RunProgramReturnsTheExitCode) {
  std::string tool = Script("exit-code", "exit $1");
  EXPECT_EQ(RunProgram(tool, {tool, "0"}, {}), 0);
  EXPECT_EQ(RunProgram(tool, {tool, "7"}, {}), 7);
  std::string killer = Script("killer", "kill -9 $$");
  EXPECT_EQ(RunProgram(killer, {killer}, {}), 128 + 9);
  EXPECT_FALSE(RunProgram(dir_ + "/missing", {"missing"}, {}).has_value());
}

TEST_F(ProcessTest, ChildSeesOnlyTheStandardStreams) {
  // A descriptor the parent keeps open without close-on-exec.
  int fd = ::open((dir_ + "/open-file").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 3);
  std::string tool = Script("probe-fd", "test -e /proc/self/fd/$1 && exit 1; exit 0");
  EXPECT_EQ(RunProgram(tool, {tool, std::to_string(fd)}, {}), 0);
  ::close(fd);
}

TEST_F(ProcessTest, RedirectsTheStreamsItIsGiven) {
  int out = ::open((dir_ + "/out.txt").c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(out, 0);
  std::string tool = Script("hello", "echo hello");
  platform::StandardStreams streams;
  streams.output = out;
  EXPECT_EQ(RunProgram(tool, {tool}, streams), 0);
  ::close(out);
  std::ifstream in(dir_ + "/out.txt");
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "hello");
}

// A stream opened while the parent's own standard stream was closed lands in
// that very slot, close-on-exec; the child must still get it.
TEST_F(ProcessTest, RedirectsAStreamAlreadyInItsSlot) {
  std::fflush(stdout);
  const int saved = ::dup(STDOUT_FILENO);
  ASSERT_GE(saved, 0);
  int out = ::open((dir_ + "/out.txt").c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(out, 0);
  ::dup2(out, STDOUT_FILENO);
  ::close(out);
  ::fcntl(STDOUT_FILENO, F_SETFD, FD_CLOEXEC);
  std::string tool = Script("hello", "echo hello");
  platform::StandardStreams streams;
  streams.output = STDOUT_FILENO;
  std::optional<int> rc = RunProgram(tool, {tool}, streams);
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  EXPECT_EQ(rc, 0);
  std::ifstream in(dir_ + "/out.txt");
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "hello");
}

// The program's own directory comes first: this test program is found
// there, not the impostor of the same name in the working directory.
TEST_F(ProcessTest, RunCommandLineLooksUpTheProgramDirectoryFirst) {
  std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  Script("process_test", "exit 42");
  EXPECT_EQ(platform::RunCommandLine("process_test --gtest_filter=-*"), 0);
  std::filesystem::current_path(old);
}

// The working directory comes before PATH.
TEST_F(ProcessTest, RunCommandLineLooksUpTheWorkingDirectoryBeforePath) {
  std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  std::filesystem::create_directory(dir_ + "/on-path");
  Script("probe-order", "exit 3");
  Script("on-path/probe-order", "exit 4");
  std::string path = std::getenv("PATH");
  ::setenv("PATH", (dir_ + "/on-path:" + path).c_str(), 1);
  EXPECT_EQ(platform::RunCommandLine("probe-order"), 3);
  std::filesystem::remove(dir_ + "/probe-order");
  EXPECT_EQ(platform::RunCommandLine("probe-order"), 4);
  ::setenv("PATH", path.c_str(), 1);
  std::filesystem::current_path(old);
}

// With our input and error streams closed the child still runs (its output
// is lost).
TEST_F(ProcessTest, RunCommandLineWithTheStandardStreamsClosed) {
  std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  Script("loud-tool", "echo noise; exit 6");
  const int saved_input = ::dup(STDIN_FILENO);
  const int saved_error = ::dup(STDERR_FILENO);
  ASSERT_GE(saved_input, 0);
  ASSERT_GE(saved_error, 0);
  ::close(STDIN_FILENO);
  ::close(STDERR_FILENO);
  int rc = platform::RunCommandLine("loud-tool");
  ::dup2(saved_input, STDIN_FILENO);
  ::dup2(saved_error, STDERR_FILENO);
  ::close(saved_input);
  ::close(saved_error);
  EXPECT_EQ(rc, 6);
  std::filesystem::current_path(old);
}

TEST_F(ProcessTest, RunCommandLineLooksUpTheWorkingDirectory) {
  std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  Script("local-tool", "echo ran > ran.txt; exit 5");
  EXPECT_EQ(platform::RunCommandLine("local-tool with args"), 5);
  EXPECT_TRUE(std::filesystem::exists(dir_ + "/ran.txt"));
  // A program that cannot be found is not an error, only exit code 0.
  EXPECT_EQ(platform::RunCommandLine("no-such-program-anywhere /c x"), 0);
  EXPECT_EQ(platform::RunCommandLine("   "), 0);
  std::filesystem::current_path(old);
}

TEST(ProcessDirectoriesTest, ProgramAndWorkingDirectory) {
  EXPECT_TRUE(std::filesystem::exists(platform::ProgramDirectory() + "/process_test"));
  EXPECT_EQ(platform::WorkingDirectory(), std::filesystem::current_path().string());
}

}  // namespace
