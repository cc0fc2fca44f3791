// Runs one of the built programs in the test's scratch directory and
// collects its exit status and output.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace tools_test {

inline std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& name, const std::string& text) {
  std::ofstream(name, std::ios::binary) << text;
}

struct ProgramResult {
  int status = -1;
  std::string out;
  std::string err;
};

// `arguments` is shell text; standard input comes from `input`, or from the
// shell text `feed` (ending in "|") when given.
inline ProgramResult RunProgram(const std::string& program, const std::string& arguments,
                                const std::string& input = "", const std::string& feed = "") {
  WriteFile("program.stdin", input);
  std::string command = feed + " " + std::string(VESTRUM_BIN_DIR) + "/" + program + " " +
                        arguments + (feed.empty() ? " <program.stdin" : "") +
                        " >program.stdout 2>program.stderr";
  int status = std::system(command.c_str());
  ProgramResult result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadFile("program.stdout");
  result.err = ReadFile("program.stderr");
  return result;
}

}  // namespace tools_test
