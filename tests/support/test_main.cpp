// main() of every test program: a crash reads as one failing line, and on
// Windows the test list reaches CTest without carriage returns. With
// --trap-floating-point the program runs as in a host that unmasks the
// invalid operation, division by zero and overflow exceptions: a test whose
// code raises one of them crashes.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstring>

#ifdef _WIN32
#include <float.h>
#endif

#include "platform/crash_report.h"

namespace {

void TrapFloatingPoint() {
#ifdef _WIN32
  unsigned int control = 0;
  _controlfp_s(&control, 0, _EM_INVALID | _EM_ZERODIVIDE | _EM_OVERFLOW);
#else
  feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  platform::PrepareConsoleProgram();
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--trap-floating-point") == 0) TrapFloatingPoint();
  return RUN_ALL_TESTS();
}
