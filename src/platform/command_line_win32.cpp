#include <windows.h>

#include "platform/command_line.h"
// After windows.h.
#include <shellapi.h>

#include <memory>

namespace platform {
namespace {

// CommandLineToArgvW's block is freed with LocalFree, also when building the
// result throws.
struct LocalFreeDeleter {
  void operator()(wchar_t** block) const noexcept { LocalFree(block); }
};

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  return out;
}

}  // namespace

// The narrow argv is in the ANSI code page; the wide command line has every
// name as it is.
std::vector<std::string> CommandLineArguments(int, char**) {
  int count = 0;
  const std::unique_ptr<wchar_t*, LocalFreeDeleter> wide(
      CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) args.push_back(Utf8(wide.get()[i]));
  return args;
}

}  // namespace platform
