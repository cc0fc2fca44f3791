// The standard arrangements of the child windows of an MDI area that Qt does
// not provide in the platform's form.
//
// Cascading is Qt's, with every window cut down to fit inside the area, so
// no part of a window ends up out of reach. Tiling stacks the restored and
// maximized children one above the other (Qt::Horizontal: each as wide as the
// area) or sets them side by side (Qt::Vertical: each as tall as the area),
// leaving a row at the bottom for minimized children. Arranging lines the minimized children up
// along the bottom edge, left to right, in further rows upwards when one is full.
#pragma once

#include <Qt>

class QMdiArea;

namespace app {

void CascadeChildren(QMdiArea& area);
void TileChildren(QMdiArea& area, Qt::Orientation orientation);
void MinimizeAllChildren(QMdiArea& area);
void ArrangeMinimizedChildren(QMdiArea& area);

}  // namespace app
