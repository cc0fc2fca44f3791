// The base of every child window of the main window's workspace.
//
// A TMDIChild is a sub-window of the main window's MDI area. Its own system
// menu gives up the Ctrl+W shortcut of its close action, which the main
// window's "Sytem Window" command owns.
#pragma once

#include <QMdiSubWindow>

namespace pairing {

class TMDIChild : public QMdiSubWindow {
  Q_OBJECT

 public:
  explicit TMDIChild(QWidget* parent = nullptr);
};

}  // namespace pairing
