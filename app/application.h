// The application object: the last line of defence of the message loop.
//
// Command handlers run inside the command guard themselves; an exception
// that still reaches the event dispatch (from a paint or a timer, say) is
// shown the same way here instead of unwinding through Qt.
#pragma once

#include <QApplication>

#include "pairing/window_dialogs.h"

namespace app {

class TApplication : public QApplication {
  Q_OBJECT

 public:
  TApplication(int& argc, char** argv);

  // Errors that reach the event loop are shown through `dialogs` (not owned;
  // nullptr shows nothing).
  void SetDialogs(pairing::WindowDialogs* dialogs) { dialogs_ = dialogs; }

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  pairing::WindowDialogs* dialogs_ = nullptr;
};

}  // namespace app
