// What the programs that act as the shell share: their arguments, their own
// failure (exit status 2), HRESULT checks and the names of files.
#pragma once

#include <windows.h>
// windows.h first: this needs its types.
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

// A failure of the client itself (exit status 2).
struct ClientError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

inline std::string Utf8(const std::wstring& text) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes > 0 ? bytes - 1 : 0), '\0');
  if (bytes > 1)
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), bytes, nullptr, nullptr);
  return out;
}

inline std::string Hex(HRESULT result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(result));
  return text;
}

inline void Check(HRESULT result, const std::string& what) {
  if (FAILED(result)) throw ClientError(what + " failed: " + Hex(result));
}

inline std::wstring ExtensionOf(const std::wstring& path) {
  const std::size_t dot = path.find_last_of(L'.');
  return dot == std::wstring::npos ? std::wstring() : path.substr(dot);
}

inline std::wstring FileNameOf(const std::wstring& path) {
  return path.substr(path.find_last_of(L"\\/") + 1);
}

// What a host's floating-point settings are: the x87 control word and
// MXCSR without its status flags.
struct FloatingPointControl {
  std::uint16_t x87 = 0;
  std::uint32_t mxcsr = 0;
  bool operator==(const FloatingPointControl&) const = default;
};

inline FloatingPointControl ReadFloatingPointControl() {
  FloatingPointControl control;
  asm volatile("fnstcw %0" : "=m"(control.x87));
  asm volatile("stmxcsr %0" : "=m"(control.mxcsr));
  control.mxcsr &= ~0x3Fu;
  return control;
}

inline std::string Describe(const FloatingPointControl& control) {
  char text[48];
  std::snprintf(text, sizeof text, "x87 0x%04x, MXCSR 0x%08x", unsigned{control.x87},
                static_cast<unsigned>(control.mxcsr));
  return text;
}

// Unmasks invalid operation, division by zero and overflow in x87 and SSE,
// as some hosts do for their whole process: any of them now traps
// (STATUS_FLOAT_INVALID_OPERATION and the like). Pending flags are cleared
// first, so that none traps at once. Returns the control words set.
inline FloatingPointControl UnmaskFloatingPointTraps() {
  constexpr std::uint16_t kX87Traps = 0x01 | 0x04 | 0x08;      // IM, ZM, OM
  constexpr std::uint32_t kSseTraps = 0x080 | 0x200 | 0x400;   // IM, ZM, OM
  FloatingPointControl control = ReadFloatingPointControl();
  control.x87 = static_cast<std::uint16_t>(control.x87 & ~kX87Traps);
  control.mxcsr &= ~kSseTraps;
  asm volatile("fnclex");
  asm volatile("fldcw %0" : : "m"(control.x87));
  asm volatile("ldmxcsr %0" : : "m"(control.mxcsr));
  return control;
}

// The program's command line, its name first.
inline std::vector<std::wstring> ProgramArguments() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  const std::vector<std::wstring> all(argv, argv + count);
  LocalFree(argv);
  return all;
}
