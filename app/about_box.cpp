// About box layout.
#include "app/about_box.h"

#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace app {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);

  auto* panel = new QFrame(this);
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setFrameShadow(QFrame::Sunken);
  auto* grid = new QGridLayout(panel);
  auto* picture = new QLabel(panel);
  picture->setObjectName(QStringLiteral("ProgramIcon"));
  picture->setFixedSize(64, 64);
  picture->setFrameShape(QFrame::Box);
  grid->addWidget(picture, 0, 0, 2, 1, Qt::AlignTop);
  grid->addWidget(new QLabel(QStringLiteral("Product Name"), panel), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Version"), panel), 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("Copyright"), panel), 2, 0, 1, 2);
  auto* comments = new QLabel(QStringLiteral("Comments"), panel);
  comments->setWordWrap(true);
  grid->addWidget(comments, 3, 0, 1, 2);
  grid->setColumnMinimumWidth(1, 160);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(panel);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutBox::showEvent(QShowEvent* event) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  QDialog::showEvent(event);
}

}  // namespace app
