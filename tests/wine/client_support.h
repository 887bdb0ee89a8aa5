// What the programs that act as the shell share: their arguments, their own
// failure (exit status 2), HRESULT checks and the names of files.
#pragma once

#include <windows.h>
// windows.h first: this needs its types.
#include <shellapi.h>

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

// The program's command line, its name first.
inline std::vector<std::wstring> ProgramArguments() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  const std::vector<std::wstring> all(argv, argv + count);
  LocalFree(argv);
  return all;
}
