// The progress window of the database layer's long operations (copying,
// importing, restructuring a table, repairing a database).
//
// Opening it only arms a 500 ms timer; when the timer fires, the window
// appears if the progress is then at most 50 and the operation has not
// finished, so short operations never flash a window. While it shows, the
// application's other windows are disabled. "Abort" asks the operation to
// stop at its next step; "Background Mode" hides the window and minimizes
// the application, and the window comes back when the application is
// restored; closing the window restores the application. Operations run on the user interface thread, so each step lets
// the window handle its buttons.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <vector>

#include "db/access/session/access_events.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace app {

class TProgressWin : public QDialog, public kelvorin::TABSProgress {
  Q_OBJECT

 public:
  static constexpr int kDelayMs = 500;
  static constexpr int kLatestShownPercent = 50;

  explicit TProgressWin(QWidget* parent = nullptr);
  ~TProgressWin() override;

  void Open(std::string_view caption) override;
  bool Step(int percent) override;
  void Close() override;

  // The armed timer's end (public so that tests need not wait for it).
  void DelayElapsed();
  // The application came back from the background.
  void ApplicationRestored();
  void AbortClick();
  void BackgroundModeClick();

  QString Message() const;
  int Percent() const;
  bool InBackground() const { return background_; }
  bool AbortRequested() const { return abort_requested_; }

 private:
  void ShowOver();
  void Finish();
  void EnableOthers();

  QLabel* message_;
  QProgressBar* bar_;
  QPushButton* abort_;
  QPushButton* background_mode_;
  QTimer delay_;
  int depth_ = 0;
  bool abort_requested_ = false;
  bool background_ = false;
  std::vector<QPointer<QWidget>> disabled_;
  // The windows "Background Mode" minimized.
  std::vector<QPointer<QWidget>> minimized_;
};

}  // namespace app
