// Test doubles for the pairing engine: scripted dialogs, a command runner that
// plays the matching program, and a scratch working directory per test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "pairing/command_runner.h"
#include "pairing/pairing_engine.h"
#include "pairing/pairing_error.h"
#include "tests/scratch_dir_test.h"

namespace pairing_test {

// The message of the PairingError `fn` raises, or "(no error)".
template <typename Fn>
std::string ErrorOf(Fn fn) {
  try {
    fn();
  } catch (const pairing::PairingError& e) {
    return e.what();
  }
  return "(no error)";
}

// Answers questions from a script (No once it runs out) and records them.
class ScriptedDialogs : public pairing::UserDialogs {
 public:
  bool AskYesNo(const std::string& text) override {
    questions.push_back(text);
    if (answers.empty()) return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowMessage(const std::string& text) override {
    messages.push_back(text);
    if (on_message) on_message(text);
  }

  std::deque<bool> answers;
  std::vector<std::string> questions;
  std::vector<std::string> messages;
  std::function<void(const std::string&)> on_message;
};

// Records the command lines; for a "wmatch" line it writes the next scripted
// matching into wm.out, for a "del" line it deletes wm.out.
class FakeMatcher : public pairing::CommandRunner {
 public:
  int Run(const std::string& command_line) override {
    commands.push_back(command_line);
    if (command_line.find(" del ") != std::string::npos) {
      std::filesystem::remove("wm.out");
    } else if (command_line.find(" wmatch ") != std::string::npos && !outputs.empty()) {
      std::ofstream("wm.out", std::ios::binary) << outputs.front();
      outputs.pop_front();
    }
    return 0;
  }

  // Queues a wm.out holding "i mate" for each entry (mates[i - 1] of vertex i).
  void QueueMates(const std::vector<int>& mates) {
    std::string text;
    for (std::size_t i = 0; i < mates.size(); ++i) {
      text += std::to_string(i + 1) + " " + std::to_string(mates[i]) + "\n";
    }
    outputs.push_back(text);
  }

  std::deque<std::string> outputs;
  std::vector<std::string> commands;
};

using testing_support::ScratchDirTest;

// An engine with scripted dialogs and the fake matcher.
class EngineTest : public ScratchDirTest {
 protected:
  EngineTest() : engine(dialogs) { engine.SetCommandRunner(&matcher); }

  // Fills rows 1..tables.size() with the given table numbers and results per
  // round and sets the counters.
  void SetHistory(const std::vector<std::vector<std::string>>& rows) {
    std::string text;
    for (const auto& row : rows) {
      for (std::size_t c = 0; c < row.size(); ++c) {
        if (c > 0) text += '\t';
        text += row[c];
      }
      text += '\r';
    }
    engine.ImportFromText(text);
  }

  // The cells of rows 1 to PlayerCount in column `col`.
  std::vector<std::string> Column(int col) {
    std::vector<std::string> cells;
    for (int r = 1; r <= engine.PlayerCount(); ++r) cells.push_back(engine.grid().Cell(col, r));
    return cells;
  }

  ScriptedDialogs dialogs;
  FakeMatcher matcher;
  pairing::PairingEngine engine;
};

}  // namespace pairing_test
