// Qt's dialogs behind the windows' dialog interface.
#include "app/qt_dialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace app {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

bool AskWarning(QWidget* parent, const std::string& text, QMessageBox::StandardButton default_button) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), Text(text),
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(default_button);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace

void QtDialogs::ShowMessage(const std::string& text) {
  QMessageBox::information(parent_, QApplication::applicationDisplayName(), Text(text));
}

bool QtDialogs::AskYesNo(const std::string& text) { return AskWarning(parent_, text, QMessageBox::Yes); }

bool QtDialogs::AskYesNoDefaultNo(const std::string& text) {
  return AskWarning(parent_, text, QMessageBox::No);
}

void QtDialogs::ShowError(const std::string& text) {
  QMessageBox::critical(parent_, QApplication::applicationDisplayName(), Text(text));
}

std::optional<std::string> QtDialogs::AskText(const std::string& caption, const std::string& prompt,
                                              const std::string& initial) {
  bool ok = false;
  const QString text = QInputDialog::getText(parent_, Text(caption), Text(prompt),
                                             QLineEdit::Normal, Text(initial), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

std::optional<std::string> QtDialogs::AskOpenFileName(const std::string& filter) {
  const QString name =
      QFileDialog::getOpenFileName(parent_, QString(), QString(), FileDialogFilter(filter));
  if (name.isEmpty()) return std::nullopt;
  // The database opens the file by the system's bytes of its name.
  return QFile::encodeName(name).toStdString();
}

QString FileDialogFilter(const std::string& filter) {
  const QString text = Text(filter);
  const qsizetype bar = text.indexOf(QLatin1Char('|'));
  if (bar < 0) return text;
  QStringList patterns = text.mid(bar + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (QString& pattern : patterns)
    if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
  QString description = text.left(bar);
  if (const qsizetype open = description.indexOf(QLatin1Char('(')); open > 0)
    description = description.left(open).trimmed();
  return description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

}  // namespace app
