// The pairing window's controls, layout and command handlers.
#include "pairing/system_win.h"

#include <QAbstractItemDelegate>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "pairing/command_prefix.h"
#include "pairing/text_lines.h"
#include "pairing/window_grid_model.h"
#include "pairing/window_spin_box.h"

namespace pairing {

namespace {

constexpr char kNoData[] = "Žádná data. Načtěte data a zkuste to znovu.";
constexpr int kCellWidth = 20;
constexpr int kCellHeight = 16;
// Room for the panel and the first fourteen grid columns; small enough for
// the workspace of a main window at its first size.
constexpr QSize kDefaultSize(480, 430);

QString JoinLines(const LineList& lines) {
  QString text;
  for (const std::string& line : lines) {
    if (!text.isEmpty()) text += QLatin1Char('\n');
    text += QString::fromStdString(line);
  }
  return text;
}

// The locale's decimal separator as the engine's 8-bit character; a
// separator outside that range leaves the point.
char LocaleDecimalSeparator() {
  const QString point = QLocale::system().decimalPoint();
  if (point.size() == 1 && point.at(0).unicode() < 0x80) return char(point.at(0).unicode());
  return '.';
}

}  // namespace

// Marks one command: views are shown again when the outermost command ends,
// also when it ends by an error (before the guard shows the error).
class TSystemWin::CommandScope {
 public:
  explicit CommandScope(TSystemWin& window) : window_(window) { ++window_.command_depth_; }
  ~CommandScope() {
    if (--window_.command_depth_ == 0) window_.ShowStaleViews();
  }
  CommandScope(const CommandScope&) = delete;
  CommandScope& operator=(const CommandScope&) = delete;

 private:
  TSystemWin& window_;
};

TSystemWin::TSystemWin(WindowDialogs& dialogs, QWidget* parent)
    : TMDIChild(parent), dialogs_(dialogs), engine_(dialogs) {
  setObjectName(QLatin1String(kName));
  setWindowTitle(QStringLiteral("KESH tournament system"));
  engine_.SetDecimalSeparator(LocaleDecimalSeparator());

  auto* content = new QWidget(this);
  auto* layout = new QHBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  page_control_ = new QTabWidget(content);
  page_control_->setTabPosition(QTabWidget::South);
  page_control_->addTab(BuildPairingTab(), QStringLiteral("Párování"));
  page_control_->addTab(BuildFilesTab(), QStringLiteral("WM files"));
  // In a narrow window (tiled side by side) the page control gives way, so
  // the panel on the right stays whole.
  page_control_->setMinimumSize(1, 1);
  layout->addWidget(page_control_, 1);
  // A window made smaller than the panel scrolls the panel instead of
  // squeezing its controls into each other.
  auto* panel_scroller = new QScrollArea(content);
  panel_scroller->setFrameShape(QFrame::NoFrame);
  panel_scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  panel_scroller->setWidgetResizable(true);
  panel_scroller->setWidget(BuildPanel());
  panel_scroller->setFixedWidth(panel_scroller->widget()->width() +
                                panel_scroller->verticalScrollBar()->sizeHint().width());
  layout->addWidget(panel_scroller);
  setWidget(content);
  BuildSystemMenu();
  resize(sizeHint());

  engine_.SetObserver(this);
  counters_stale_ = grid_stale_ = weights_stale_ = matching_stale_ = true;
  ShowStaleViews();
}

TSystemWin::~TSystemWin() { engine_.SetObserver(nullptr); }

// The workspace cascades windows at this size; the lists alone would ask
// for a window wider than the workspace.
QSize TSystemWin::sizeHint() const { return kDefaultSize; }

QWidget* TSystemWin::BuildPairingTab() {
  grid_ = new QTableView();
  grid_->setObjectName(QStringLiteral("Grid"));
  grid_model_ = new WindowGridModel(engine_.grid(), grid_);
  grid_->setModel(grid_model_);
  for (QHeaderView* header : {grid_->horizontalHeader(), grid_->verticalHeader()}) {
    header->setMinimumSectionSize(1);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
  }
  grid_->horizontalHeader()->setDefaultSectionSize(kCellWidth);
  grid_->horizontalHeader()->setFixedHeight(kCellHeight);
  grid_->verticalHeader()->setDefaultSectionSize(kCellHeight);
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->verticalHeader()->setMinimumWidth(kCellWidth);
  grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                         QAbstractItemView::AnyKeyPressed);
  return grid_;
}

QWidget* TSystemWin::BuildFilesTab() {
  splitter_ = new QSplitter(Qt::Horizontal);
  memo2_ = new QPlainTextEdit(splitter_);
  memo2_->setObjectName(QStringLiteral("Memo2"));
  memo1_ = new QPlainTextEdit(splitter_);
  memo1_->setObjectName(QStringLiteral("Memo1"));
  memo1_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  for (QPlainTextEdit* memo : {memo1_, memo2_}) memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  splitter_->addWidget(memo2_);
  splitter_->addWidget(memo1_);
  connect(memo1_, &QPlainTextEdit::textChanged, this, [this] {
    if (!showing_lists_) weights_edited_ = true;
  });
  connect(memo2_, &QPlainTextEdit::textChanged, this, [this] {
    if (!showing_lists_) matching_edited_ = true;
  });
  return splitter_;
}

QPushButton* TSystemWin::AddButton(QWidget* panel, const QString& caption,
                                   void (TSystemWin::*click)()) {
  auto* button = new QPushButton(caption, panel);
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, [this, click] { (this->*click)(); });
  panel->layout()->addWidget(button);
  return button;
}

QWidget* TSystemWin::BuildPanel() {
  auto* panel = new QWidget();
  panel->setFixedWidth(118);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(3);

  AddButton(panel, QStringLiteral("1. Načti"), &TSystemWin::Button1Click)
      ->setObjectName(QStringLiteral("Button1"));
  QPushButton* button6 = AddButton(panel, QStringLiteral("2. Seskup !"), &TSystemWin::Button6Click);
  button6->setObjectName(QStringLiteral("Button6"));
  QFont bold = button6->font();
  bold.setBold(true);
  button6->setFont(bold);

  layout->addWidget(new QLabel(QStringLiteral("Kolo"), panel));
  static_text1_ = new QLabel(panel);
  static_text1_->setObjectName(QStringLiteral("StaticText1"));
  static_text1_->setAlignment(Qt::AlignCenter);
  static_text1_->setFrameShape(QFrame::StyledPanel);
  static_text1_->setFrameShadow(QFrame::Sunken);
  QFont large = static_text1_->font();
  large.setPointSize(24);
  large.setBold(true);
  static_text1_->setFont(large);
  static_text1_->setMinimumHeight(QFontMetrics(large).height() + 6);
  layout->addWidget(static_text1_);

  layout->addWidget(new QLabel(QStringLiteral("Počet hráčů"), panel));
  edit1_ = new WindowSpinBox(panel);
  edit1_->setObjectName(QStringLiteral("Edit1"));
  edit1_->setRange(0, kPlayerCountMax);
  connect(edit1_, &WindowSpinBox::Stepped, this, [this](int value) { UpDown1Click(value); });
  connect(edit1_, &WindowSpinBox::Left, this, [this] { Edit1Exit(); });
  layout->addWidget(edit1_);

  const struct {
    const char* name;
    QString caption;
    void (TSystemWin::*click)();
  } steps[] = {
      {"Button4", QStringLiteral("1. Spocti vahy 2"), &TSystemWin::Button4Click},
      {"Button7", QStringLiteral("2. Seskup 2"), &TSystemWin::Button7Click},
      {"Button2", QStringLiteral("3. Spocti vahy 4"), &TSystemWin::Button2Click},
      {"Button3", QStringLiteral("4. Seskup 4"), &TSystemWin::Button3Click},
      {"Button5", QStringLiteral("5. Ulož"), &TSystemWin::Button5Click},
      {"BitBtn1", QStringLiteral("NULY"), &TSystemWin::BitBtn1Click},
  };
  for (const auto& step : steps)
    AddButton(panel, step.caption, step.click)->setObjectName(QLatin1String(step.name));

  layout->addStretch(1);
  layout->addWidget(new QLabel(QStringLiteral("BYE's"), panel));
  ed_byes_ = new QLineEdit(QStringLiteral("0"), panel);
  ed_byes_->setObjectName(QStringLiteral("edByes"));
  connect(ed_byes_, &QLineEdit::textChanged, this,
          [this](const QString& text) { engine_.SetByesText(text.toStdString()); });
  layout->addWidget(ed_byes_);

  auto* prefix_row = new QHBoxLayout();
  edit2_ = new QLineEdit(QStringLiteral("command"), panel);
  edit2_->setObjectName(QStringLiteral("Edit2"));
  prefix_row->addWidget(edit2_, 1);
  auto* button8 = new QPushButton(QStringLiteral("OK"), panel);
  button8->setObjectName(QStringLiteral("Button8"));
  button8->setAutoDefault(false);
  button8->setFixedWidth(32);
  connect(button8, &QPushButton::clicked, this, [this] { Button8Click(); });
  prefix_row->addWidget(button8);
  layout->addLayout(prefix_row);

  check_box1_ = new QCheckBox(QStringLiteral("Manual match"), panel);
  check_box1_->setObjectName(QStringLiteral("CheckBox1"));
  connect(check_box1_, &QCheckBox::toggled, this, [this](bool on) { engine_.SetManualMatch(on); });
  layout->addWidget(check_box1_);
  return panel;
}

void TSystemWin::BuildSystemMenu() {
  system_menu_ = new QMenu(QStringLiteral("System"), this);
  const struct {
    QString caption;
    Qt::Key key;
    std::function<void()> action;
  } items[] = {
      {QStringLiteral("Schránka > @"), Qt::Key_F1, [this] { ImportFromClipboard(); }},
      {QStringLiteral("Spočti váhy"), Qt::Key_F2, [] {}},
      {QStringLiteral("Seskup 2"), Qt::Key_F3,
       [this] {
         TakeEditedLists();
         engine_.PairIntoTwos();
       }},
      {QStringLiteral("@ > Schránka"), Qt::Key_F4, [this] { ExportToClipboard(); }},
      {QStringLiteral("Vycisti tabulku"), Qt::Key_F5, [this] { engine_.ClearTable(); }},
  };
  for (const auto& item : items) {
    if (item.key == Qt::Key_F5) system_menu_->addSeparator();
    QAction* action = system_menu_->addAction(item.caption);
    action->setShortcut(QKeySequence(item.key));
    connect(action, &QAction::triggered, this, [this, run = item.action] { Command(run); });
    menu_actions_.append(action);
  }
}

QAction* TSystemWin::MenuAction(int function_key) const {
  if (function_key < 1 || function_key > menu_actions_.size()) return nullptr;
  return menu_actions_.at(function_key - 1);
}

void TSystemWin::Command(const std::function<void()>& body) {
  RunGuarded(dialogs_, [&] {
    CommandScope scope(*this);
    body();
  });
}

// A matching step reads the lists as the user left them in the editors.
void TSystemWin::TakeEditedLists() {
  // The engine's lists are set from the editors; the editors already show
  // them, so they are not stale afterwards.
  if (weights_edited_ && !weights_stale_) {
    engine_.SetWeightsList(SplitLines(memo1_->toPlainText().toStdString()));
    weights_edited_ = weights_stale_ = false;
  }
  if (matching_edited_ && !matching_stale_) {
    engine_.SetMatchingList(SplitLines(memo2_->toPlainText().toStdString()));
    matching_edited_ = matching_stale_ = false;
  }
}

void TSystemWin::ShowStaleViews() {
  // The round display and the cells are cheap to show again. The spin box is
  // set only when the counters were shown again: text the user typed into it
  // stays until a step reads it.
  static_text1_->setText(QString::number(engine_.RoundCount()));
  if (counters_stale_) {
    const QSignalBlocker blocker(edit1_);
    edit1_->setValue(std::clamp(engine_.PlayerCount(), 0, kPlayerCountMax));
  }
  grid_model_->Refresh();
  counters_stale_ = grid_stale_ = false;
  showing_lists_ = true;
  if (weights_stale_) {
    memo1_->setPlainText(JoinLines(engine_.WeightsList()));
    weights_stale_ = weights_edited_ = false;
  }
  if (matching_stale_) {
    memo2_->setPlainText(JoinLines(engine_.MatchingList()));
    matching_stale_ = matching_edited_ = false;
  }
  showing_lists_ = false;
  // A step that failed while the weights list was hidden must not leave it
  // hidden for good.
  memo1_->setVisible(true);
}

void TSystemWin::CommitGridEditor() {
  const QModelIndex index = grid_->currentIndex();
  QWidget* editor = grid_->indexWidget(index);
  if (editor == nullptr) return;
  QAbstractItemDelegate* delegate = grid_->itemDelegateForIndex(index);
  emit delegate->commitData(editor);
  emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TSystemWin::ShowEngineState() {
  counters_stale_ = grid_stale_ = weights_stale_ = matching_stale_ = true;
  ShowStaleViews();
}

void TSystemWin::CountersChanged() { counters_stale_ = true; }
void TSystemWin::GridChanged() { grid_stale_ = true; }
void TSystemWin::WeightsListChanged() { weights_stale_ = true; }
void TSystemWin::MatchingListChanged() { matching_stale_ = true; }
void TSystemWin::WeightsListVisible(bool visible) { memo1_->setVisible(visible); }
void TSystemWin::ShowPairingTab() { page_control_->setCurrentIndex(0); }

void TSystemWin::ImportFromClipboard() {
  const QString text = QGuiApplication::clipboard()->text();
  engine_.ImportFromText(LoneLineFeedsToCarriageReturns(text.toStdString()));
}

void TSystemWin::ExportToClipboard() {
  QGuiApplication::clipboard()->setText(QString::fromStdString(engine_.ExportToText()));
}

void TSystemWin::Button1Click() {
  Command([this] { ImportFromClipboard(); });
}

void TSystemWin::Button6Click() {
  Command([this] { RunOneClick(); });
}

void TSystemWin::RunOneClick() {
  CommandScope scope(*this);
  if (const std::optional<std::string> text = engine_.RunOneClick())
    QGuiApplication::clipboard()->setText(QString::fromStdString(*text));
}

void TSystemWin::Button4Click() {
  Command([this] {
    if (engine_.PlayerCount() == 0) {
      dialogs_.ShowMessage(kNoData);
      return;
    }
    WeightsListVisible(false);
    engine_.ComputeTwoWeights();
    WeightsListVisible(true);
  });
}

void TSystemWin::Button7Click() {
  Command([this] {
    TakeEditedLists();
    engine_.PairIntoTwos();
  });
}

void TSystemWin::Button2Click() {
  Command([this] { engine_.ComputeFourWeights(); });
}

void TSystemWin::Button3Click() {
  Command([this] {
    TakeEditedLists();
    engine_.GroupIntoFours();
  });
}

void TSystemWin::Button5Click() {
  Command([this] { ExportToClipboard(); });
}

void TSystemWin::BitBtn1Click() {
  Command([this] { engine_.FillZeros(); });
}

void TSystemWin::Button8Click() {
  Command([this] { SetCommandPrefix(edit2_->text().toStdString()); });
}

void TSystemWin::UpDown1Click(int value) {
  Command([this, value] {
    engine_.SetPlayerCount(value);
    engine_.FitGrid();
  });
}

void TSystemWin::Edit1Exit() {
  Command([this] { engine_.FitGrid(); });
}

void TSystemWin::closeEvent(QCloseEvent* event) {
  event->ignore();
  showMinimized();
}

}  // namespace pairing
