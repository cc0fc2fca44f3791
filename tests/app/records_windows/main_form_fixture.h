// The main window over the data module of a scratch "velinari", with the
// helpers the tests of its file actions, round box and command bar share.
#pragma once

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <map>
#include <memory>
#include <string>

#include "app/main_form.h"
#include "app/round_box.h"
#include "tests/app/records_windows/records_windows_fixture.h"

namespace app_test {

// Runs what the commands posted, closed windows' deletion included.
inline void Settle() {
  for (int i = 0; i < 3; ++i) {
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

class MainFormTest : public RecordsWindowsTest {
 protected:
  void SetUp() override {
    RecordsWindowsTest::SetUp();
    data_->ShutDatabase();
  }
  void TearDown() override {
    if (form_) {
      form_->close();
      form_.reset();
    }
    RecordsWindowsTest::TearDown();
  }

  app::TMainForm& Start() {
    form_ = std::make_unique<app::TMainForm>(dialogs_, data_.get());
    form_->show();
    Settle();
    return *form_;
  }
  QStringList Children() const {
    QStringList names;
    for (QMdiSubWindow* child : form_->MdiArea()->subWindowList(QMdiArea::CreationOrder))
      names << child->objectName() + (child->isMinimized() ? QStringLiteral("(min)") : QString());
    return names;
  }
  app::TRoundBox& Box() const { return *form_->RoundBox(); }
  void ClickRoundButton(const char* name) {
    auto* button = form_->findChild<QToolBar*>("ToolBar1")->findChild<QToolButton*>(name);
    ASSERT_NE(button, nullptr);
    button->click();
    Settle();
  }
  // Pastes over the round box's text, as a user may (typing digit by digit
  // passes through the rounds its beginnings name).
  void PasteRound(const QString& text) {
    Box().selectAll();
    if (text.isEmpty()) {
      QTest::keyClick(&Box(), Qt::Key_Delete);
    } else {
      QGuiApplication::clipboard()->setText(text);
      QTest::keyClick(&Box(), Qt::Key_V, Qt::ControlModifier);
    }
    Settle();
  }
  void LeaveBox() {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&Box(), &out);
  }
  int32_t StoredBody(int32_t player, int32_t round) {
    kelvorin::TABSTable& seatings = data_->tblSeskupeni();
    seatings.Refresh();
    for (seatings.First(); !seatings.Eof(); seatings.Next())
      if (seatings.FieldByName("Kolo").AsInteger() == round &&
          seatings.FieldByName("id_hrace").AsInteger() == player)
        return seatings.FieldByName("Body").AsInteger();
    return -1;
  }
  // Clicks a button of the command bar ("GridToSeating", "SeatingToGrid",
  // "RoundChain").
  void ClickCommand(const char* name) {
    auto* button = form_->findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    button->click();
    Settle();
  }
  // How many seatings each stored round has, by round.
  std::map<int32_t, int> StoredRounds() {
    std::map<int32_t, int> rounds;
    kelvorin::TABSTable& seatings = data_->tblSeskupeni();
    seatings.Refresh();
    for (seatings.First(); !seatings.Eof(); seatings.Next()) ++rounds[seatings.FieldByName("Kolo").AsInteger()];
    return rounds;
  }
  // The players of each table of a round: every table holds four.
  std::map<int32_t, int> TableSizes(int32_t round) {
    std::map<int32_t, int> sizes;
    kelvorin::TABSTable& seatings = data_->tblSeskupeni();
    seatings.Refresh();
    for (seatings.First(); !seatings.Eof(); seatings.Next())
      if (seatings.FieldByName("Kolo").AsInteger() == round) ++sizes[seatings.FieldByName("Stul").AsInteger()];
    return sizes;
  }
  void SetStoredBody(int32_t player, int32_t round, int32_t body) {
    kelvorin::TABSTable& seatings = data_->tblSeskupeni();
    for (seatings.First(); !seatings.Eof(); seatings.Next()) {
      if (seatings.FieldByName("Kolo").AsInteger() != round ||
          seatings.FieldByName("id_hrace").AsInteger() != player)
        continue;
      seatings.Edit();
      seatings.FieldByName("Body").SetAsInteger(body);
      seatings.Post();
      return;
    }
    ADD_FAILURE() << "no seating of player " << player << " in round " << round;
  }
  // A tournament file without its table "param", closed.
  std::string MakeFileWithoutParam(const char* name) {
    data_->InitNew(FilePath(name));
    data_->ShutDatabase();
    kelvorin::TABSTable table;
    table.SetDatabaseName(records::TData::kAlias);
    table.SetTableName("param");
    table.DeleteTable();
    data_->ShutDatabase();
    return FilePath(name);
  }
  // A second tournament file with one player, closed again.
  std::string MakeOtherTournament(const char* name) {
    data_->InitNew(FilePath(name));
    AddPlayer(7, "Jiny");
    data_->ShutDatabase();
    return FilePath(name);
  }

  std::unique_ptr<app::TMainForm> form_;
};

}  // namespace app_test
