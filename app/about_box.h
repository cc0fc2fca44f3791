// The about box: a fixed dialog centred on the screen with placeholder
// product texts and the default button "OK".
#pragma once

#include <QDialog>

namespace app {

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace app
