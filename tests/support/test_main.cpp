// main() of every test program: a crash reads as one failing line, and on
// Windows the test list reaches CTest without carriage returns.
#include <gtest/gtest.h>

#include "platform/crash_report.h"

int main(int argc, char** argv) {
  platform::PrepareConsoleProgram();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
