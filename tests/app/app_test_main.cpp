// Test entry for the application shell: the program's own application
// object, so that its guarded event dispatch is what the tests run under.
#include <gtest/gtest.h>

#include "app/application.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  app::TApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
