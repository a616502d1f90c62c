// The programs above the core need a Qt core application for queued messages and the store.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include "common/thread_end_safety.h"

int main(int argc, char** argv) {
  varnel::PrepareForEndingThreads();
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
