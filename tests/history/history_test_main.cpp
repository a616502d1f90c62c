// The views need a widget application; the offscreen platform needs no display.
#include <QApplication>
#include <gtest/gtest.h>

#include "common/thread_end_safety.h"

int main(int argc, char** argv) {
  varnel::PrepareForEndingThreads();
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
