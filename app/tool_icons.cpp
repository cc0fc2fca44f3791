// Tool bar icons drawn on 16 x 16 pixmaps.
#include "app/tool_icons.h"

#include <QPainter>
#include <QPixmap>

namespace app {

namespace {

constexpr int kSize = 16;

void Window(QPainter& painter, const QRect& rect) {
  painter.setBrush(Qt::white);
  painter.drawRect(rect);
  painter.fillRect(QRect(rect.left() + 1, rect.top() + 1, rect.width() - 1, 2), QColor(0, 0, 128));
}

void Draw(QPainter& painter, ToolIcon icon) {
  painter.setPen(QColor(32, 32, 32));
  switch (icon) {
    case ToolIcon::kBlank:
      painter.setPen(QPen(QColor(128, 128, 128), 1, Qt::DotLine));
      painter.drawRect(2, 2, 11, 11);
      break;
    case ToolIcon::kNew: {
      const QPoint page[] = {{3, 1}, {10, 1}, {13, 4}, {13, 14}, {3, 14}};
      painter.setBrush(Qt::white);
      painter.drawPolygon(page, 5);
      painter.drawLine(10, 1, 10, 4);
      painter.drawLine(10, 4, 13, 4);
      break;
    }
    case ToolIcon::kOpen: {
      painter.setBrush(QColor(230, 200, 90));
      painter.drawRect(1, 4, 12, 9);
      const QPoint flap[] = {{3, 7}, {15, 7}, {13, 13}, {1, 13}};
      painter.setBrush(QColor(250, 225, 120));
      painter.drawPolygon(flap, 4);
      break;
    }
    case ToolIcon::kSave:
      painter.setBrush(QColor(40, 70, 160));
      painter.drawRect(1, 1, 13, 13);
      painter.fillRect(QRect(4, 2, 7, 5), Qt::white);
      painter.fillRect(QRect(4, 10, 7, 4), QColor(200, 200, 200));
      break;
    case ToolIcon::kCascade:
      Window(painter, QRect(1, 1, 9, 8));
      Window(painter, QRect(3, 4, 9, 8));
      Window(painter, QRect(5, 7, 9, 8));
      break;
    case ToolIcon::kTileHorizontal:
      Window(painter, QRect(1, 1, 13, 6));
      Window(painter, QRect(1, 8, 13, 6));
      break;
    case ToolIcon::kTileVertical:
      Window(painter, QRect(1, 1, 6, 13));
      Window(painter, QRect(8, 1, 6, 13));
      break;
  }
}

}  // namespace

QIcon PaintToolIcon(ToolIcon icon) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  Draw(painter, icon);
  painter.end();
  return QIcon(pixmap);
}

}  // namespace app
