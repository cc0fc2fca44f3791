// The password question of an encrypted database file: a modal dialog
// "Database authentication" with the label "Password:", an empty name label
// and a one-line input that shows every character as "*".
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace app {

class TPasswordDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TPasswordDialog(QWidget* parent = nullptr);

  QLineEdit& PasswordEdit() const { return *password_; }
  QLabel& NameLabel() const { return *name_; }
  QLabel& PromptLabel() const { return *prompt_; }
  QString Password() const;

 private:
  QLabel* name_;
  QLabel* prompt_;
  QLineEdit* password_;
};

}  // namespace app
