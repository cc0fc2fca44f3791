// The application's side of the database layer's hooks: its questions (the
// password dialog, the repair question, information messages), its progress
// window, and the error hook, which shows errors caught where they could
// not travel on. Questions and errors go through the windows' dialogs
// interface, so tests script them; the password prompt can be replaced.
//
// TAccessHooks installs all three for its lifetime.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/access_hooks/progress_win.h"
#include "db/access/session/access_events.h"
#include "pairing/window_dialogs.h"

namespace app {

class QtAccessQuestions : public kelvorin::TABSQuestions {
 public:
  // The typed password, or nothing when the user cancelled.
  using PasswordPrompt = std::function<std::optional<std::string>(const std::string& caption)>;

  // Without a prompt the password dialog asks.
  explicit QtAccessQuestions(pairing::WindowDialogs& dialogs, PasswordPrompt prompt = {})
      : dialogs_(dialogs), prompt_(std::move(prompt)) {}

  bool AskPassword(std::string_view caption, std::string_view label, std::string& password) override;
  bool AskYesNo(std::string_view text) override;
  void Inform(std::string_view text) override;

 private:
  pairing::WindowDialogs& dialogs_;
  PasswordPrompt prompt_;
};

class QtAccessErrorHook : public kelvorin::TABSErrorHook {
 public:
  explicit QtAccessErrorHook(pairing::WindowDialogs& dialogs) : dialogs_(dialogs) {}
  // The error is shown once the event loop is back (the hook may be called
  // from a destructor or inside a notification).
  void Report(std::exception_ptr error) noexcept override;

 private:
  pairing::WindowDialogs& dialogs_;
};

class TAccessHooks {
 public:
  explicit TAccessHooks(pairing::WindowDialogs& dialogs, QtAccessQuestions::PasswordPrompt prompt = {});
  ~TAccessHooks();
  TAccessHooks(const TAccessHooks&) = delete;
  TAccessHooks& operator=(const TAccessHooks&) = delete;

  TProgressWin& Progress() { return progress_; }

 private:
  QtAccessQuestions questions_;
  QtAccessErrorHook error_hook_;
  TProgressWin progress_;
};

}  // namespace app
