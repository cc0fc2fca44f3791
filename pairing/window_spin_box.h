// The player-count spin box of the pairing window.
//
// Only a step (its arrow buttons or the Up/Down keys) changes the player
// count: typing is not tracked, so "16" never passes through "1", and the
// mouse wheel and page keys do nothing, so a scroll over the panel cannot
// shrink the field by accident.
#pragma once

#include <QSpinBox>

namespace pairing {

class WindowSpinBox : public QSpinBox {
  Q_OBJECT

 public:
  explicit WindowSpinBox(QWidget* parent = nullptr);

  void stepBy(int steps) override;

 signals:
  // The box was stepped to `value`.
  void Stepped(int value);
  // The keyboard focus went from the box to another control.
  void Left();

 protected:
  // A step starts from the typed number, so whether one is possible is
  // judged by that number too, not by the value before the typing.
  StepEnabled stepEnabled() const override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace pairing
