#include <windows.h>

#include <string>

#include "platform/replace_file.h"

namespace platform {
namespace {

// The system's text for a Win32 error code, as UTF-8 without the line end.
std::string SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message;
  if (length > 0) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                          nullptr, nullptr);
    message.resize(static_cast<std::size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), message.data(), bytes,
                        nullptr, nullptr);
  }
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  if (message.empty()) message = "system error " + std::to_string(code);
  return message;
}

}  // namespace

bool ReplaceByRename(const std::filesystem::path& from, const std::filesystem::path& to,
                     std::string& error) {
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  error = SystemMessage(GetLastError());
  return false;
}

}  // namespace platform
