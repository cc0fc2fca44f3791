// The records windows' shared frame.
#include "app/records_windows/records_child.h"

#include <QAction>
#include <QCloseEvent>

#include "app/records_windows/grid_widths.h"

namespace app {

TRecordsChild::TRecordsChild(const char* name, pairing::WindowDialogs& dialogs, QWidget* parent)
    : TMDIChild(parent), dialogs_(dialogs) {
  setObjectName(QLatin1String(name));
  setAttribute(Qt::WA_DeleteOnClose, true);
}

void TRecordsChild::SetGrid(TDBGrid& grid) {
  grid_ = &grid;
  grid.setObjectName(QStringLiteral("Grid"));
  grid.setContextMenuPolicy(Qt::ActionsContextMenu);
  settings_ = &AttachGridWindowSettings(*this, objectName(), grid);
}

QAction* TRecordsChild::MenuAction(const QString& name) const { return grid_->findChild<QAction*>(name); }

QAction* TRecordsChild::AddMenuAction(const QString& caption, const std::function<void()>& handler) {
  auto* action = new QAction(caption, grid_);
  action->setObjectName(caption + QLatin1Char('1'));
  connect(action, &QAction::triggered, this, [this, handler] { Guarded(handler); });
  grid_->addAction(action);
  return action;
}

void TRecordsChild::AddMenuSeparator() {
  auto* separator = new QAction(grid_);
  separator->setSeparator(true);
  grid_->addAction(separator);
}

void TRecordsChild::Guarded(const std::function<void()>& command) { pairing::RunGuarded(dialogs_, command); }

void TRecordsChild::closeEvent(QCloseEvent* event) {
  if (!grid_->CommitPending()) {
    event->ignore();
    return;
  }
  Guarded([this] { settings_->Save(); });
  TMDIChild::closeEvent(event);
}

}  // namespace app
