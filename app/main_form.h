// The main window: the frame of the application with its menus, tool bar,
// status line, command bar and the MDI workspace of child windows.
//
// TMainForm creates the pairing windows ("Sytem Window", and one when it is
// first shown), keeps the settings component of itself and of every child,
// and saves them when it closes: the children in creation order, then
// itself. Closing shows "konec" once. Every command handler runs inside the
// command guard, so an error shows in a message box and the program goes on.
//
// With a data module it also works on the tournament file: the file actions,
// the round box and the command bar's round transfers. Each of them first
// commits what the user typed and has not posted (a cell editor, a record
// being edited); a refused post stops the command before anything changes.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <vector>

#include "app/records_windows/hraci_win.h"
#include "app/records_windows/seskupeni_win.h"
#include "pairing/system_win.h"
#include "pairing/window_dialogs.h"
#include "records/data/tournament_data.h"

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace app {

class TAboutBox;
class TJvRegAuto;
class TRoundBox;

class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  // `dialogs` and `data` must outlive the window. Without a data module the
  // first showing opens only a pairing window.
  explicit TMainForm(pairing::WindowDialogs& dialogs, records::TData* data = nullptr,
                     QWidget* parent = nullptr);
  ~TMainForm() override;

  // The box "&About..." shows; not owned.
  void SetAboutBox(TAboutBox* box);

  static constexpr const char* kOpenFilter = "All files (*.*)|*.*";
  static constexpr const char* kReadOnlyText =
      "Soubor velinari pouziva jiny spusteny program: je otevren jen pro cteni a zmeny nelze ulozit.";
  static constexpr const char* kNotTournamentText =
      "Soubor neobsahuje tabulky turnaje (hraci, seskupeni, param): nic neni otevreno.";
  static constexpr const char* kNoSystemWinText = "Neni otevreno okno systemu (Sytem Window).";

  // The file's name as the title shows it.
  QString CurrentFileName() const { return current_file_name_; }
  QMdiArea* MdiArea() const { return mdi_area_; }
  // The most recently created pairing window.
  pairing::TSystemWin* CurrentSystemWin() const { return current_system_win_; }

  // "Sytem Window": creates a pairing window that becomes the current one.
  pairing::TSystemWin* SytemWindowClick();
  // New: the database "velinari" of the working directory (created when
  // missing), then fresh players, seating and pairing windows.
  void FileNew1Execute();
  // Open: the chosen file (as the system names it) replaces the current one.
  void FileOpen1Execute();
  // Close: Save, then the players and seating windows go. Answers false
  // when typed results could not be posted (and nothing was done).
  bool FileClose1Execute();
  // Save: the database is closed; every posted change is in the file.
  void FileSave1Execute();
  // Sets the title, closes the windows of the file and opens new ones.
  void RefreshWindows();
  // Commits the open cell editors and posts the records being edited;
  // false (the error shown) when a post is refused.
  bool CommitTypedResults();

  // The command bar: "Sys > Seskup", "Seskup > Sys", "Seskup kolo".
  void GridToSeatingClick();
  void SeatingToGridClick();
  void RoundChainClick();
  TRoundBox* RoundBox() const { return round_box_; }
  // The current players and seating windows (nullptr once closed).
  THraciWin* HraciWin() const { return hraci_win_; }
  TSeskupeniWin* SeskupeniWin() const { return seskupeni_win_; }
  // Saves the settings of every window that has any, children first.
  void SaveSettings();
  // Looks an action up by its name ("FileExit1", "WindowCascade1", ...).
  QAction* Action(const QString& name) const;
  QMenu* WindowMenu() const { return window_menu_; }

 protected:
  void showEvent(QShowEvent* event) override;    // FormShow
  void closeEvent(QCloseEvent* event) override;  // FormClose

 private:
  QAction* NewAction(const QString& name, const QString& caption, const QString& hint,
                     const QKeySequence& shortcut, std::function<void()> handler);
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildCommandBar();
  void SetTitle();
  void UpdateCloseAvailability();
  // The current pairing window; raises when there is none.
  pairing::TSystemWin& RequireSystemWin() const;
  // Runs a round transfer command guarded, after the typed results.
  void Transfer(const std::function<void(pairing::TSystemWin&)>& command);
  void LoadSettings(TJvRegAuto& settings);
  void AddChild(QMdiSubWindow& window, TJvRegAuto& settings);
  void ChildActivated();
  void FillWindowList();
  void EditCommand(const char* slot);
  void Guarded(const std::function<void()>& handler);

  pairing::WindowDialogs& dialogs_;
  records::TData* data_;
  QString current_file_name_;
  TRoundBox* round_box_ = nullptr;
  QPointer<THraciWin> hraci_win_;
  QPointer<TSeskupeniWin> seskupeni_win_;
  QMdiArea* mdi_area_ = nullptr;
  QMenu* window_menu_ = nullptr;
  QList<QAction*> window_list_;
  QPointer<QMenu> shown_child_menu_;
  QPointer<pairing::TSystemWin> current_system_win_;
  QPointer<TAboutBox> about_box_;
  TJvRegAuto* settings_ = nullptr;                    // owned by this window (its Qt child)
  std::vector<QPointer<TJvRegAuto>> child_settings_;  // creation order
  bool shown_ = false;
  bool closing_ = false;
};

}  // namespace app
