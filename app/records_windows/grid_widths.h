// The settings of a records window: its placement in its own section and
// its grid's column widths under "<section>/HraciWin" (both records windows
// use the subsection "HraciWin", so their keys differ by section only).
#pragma once

#include <QString>

#include "app/window_settings.h"

namespace app {

class TDBGrid;

// Gives `window` its settings component with the column width hooks.
TJvRegAuto& AttachGridWindowSettings(QWidget& window, const QString& section, TDBGrid& grid);

}  // namespace app
