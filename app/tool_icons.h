// Small painted icons of the main window's tool bar, so the program needs no
// image files.
#pragma once

#include <QIcon>

namespace app {

enum class ToolIcon { kBlank, kNew, kOpen, kSave, kCascade, kTileHorizontal, kTileVertical };

QIcon PaintToolIcon(ToolIcon icon);

}  // namespace app
