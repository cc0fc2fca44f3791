// Event dispatch guarded against escaping exceptions.
#include "app/application.h"

namespace app {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // No display name of its own: Qt would append it to every window title.
  setApplicationName(QStringLiteral("Pelmora"));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  bool handled = false;
  const bool ran = dialogs_ == nullptr ? (handled = QApplication::notify(receiver, event), true)
                                       : pairing::RunGuarded(*dialogs_, [&] {
                                           handled = QApplication::notify(receiver, event);
                                         });
  return ran && handled;
}

}  // namespace app
