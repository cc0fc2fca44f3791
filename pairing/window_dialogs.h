// The standard dialogs the windows of the application need, as one interface.
//
// Windows never open a message box themselves: they ask a WindowDialogs, so
// that the desktop build shows real dialogs while tests script the answers and
// record what would have been shown. Texts are UTF-8.
//
// RunGuarded is the one guard around every command handler: whatever a
// command throws is shown with its text and the application goes on, so no
// exception ever unwinds through the toolkit's event loop.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "pairing/user_dialogs.h"

namespace pairing {

// The pairing engine's questions and messages (AskYesNo, ShowMessage) plus
// the dialogs only windows need.
class WindowDialogs : public UserDialogs {
 public:
  // A question whose safe answer is No (it guards a loss of data): No is
  // the default button. Dialogs without such a default ask AskYesNo.
  virtual bool AskYesNoDefaultNo(const std::string& text) { return AskYesNo(text); }
  // The text of an error that stopped a command.
  virtual void ShowError(const std::string& text) = 0;
  // A one-line text input; nothing when the user cancels.
  virtual std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                             const std::string& initial) = 0;
  // The open-file dialog; `filter` is "Description (*.ext)". Nothing on cancel.
  virtual std::optional<std::string> AskOpenFileName(const std::string& filter) = 0;
};

// Runs `command`; an exception it throws is shown through `dialogs` and
// swallowed. Returns true when the command ran to its end.
bool RunGuarded(WindowDialogs& dialogs, const std::function<void()>& command) noexcept;

}  // namespace pairing
