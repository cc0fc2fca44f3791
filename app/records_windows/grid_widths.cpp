// Column widths kept with a records window's settings.
#include "app/records_windows/grid_widths.h"

#include <QPointer>

#include "app/grid/db_grid.h"

namespace app {

namespace {

const QString kColumnSubsection = QStringLiteral("HraciWin");

}  // namespace

TJvRegAuto& AttachGridWindowSettings(QWidget& window, const QString& section, TDBGrid& grid) {
  TJvRegAuto& settings = TJvRegAuto::Attach(window, section, section);
  QPointer<TDBGrid> target(&grid);
  settings.SetAfterLoad([target](TJvRegAuto& self) {
    if (!target) return;
    for (int column = 0; column < target->model()->columnCount(); ++column)
      target->setColumnWidth(column, self.ReadColumnWidth(kColumnSubsection, column));
  });
  settings.SetAfterSave([target](TJvRegAuto& self) {
    if (!target) return;
    for (int column = 0; column < target->model()->columnCount(); ++column)
      self.WriteColumnWidth(kColumnSubsection, column, target->columnWidth(column));
  });
  return settings;
}

}  // namespace app
