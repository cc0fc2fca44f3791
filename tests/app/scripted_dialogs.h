// Test doubles for the windows' dialogs and a Qt test fixture with a scratch
// home and working directory of its own.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "pairing/window_dialogs.h"

namespace app_test {

// Answers Yes/No questions from a script and records everything shown. A
// question beyond the script fails the test and is answered No.
class ScriptedDialogs : public pairing::WindowDialogs {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool AskYesNo(const std::string& text) override {
    questions.push_back(text);
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected question: " << text;
      return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  // Also recorded apart: the question that guards a loss of data.
  bool AskYesNoDefaultNo(const std::string& text) override {
    default_no_questions.push_back(text);
    return AskYesNo(text);
  }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  std::optional<std::string> AskText(const std::string&, const std::string& prompt,
                                     const std::string&) override {
    questions.push_back(prompt);
    if (texts.empty()) return std::nullopt;
    std::string text = texts.front();
    texts.pop_front();
    return text;
  }
  std::optional<std::string> AskOpenFileName(const std::string&) override {
    if (texts.empty()) return std::nullopt;
    std::string name = texts.front();
    texts.pop_front();
    return name;
  }

  std::deque<bool> answers;
  std::deque<std::string> texts;
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::vector<std::string> default_no_questions;
  std::vector<std::string> errors;
};

// Every test gets its own HOME (so its own settings file) and works in it,
// so tests running side by side never share "wm.in", "wm.out" or settings.
class QtFixture : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home_.isValid());
    previous_dir_ = QDir::currentPath();
    ASSERT_EQ(setenv("HOME", home_.path().toLocal8Bit().constData(), 1), 0);
    ASSERT_TRUE(QDir::setCurrent(home_.path()));
  }
  void TearDown() override { QDir::setCurrent(previous_dir_); }

  QString HomePath() const { return home_.path(); }

 private:
  QTemporaryDir home_;
  QString previous_dir_;
};

}  // namespace app_test
