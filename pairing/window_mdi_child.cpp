// Child-window base: takes Ctrl+W off the sub-window's close action.
#include "pairing/window_mdi_child.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

namespace pairing {

TMDIChild::TMDIChild(QWidget* parent) : QMdiSubWindow(parent) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  if (QMenu* menu = systemMenu()) {
    const QKeySequence taken(Qt::CTRL | Qt::Key_W);
    for (QAction* action : menu->actions()) {
      QList<QKeySequence> shortcuts = action->shortcuts();
      if (shortcuts.removeAll(taken) > 0) action->setShortcuts(shortcuts);
    }
  }
}

}  // namespace pairing
