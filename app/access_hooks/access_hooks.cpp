// The database layer's questions, progress and errors, shown by the
// application.
#include "app/access_hooks/access_hooks.h"

#include <QApplication>
#include <QLabel>
#include <QMetaObject>

#include "app/access_hooks/password_dialog.h"
#include "app/grid/ansi_text.h"

namespace app {

bool QtAccessQuestions::AskPassword(std::string_view caption, std::string_view label,
                                    std::string& password) {
  std::optional<std::string> typed;
  if (prompt_) {
    typed = prompt_(std::string(caption));
  } else {
    TPasswordDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(FromAnsi(caption));
    dialog.PromptLabel().setText(FromAnsi(label));
    if (dialog.exec() == QDialog::Accepted) {
      // The engine keeps the password in the code page, like its strings.
      typed = ToAnsi(dialog.Password()).value_or(dialog.Password().toStdString());
    }
  }
  if (!typed) return false;
  password = *typed;
  return true;
}

bool QtAccessQuestions::AskYesNo(std::string_view text) {
  return dialogs_.AskYesNo(FromAnsi(text).toStdString());
}

void QtAccessQuestions::Inform(std::string_view text) {
  dialogs_.ShowMessage(FromAnsi(text).toStdString());
}

void QtAccessErrorHook::Report(std::exception_ptr error) noexcept {
  try {
    std::string text = "Unknown error";
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      text = e.what();
    } catch (...) {
    }
    pairing::WindowDialogs* dialogs = &dialogs_;
    QMetaObject::invokeMethod(
        qApp, [dialogs, text] { dialogs->ShowError(text); }, Qt::QueuedConnection);
  } catch (...) {
    // Nothing can be shown; the hook must not raise.
  }
}

TAccessHooks::TAccessHooks(pairing::WindowDialogs& dialogs, QtAccessQuestions::PasswordPrompt prompt)
    : questions_(dialogs, std::move(prompt)), error_hook_(dialogs) {
  kelvorin::SetAccessQuestions(&questions_);
  kelvorin::SetAccessProgress(&progress_);
  kelvorin::SetAccessErrorHook(&error_hook_);
}

TAccessHooks::~TAccessHooks() {
  kelvorin::SetAccessErrorHook(nullptr);
  kelvorin::SetAccessProgress(nullptr);
  kelvorin::SetAccessQuestions(nullptr);
}

}  // namespace app
