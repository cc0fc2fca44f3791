// Cascade, tile, minimize-all and arrange-icons of an MDI area.
#include "app/mdi_arrange.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <algorithm>

namespace app {

namespace {

QList<QMdiSubWindow*> ShownChildren(QMdiArea& area) {
  QList<QMdiSubWindow*> children;
  for (QMdiSubWindow* child : area.subWindowList(QMdiArea::CreationOrder))
    if (!child->isHidden()) children.append(child);
  return children;
}

// Height of the row of minimized children at the bottom, 0 without any.
int MinimizedRowHeight(const QList<QMdiSubWindow*>& children) {
  int height = 0;
  for (const QMdiSubWindow* child : children)
    if (child->isMinimized()) height = std::max(height, child->height());
  return height;
}

}  // namespace

void CascadeChildren(QMdiArea& area) {
  area.cascadeSubWindows();
  const QRect space = area.viewport()->rect();
  for (QMdiSubWindow* child : ShownChildren(area)) {
    if (child->isMinimized() || child->isMaximized()) continue;
    QRect rect = child->geometry();
    rect.setRight(std::min(rect.right(), space.right()));
    rect.setBottom(std::min(rect.bottom(), space.bottom()));
    if (rect != child->geometry() && !rect.isEmpty()) child->setGeometry(rect);
  }
}

void TileChildren(QMdiArea& area, Qt::Orientation orientation) {
  const QList<QMdiSubWindow*> shown = ShownChildren(area);
  QList<QMdiSubWindow*> tiled;
  for (QMdiSubWindow* child : shown)
    if (!child->isMinimized()) tiled.append(child);
  if (tiled.isEmpty()) return;
  const QRect space = area.viewport()->rect().adjusted(0, 0, 0, -MinimizedRowHeight(shown));
  const int count = int(tiled.size());
  for (int i = 0; i < count; ++i) {
    QMdiSubWindow* child = tiled.at(i);
    if (child->isMaximized()) child->showNormal();
    QRect tile;
    if (orientation == Qt::Horizontal) {
      const int top = space.top() + space.height() * i / count;
      const int bottom = space.top() + space.height() * (i + 1) / count;
      tile = QRect(space.left(), top, space.width(), std::max(bottom - top, 1));
    } else {
      const int left = space.left() + space.width() * i / count;
      const int right = space.left() + space.width() * (i + 1) / count;
      tile = QRect(left, space.top(), std::max(right - left, 1), space.height());
    }
    child->setGeometry(tile);
  }
}

void MinimizeAllChildren(QMdiArea& area) {
  const QList<QMdiSubWindow*> shown = ShownChildren(area);
  for (auto child = shown.rbegin(); child != shown.rend(); ++child) (*child)->showMinimized();
  ArrangeMinimizedChildren(area);
}

void ArrangeMinimizedChildren(QMdiArea& area) {
  const QRect space = area.viewport()->rect();
  int x = space.left();
  int row_bottom = space.bottom() + 1;
  int row_height = 0;
  for (QMdiSubWindow* child : ShownChildren(area)) {
    if (!child->isMinimized()) continue;
    const QSize size = child->size();
    if (x > space.left() && x + size.width() > space.right() + 1) {
      x = space.left();
      row_bottom -= row_height;
      row_height = 0;
    }
    child->move(x, row_bottom - size.height());
    x += size.width();
    row_height = std::max(row_height, size.height());
  }
}

}  // namespace app
