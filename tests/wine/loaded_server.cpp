#include "loaded_server.h"

#include <vector>

std::wstring BesideProgram(const wchar_t* fileName) {
  std::vector<wchar_t> path(32768);
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  std::wstring folder(path.data(), length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1) + fileName;
}

std::wstring TemporaryCopyOfServer(const wchar_t* fileName) {
  std::vector<wchar_t> folder(MAX_PATH + 1);
  const DWORD length = GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
  if (length == 0 || length >= folder.size()) return {};
  const std::wstring path = std::wstring(folder.data(), length) + fileName;
  if (!CopyFileW(BesideProgram(L"VfkThumbDll.dll").c_str(), path.c_str(), FALSE)) return {};
  return path;
}

LoadedServer::LoadedServer(const std::wstring& path) : module_(LoadLibraryW(path.c_str())) {}

void LoadedServer::Unload() noexcept {
  if (module_) FreeLibrary(module_);
  module_ = nullptr;
}

HRESULT LoadedServer::GetClassObject(REFCLSID clsid, REFIID riid, void** object) const {
  return Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject")(
      clsid, riid, object);
}

HRESULT LoadedServer::CanUnloadNow() const {
  return Export<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow")();
}

HRESULT LoadedServer::Register() const {
  return Export<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer")();
}

HRESULT LoadedServer::Unregister() const {
  return Export<HRESULT(STDAPICALLTYPE*)()>("DllUnregisterServer")();
}

HRESULT LoadedServer::Install(BOOL install, const wchar_t* commandLine) const {
  return Export<HRESULT(STDAPICALLTYPE*)(BOOL, const wchar_t*)>("DllInstall")(install, commandLine);
}

const LoadedServer& ProcessServer() {
  static const LoadedServer server(BesideProgram(L"VfkThumbDll.dll"));
  return server;
}

std::size_t CommittedPrivateBytes() {
  std::size_t total = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (auto* at = static_cast<const char*>(nullptr);
       VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
  }
  return total;
}
