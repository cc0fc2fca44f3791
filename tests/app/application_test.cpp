// An exception that reaches the event dispatch is shown, not passed on
// through Qt.
#include "app/application.h"

#include <gtest/gtest.h>

#include <QEvent>
#include <QObject>
#include <stdexcept>

#include "tests/app/scripted_dialogs.h"

namespace {

class ThrowingObject : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) throw std::runtime_error("Range check error");
    return QObject::event(event);
  }
};

TEST(AppApplicationTest, ErrorReachingTheEventLoopIsShown) {
  auto* application = qobject_cast<app::TApplication*>(QCoreApplication::instance());
  ASSERT_NE(application, nullptr);
  app_test::ScriptedDialogs dialogs;
  application->SetDialogs(&dialogs);
  ThrowingObject object;
  QEvent event(QEvent::User);
  EXPECT_FALSE(QCoreApplication::sendEvent(&object, &event));
  QCoreApplication::postEvent(&object, new QEvent(QEvent::User));  // the queue owns it
  QCoreApplication::processEvents();
  application->SetDialogs(nullptr);
  EXPECT_EQ(dialogs.errors, (std::vector<std::string>{"Range check error", "Range check error"}));
}

}  // namespace
