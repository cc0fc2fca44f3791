// The pairing window: the pairing grid, its counters, the weights and
// matching lists and every pairing command, over one PairingEngine.
//
// The window is a thin view. Its commands run the engine inside the command
// guard, so an error of any step shows in a message box and stops the step.
// The engine announces its changes through PairingObserver; the window marks
// the affected views and shows them again when the command ends (also when it
// ends with an error, before the error is shown), so a weights list of
// 130,000 lines is put into its editor in one go. A step that matches takes
// the weights list as it stands in its editor, the user's edits included.
//
// Closing the window only minimizes it; its grid, counters and lists stay.
#pragma once

#include "pairing/pairing_engine.h"
#include "pairing/pairing_observer.h"
#include "pairing/window_dialogs.h"
#include "pairing/window_mdi_child.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTableView;

namespace pairing {

class WindowGridModel;
class WindowSpinBox;

class TSystemWin : public TMDIChild, private PairingObserver {
  Q_OBJECT

 public:
  static constexpr const char* kName = "SystemWin";
  static constexpr int kPlayerCountMax = 511;

  // `dialogs` must outlive the window.
  explicit TSystemWin(WindowDialogs& dialogs, QWidget* parent = nullptr);
  ~TSystemWin() override;

  QSize sizeHint() const override;

  PairingEngine& Engine() { return engine_; }
  // The window's "System" menu, which the main window shows while this
  // window is the active one.
  QMenu* SystemMenu() const { return system_menu_; }

  // Buttons of the panel, in their order.
  void Button1Click();  // "1. Načti"
  void Button6Click();  // "2. Seskup !"
  void Button4Click();  // "1. Spocti vahy 2"
  void Button7Click();  // "2. Seskup 2"
  void Button2Click();  // "3. Spocti vahy 4"
  void Button3Click();  // "4. Seskup 4"
  void Button5Click();  // "5. Ulož"
  void BitBtn1Click();  // "NULY"
  void Button8Click();  // "OK"

  // The one-click run without the guard, for callers that chain it with
  // other work (the round transfer) and handle its errors themselves.
  void RunOneClick();

  // Controls, for the windows that cooperate with this one and for tests.
  QTabWidget* PageControl() const { return page_control_; }
  QTableView* Grid() const { return grid_; }
  QPlainTextEdit* Memo1() const { return memo1_; }
  QPlainTextEdit* Memo2() const { return memo2_; }
  QLabel* StaticText1() const { return static_text1_; }
  WindowSpinBox* Edit1() const { return edit1_; }
  QLineEdit* EdByes() const { return ed_byes_; }
  QLineEdit* Edit2() const { return edit2_; }
  QCheckBox* CheckBox1() const { return check_box1_; }
  QAction* MenuAction(int function_key) const;  // F1 to F5

  // Puts the text of an open cell editor into the grid and closes the
  // editor, so that a command reading the grid takes what the user typed
  // and a later redraw of the grid is not overwritten by the old editor.
  void CommitGridEditor();

  // Shows again everything the engine changed (after a caller outside the
  // window worked on Engine() directly).
  void ShowEngineState();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class CommandScope;

  // PairingObserver
  void CountersChanged() override;
  void GridChanged() override;
  void WeightsListChanged() override;
  void MatchingListChanged() override;
  void WeightsListVisible(bool visible) override;
  void ShowPairingTab() override;

  QWidget* BuildPairingTab();
  QWidget* BuildFilesTab();
  QWidget* BuildPanel();
  QPushButton* AddButton(QWidget* panel, const QString& caption, void (TSystemWin::*click)());
  void BuildSystemMenu();

  void Command(const std::function<void()>& body);
  void TakeEditedLists();
  void ShowStaleViews();
  void ImportFromClipboard();
  void ExportToClipboard();
  void UpDown1Click(int value);
  void Edit1Exit();

  WindowDialogs& dialogs_;
  PairingEngine engine_;

  QTabWidget* page_control_ = nullptr;
  QTableView* grid_ = nullptr;
  WindowGridModel* grid_model_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QPlainTextEdit* memo1_ = nullptr;
  QPlainTextEdit* memo2_ = nullptr;
  QLabel* static_text1_ = nullptr;
  WindowSpinBox* edit1_ = nullptr;
  QLineEdit* ed_byes_ = nullptr;
  QLineEdit* edit2_ = nullptr;
  QCheckBox* check_box1_ = nullptr;
  QMenu* system_menu_ = nullptr;
  QList<QAction*> menu_actions_;

  // The user changed a list in its editor since the engine's list was shown.
  bool weights_edited_ = false;
  bool matching_edited_ = false;
  bool showing_lists_ = false;
  bool counters_stale_ = false;
  bool grid_stale_ = false;
  bool weights_stale_ = false;
  bool matching_stale_ = false;
  int command_depth_ = 0;
};

}  // namespace pairing
