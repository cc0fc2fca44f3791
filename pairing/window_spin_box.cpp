// Player-count spin box: steps only by its arrows and the Up/Down keys.
#include "pairing/window_spin_box.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QWheelEvent>

namespace pairing {

WindowSpinBox::WindowSpinBox(QWidget* parent) : QSpinBox(parent) {
  setKeyboardTracking(false);
  setFocusPolicy(Qt::StrongFocus);
}

void WindowSpinBox::stepBy(int steps) {
  QSpinBox::stepBy(steps);
  emit Stepped(value());
}

QAbstractSpinBox::StepEnabled WindowSpinBox::stepEnabled() const {
  bool typed = false;
  const int number = locale().toInt(cleanText(), &typed);
  if (!typed || isReadOnly()) return QSpinBox::stepEnabled();
  StepEnabled enabled = StepNone;
  if (number < maximum()) enabled |= StepUpEnabled;
  if (number > minimum()) enabled |= StepDownEnabled;
  return enabled;
}

void WindowSpinBox::wheelEvent(QWheelEvent* event) { event->ignore(); }

void WindowSpinBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
    event->ignore();
    return;
  }
  QSpinBox::keyPressEvent(event);
}

// The focus going to a dialog (a question asked in the middle of a step) or
// to another application is not leaving the box: the box still has the
// window's focus and gets it back.
void WindowSpinBox::focusOutEvent(QFocusEvent* event) {
  QSpinBox::focusOutEvent(event);
  if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
    emit Left();
}

}  // namespace pairing
