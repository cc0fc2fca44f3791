// The command guard shared by every window.
#include "pairing/window_dialogs.h"

#include <exception>

namespace pairing {

namespace {

// Showing the error must not throw out of the guard either; a dialog that
// fails itself has nowhere left to report to.
void ShowErrorQuietly(WindowDialogs& dialogs, const std::string& text) noexcept {
  try {
    dialogs.ShowError(text);
  } catch (...) {
  }
}

}  // namespace

bool RunGuarded(WindowDialogs& dialogs, const std::function<void()>& command) noexcept {
  try {
    command();
    return true;
  } catch (const std::exception& error) {
    ShowErrorQuietly(dialogs, error.what());
  } catch (...) {
    ShowErrorQuietly(dialogs, "Unknown error");
  }
  return false;
}

}  // namespace pairing
