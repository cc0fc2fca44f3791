// The standard dialogs of the desktop application, shown with Qt's message
// boxes, input dialog and file dialog.
#pragma once

#include <QPointer>
#include <QWidget>

#include "pairing/window_dialogs.h"

namespace app {

class QtDialogs : public pairing::WindowDialogs {
 public:
  // Dialogs are centred over `parent` while it exists.
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  bool AskYesNoDefaultNo(const std::string& text) override;
  void ShowError(const std::string& text) override;
  std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                     const std::string& initial) override;
  std::optional<std::string> AskOpenFileName(const std::string& filter) override;

 private:
  QPointer<QWidget> parent_;
};

// A filter of the form "Description|pattern;pattern" as Qt's file dialog
// wants it: "Description (pattern pattern)", with "*.*" meaning every file.
QString FileDialogFilter(const std::string& filter);

}  // namespace app
