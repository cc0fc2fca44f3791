// A one-line edit bound to a field of a data source: its text follows the
// field's value in the dataset's current record (empty while the dataset is
// closed or has no record), and textChanged tells the window whenever that
// value changes. The seating window keeps one hidden; the main window's
// round box is one the user types into.
#pragma once

#include <QLineEdit>
#include <memory>
#include <string>

#include "db/access/dataset/data_link.h"

namespace app {

class TDBFieldWatcher : public QLineEdit {
  Q_OBJECT

 public:
  TDBFieldWatcher(kelvorin::TDataSource& source, std::string field_name, QWidget* parent = nullptr);
  ~TDBFieldWatcher() override;

  // Reads the field again.
  void Reload();

 private:
  class Link;
  std::unique_ptr<Link> link_;
  std::string field_name_;
};

}  // namespace app
