// The password dialog's layout.
#include "app/access_hooks/password_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace app {

TPasswordDialog::TPasswordDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PasswordDlg"));
  setWindowTitle(QStringLiteral("Database authentication"));
  setModal(true);
  name_ = new QLabel(this);
  name_->setObjectName(QStringLiteral("NameLabel"));
  password_ = new QLineEdit(this);
  password_->setObjectName(QStringLiteral("Password"));
  password_->setEchoMode(QLineEdit::Password);
  // Every character as "*", whatever the style's own mask character is.
  password_->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
  auto* form = new QFormLayout;
  prompt_ = new QLabel(QStringLiteral("Password:"), this);
  prompt_->setBuddy(password_);
  form->addRow(name_);
  form->addRow(prompt_, password_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

QString TPasswordDialog::Password() const { return password_->text(); }

}  // namespace app
