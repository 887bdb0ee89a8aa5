// VfkThumbDll.dll loaded by path, as the shell's COM runtime loads it, with
// its exports. The library sits beside the test program.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Full path of a file beside this program.
std::wstring BesideProgram(const wchar_t* fileName);

// Copies the library beside this program into the temporary folder under
// `fileName`; the copy's full path, or empty when the copy failed.
std::wstring TemporaryCopyOfServer(const wchar_t* fileName);

class LoadedServer {
 public:
  explicit LoadedServer(const std::wstring& path);
  ~LoadedServer() { Unload(); }
  LoadedServer(const LoadedServer&) = delete;
  LoadedServer& operator=(const LoadedServer&) = delete;

  bool Loaded() const noexcept { return module_ != nullptr; }
  void Unload() noexcept;

  HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object) const;
  HRESULT CanUnloadNow() const;
  HRESULT Register() const;
  HRESULT Unregister() const;
  HRESULT Install(BOOL install, const wchar_t* commandLine) const;

 private:
  template <typename Function>
  Function Export(const char* name) const {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

  HMODULE module_ = nullptr;
};

// The library beside this program, loaded once for the whole test run.
const LoadedServer& ProcessServer();

// Private memory committed in this process, summed over its address space.
std::size_t CommittedPrivateBytes();
