#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/crash_report.h"

namespace platform {
namespace {

constexpr UINT kCrashExitCode = 3;

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  std::fprintf(stderr, "crash: exception 0x%08lx at %p\n",
               static_cast<unsigned long>(record->ExceptionCode), record->ExceptionAddress);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), kCrashExitCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void PrepareConsoleProgram() noexcept {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(&ReportCrash);
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace platform
