// The progress window and its timer rule.
#include "app/access_hooks/progress_win.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/grid/ansi_text.h"

namespace app {

TProgressWin::TProgressWin(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ProgressWin"));
  setWindowTitle(QStringLiteral("Please Wait..."));
  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("Message"));
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  abort_ = new QPushButton(QStringLiteral("Abort"), this);
  abort_->setObjectName(QStringLiteral("Abort"));
  background_mode_ = new QPushButton(QStringLiteral("Background Mode"), this);
  background_mode_->setObjectName(QStringLiteral("BackgroundMode"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(abort_);
  buttons->addWidget(background_mode_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(message_);
  layout->addWidget(bar_);
  layout->addLayout(buttons);
  setMinimumWidth(320);
  connect(abort_, &QPushButton::clicked, this, [this] { AbortClick(); });
  connect(background_mode_, &QPushButton::clicked, this, [this] { BackgroundModeClick(); });
  delay_.setSingleShot(true);
  delay_.setInterval(kDelayMs);
  connect(&delay_, &QTimer::timeout, this, [this] { DelayElapsed(); });
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) ApplicationRestored();
  });
}

TProgressWin::~TProgressWin() { EnableOthers(); }

QString TProgressWin::Message() const { return message_->text(); }
int TProgressWin::Percent() const { return bar_->value(); }

void TProgressWin::Open(std::string_view caption) {
  message_->setText(FromAnsi(caption));
  // An operation inside another (a repair copies tables) shares the window.
  if (depth_++ > 0) return;
  bar_->setValue(0);
  abort_requested_ = false;
  background_ = false;
  delay_.start();
}

bool TProgressWin::Step(int percent) {
  bar_->setValue(std::clamp(percent, 0, 100));
  // The operation holds the event loop: let the buttons and the timer work.
  QApplication::processEvents();
  return !abort_requested_;
}

void TProgressWin::Close() {
  if (depth_ == 0) return;
  if (--depth_ > 0) return;
  Finish();
}

void TProgressWin::Finish() {
  delay_.stop();
  background_ = false;
  hide();
  EnableOthers();
  for (const QPointer<QWidget>& widget : minimized_)
    if (widget && widget->isMinimized()) widget->showNormal();
  minimized_.clear();
}

void TProgressWin::DelayElapsed() {
  if (depth_ == 0 || background_ || bar_->value() > kLatestShownPercent) return;
  ShowOver();
}

void TProgressWin::ShowOver() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget == this || !widget->isVisible() || !widget->isEnabled()) continue;
    widget->setEnabled(false);
    disabled_.emplace_back(widget);
  }
  show();
  raise();
}

void TProgressWin::EnableOthers() {
  for (const QPointer<QWidget>& widget : disabled_)
    if (widget) widget->setEnabled(true);
  disabled_.clear();
}

void TProgressWin::AbortClick() { abort_requested_ = true; }

void TProgressWin::BackgroundModeClick() {
  if (depth_ == 0) return;
  background_ = true;
  hide();
  EnableOthers();
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget == this || !widget->isVisible() || widget->parentWidget() != nullptr || widget->isMinimized()) continue;
    widget->showMinimized();
    minimized_.emplace_back(widget);
  }
}

void TProgressWin::ApplicationRestored() {
  if (!background_ || depth_ == 0) return;
  background_ = false;
  ShowOver();
}

}  // namespace app
