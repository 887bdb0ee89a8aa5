// The Windows shell's view, as programs of this program's bitness see it (a
// 32-bit vfkthumb.exe sees the registry view of 32-bit programs): for each
// extension and each handler (thumbnail, preview), the document type it
// names, the handler entered per user and machine-wide and which one wins,
// whether it is ours, the DLL its InprocServer32 names and that DLL's
// architecture, the threading model, and a thumbnail of a sample document
// made through COM as the shell makes it; for the preview handler also its
// preview host, its entry in the list of preview handlers, and the sample
// read through COM as the preview host reads it.
#include <windows.h>
// windows.h first: these need its types.
#include <objbase.h>
#include <shlwapi.h>
#include <shobjidl.h>
#include <thumbcache.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "doctor.h"
#include "doctor_findings.h"
#include "platform/com_ref.h"
#include "platform/registry_string.h"
#include "server/server_classes.h"
#include "thumbnail_job.h"

namespace vfkthumb {
namespace {

namespace fs = std::filesystem;

constexpr UINT kSampleSide = 128;

#ifdef _WIN64
constexpr std::uint16_t kOwnMachine = IMAGE_FILE_MACHINE_AMD64;
constexpr char kOwnBits[] = "64-bit";
#else
constexpr std::uint16_t kOwnMachine = IMAGE_FILE_MACHINE_I386;
constexpr char kOwnBits[] = "32-bit";
#endif

std::string Text(const std::wstring& text) { return DisplayName(fs::path(text)); }

std::wstring ClsidText(const CLSID& clsid) {
  std::array<wchar_t, 40> text{};
  StringFromGUID2(clsid, text.data(), static_cast<int>(text.size()));
  return text.data();
}

// A value entered under the user's classes and under the machine's; the
// shell's merged view takes the user's when there is one.
struct Entered {
  std::optional<std::wstring> user;
  std::optional<std::wstring> machine;

  bool Found() const { return user || machine; }
  const std::wstring& Value() const { return user ? *user : *machine; }
  HKEY Root() const { return user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }
  std::string Where() const {
    if (!user) return "machine-wide";
    if (machine && *machine != *user)
      return "per user, over the machine-wide \"" + Text(*machine) + "\"";
    return "per user";
  }
};

std::optional<std::wstring> ClassesString(HKEY root, const std::wstring& key,
                                          const wchar_t* name = nullptr) {
  return platform::RegistryString(root, L"Software\\Classes\\" + key, name);
}

Entered ReadEntered(const std::wstring& key, const wchar_t* name = nullptr) {
  return {ClassesString(HKEY_CURRENT_USER, key, name),
          ClassesString(HKEY_LOCAL_MACHINE, key, name)};
}

// The machine a PE file is built for, or nothing when it is not one.
std::optional<std::uint16_t> PeMachine(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::array<char, 4096> head{};
  in.read(head.data(), head.size());
  const auto size = static_cast<std::size_t>(in.gcount());
  const auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(head[at]); };
  if (size < 64 || head[0] != 'M' || head[1] != 'Z') return std::nullopt;
  const std::size_t pe = byte(60) | byte(61) << 8 | byte(62) << 16 | std::size_t{byte(63)} << 24;
  if (pe > size - 6 || head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] != 0 ||
      head[pe + 3] != 0) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(byte(pe + 4) | byte(pe + 5) << 8);
}

std::string MachineName(std::uint16_t machine) {
  switch (machine) {
    case IMAGE_FILE_MACHINE_AMD64:
      return "64-bit";
    case IMAGE_FILE_MACHINE_I386:
      return "32-bit";
    case IMAGE_FILE_MACHINE_ARM64:
      return "ARM64";
    default:
      return "machine " + std::to_string(machine);
  }
}

fs::path ProgramDir() {
  std::vector<wchar_t> name(32768);
  const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
  return fs::path(std::wstring(name.data(), length)).parent_path();
}

// The handler key the shell finds first: under the document type the
// extension names, then under the extension itself.
struct Handler {
  std::wstring key;
  Entered clsid;
};

// How the report names a class: ".vfk" for the thumbnail handler, ".vfk
// preview" for the preview handler.
std::string Label(const ServerClass& ours) {
  return Text(ours.extension) + (ours.kind == HandlerKind::kPreview ? " preview" : "");
}

std::optional<Handler> FindHandler(Findings& findings, const ServerClass& ours) {
  const std::wstring extension = ours.extension;
  const std::string name = Label(ours);
  const std::wstring handlerKey = std::wstring(L"\\shellex\\") + HandlerInterface(ours.kind);
  std::vector<std::wstring> bases;
  if (const Entered type = ReadEntered(extension); type.Found() && !type.Value().empty()) {
    findings.Ok(name + ": document type \"" + Text(type.Value()) + "\" (" + type.Where() + ")");
    bases.push_back(type.Value());
  } else {
    findings.Ok(name + ": no document type; the handler is looked up under " + Text(extension));
  }
  bases.push_back(extension);
  for (const std::wstring& base : bases)
    if (Entered clsid = ReadEntered(base + handlerKey); clsid.Found())
      return Handler{base + handlerKey, clsid};
  findings.Problem(name + ": no " + (ours.kind == HandlerKind::kPreview ? "preview" : "thumbnail") +
                   " handler entered under " + Text(bases.front() + handlerKey) +
                   ", per user or machine-wide: register VfkThumbDll.dll (regsvr32 VfkThumbDll.dll "
                   "for everyone, regsvr32 /n /i:user VfkThumbDll.dll for you)");
  return std::nullopt;
}

// InprocServer32 of our class: names an existing DLL of this program's
// architecture, with a threading model the shell's apartments can use.
bool CheckServer(Findings& findings, const std::string& name, const std::wstring& clsid) {
  const std::wstring serverKey = L"CLSID\\" + clsid + L"\\InprocServer32";
  const Entered server = ReadEntered(serverKey);
  if (!server.Found()) {
    findings.Problem(name + ": " + Text(serverKey) +
                     " names no DLL: register VfkThumbDll.dll again");
    return false;
  }
  const fs::path dll(server.Value());
  const std::string where = name + ": InprocServer32 (" + server.Where() + ") names " + Text(dll);
  std::error_code error;
  if (!fs::is_regular_file(dll, error)) {
    findings.Problem(where + ", which does not exist: register VfkThumbDll.dll from where it is");
    return false;
  }
  const std::optional<std::uint16_t> machine = PeMachine(dll);
  if (!machine) {
    findings.Problem(where + ", which is not a DLL");
    return false;
  }
  if (*machine != kOwnMachine) {
    findings.Problem(where + ", a " + MachineName(*machine) + " DLL, which " + kOwnBits +
                     " programs cannot load: register the " + kOwnBits + " VfkThumbDll.dll");
    return false;
  }
  findings.Ok(where + " (" + kOwnBits + ")");
  const std::optional<std::wstring> model =
      ClassesString(server.Root(), serverKey, L"ThreadingModel");
  if (!model ||
      (lstrcmpiW(model->c_str(), L"Apartment") != 0 && lstrcmpiW(model->c_str(), L"Both") != 0)) {
    findings.Problem(name + ": ThreadingModel is " +
                     (model ? "\"" + Text(*model) + "\"" : std::string("not set")) +
                     ", not \"Apartment\": the shell's threads cannot create the handler");
    return false;
  }
  findings.Ok(name + ": ThreadingModel \"" + Text(*model) + "\"");
  return true;
}

// The start of every request the shell makes: the class created in-process
// from this single-threaded apartment, initialised with a stream on the file.
HRESULT InitializeSample(const CLSID& clsid, const fs::path& sample,
                         ComRef<IInitializeWithStream>& init) {
  HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitializeWithStream,
                                    init.PutVoid());
  ComRef<IStream> stream;
  if (SUCCEEDED(result)) {
    result = SHCreateStreamOnFileEx(sample.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE,
                                    FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, stream.Put());
  }
  if (SUCCEEDED(result)) result = init->Initialize(stream.Get(), STGM_READ);
  return result;
}

// The shell's thumbnail request: the sample's bitmap.
HRESULT SampleThumbnail(const CLSID& clsid, const fs::path& sample) {
  ComRef<IInitializeWithStream> init;
  HRESULT result = InitializeSample(clsid, sample, init);
  ComRef<IThumbnailProvider> provider;
  if (SUCCEEDED(result)) result = init->QueryInterface(IID_IThumbnailProvider, provider.PutVoid());
  HBITMAP bitmap = nullptr;
  WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
  if (SUCCEEDED(result)) result = provider->GetThumbnail(kSampleSide, &bitmap, &alpha);
  if (bitmap) DeleteObject(bitmap);
  return result == S_OK && !bitmap ? E_POINTER : result;
}

std::string Hex(HRESULT result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(result));
  return text;
}

// The sample of each format is installed as share\vfkthumb\sample.<ext>
// beside the program's folder.
std::optional<fs::path> FindSample(Findings& findings, const ServerClass& ours) {
  const fs::path sample =
      (ProgramDir() / ".." / "share" / "vfkthumb" / (L"sample" + std::wstring(ours.extension)))
          .lexically_normal();
  std::error_code error;
  if (!fs::exists(sample, error)) {
    findings.Problem("no sample document at " + Text(sample) + ": vfkthumb is not installed whole");
    return std::nullopt;
  }
  return sample;
}

void CheckThumbnail(Findings& findings, const std::string& name, const ServerClass& ours) {
  const std::optional<fs::path> found = FindSample(findings, ours);
  if (!found) return;
  const fs::path& sample = *found;
  const HRESULT result = SampleThumbnail(*ours.clsid, sample);
  if (result == S_OK) {
    findings.Ok(name + ": a " + std::to_string(kSampleSide) + " x " + std::to_string(kSampleSide) +
                " thumbnail of " + Text(sample) + " came out through COM");
  } else {
    findings.Problem(name + ": no thumbnail of " + Text(sample) + " through COM (" + Hex(result) +
                     ")");
  }
}

// The preview host's steps, shown nowhere: the class created and
// initialised with the sample, then given a message-only window (which
// needs no desktop, like COM's own windows) and asked to show the picture
// in it, which it does only when it read one.
HRESULT SamplePreview(const CLSID& clsid, const fs::path& sample) {
  ComRef<IInitializeWithStream> init;
  HRESULT result = InitializeSample(clsid, sample, init);
  ComRef<IPreviewHandler> preview;
  if (SUCCEEDED(result)) result = init->QueryInterface(IID_IPreviewHandler, preview.PutVoid());
  ComRef<IPreviewHandlerVisuals> visuals;
  if (SUCCEEDED(result))
    result = init->QueryInterface(IID_IPreviewHandlerVisuals, visuals.PutVoid());
  if (FAILED(result)) return result;
  constexpr LONG kSide = 64;
  const HWND parent = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, kSide, kSide, HWND_MESSAGE,
                                      nullptr, nullptr, nullptr);
  if (!parent) return HRESULT_FROM_WIN32(GetLastError());
  const RECT rect{0, 0, kSide, kSide};
  result = preview->SetWindow(parent, &rect);
  if (SUCCEEDED(result)) result = preview->DoPreview();
  const HRESULT unloaded = preview->Unload();
  DestroyWindow(parent);
  return FAILED(result) ? result : unloaded;
}

// The preview handler's own entries: the preview host that runs it and its
// entry in the list of preview handlers (64-bit view, as the shell reads it).
void CheckPreviewEntries(Findings& findings, const std::string& name, const std::wstring& clsid) {
  const Entered host = ReadEntered(L"CLSID\\" + clsid, L"AppID");
  const std::wstring wanted = PreviewHostAppId();
  if (!host.Found() || lstrcmpiW(host.Value().c_str(), wanted.c_str()) != 0) {
    findings.Problem(name + ": AppID is " +
                     (host.Found() ? "\"" + Text(host.Value()) + "\"" : std::string("not set")) +
                     ", not the shell's preview host for " + kOwnBits + " handlers, " +
                     Text(wanted) + ": register VfkThumbDll.dll again");
  } else {
    findings.Ok(name + ": AppID " + Text(host.Value()) + " (" + host.Where() +
                "), the shell's preview host for " + kOwnBits + " handlers");
  }
  const Entered listed = {platform::RegistryString(HKEY_CURRENT_USER, kPreviewHandlersKey,
                                                   clsid.c_str(), RRF_SUBKEY_WOW6464KEY),
                          platform::RegistryString(HKEY_LOCAL_MACHINE, kPreviewHandlersKey,
                                                   clsid.c_str(), RRF_SUBKEY_WOW6464KEY)};
  if (listed.Found()) {
    findings.Ok(name + ": listed among the preview handlers (" + listed.Where() + ") as \"" +
                Text(listed.Value()) + "\"");
  } else {
    findings.Problem(name + ": not listed under " + Text(kPreviewHandlersKey) +
                     ": register VfkThumbDll.dll again");
  }
}

void CheckPreview(Findings& findings, const std::string& name, const ServerClass& ours) {
  const std::optional<fs::path> found = FindSample(findings, ours);
  if (!found) return;
  const fs::path& sample = *found;
  const HRESULT result = SamplePreview(*ours.clsid, sample);
  if (result == S_OK) {
    findings.Ok(name + ": the preview handler read and showed " + Text(sample) + " through COM");
  } else if (result == HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE)) {
    // DoPreview refuses a document without a picture (E_FAIL) before it
    // asks for a window; some systems (Wine) give no child window under a
    // message-only one.
    findings.Ok(name + ": the preview handler read " + Text(sample) +
                " through COM (its window cannot be made under a message-only window here)");
  } else {
    findings.Problem(name + ": the preview handler did not show " + Text(sample) +
                     " through COM (" + Hex(result) + ")");
  }
}

void CheckFormat(Findings& findings, const ServerClass& ours) {
  const std::string name = Label(ours);
  const std::optional<Handler> handler = FindHandler(findings, ours);
  if (!handler) return;
  const std::wstring& entered = handler->clsid.Value();
  CLSID clsid{};
  const std::wstring oursText = ClsidText(*ours.clsid);
  if (FAILED(CLSIDFromString(entered.c_str(), &clsid)) || !IsEqualCLSID(clsid, *ours.clsid)) {
    const Entered className = ReadEntered(L"CLSID\\" + entered);
    findings.Problem(
        name + ": the shell asks another handler, " + Text(entered) +
        (className.Found() ? " (\"" + Text(className.Value()) + "\")" : std::string()) +
        ", entered " + handler->clsid.Where() + " under " + Text(handler->key) +
        ", not vfkthumb's " + Text(oursText));
    return;
  }
  findings.Ok(name + ": the shell asks vfkthumb's handler " + Text(oursText) + ", entered " +
              handler->clsid.Where() + " under " + Text(handler->key));
  if (!CheckServer(findings, name, oursText)) return;
  if (ours.kind == HandlerKind::kPreview) {
    CheckPreviewEntries(findings, name, oursText);
    CheckPreview(findings, name, ours);
  } else {
    CheckThumbnail(findings, name, ours);
  }
}

}  // namespace

int RunDoctor(std::ostream& out) {
  Findings findings(out);
  findings.Ok(std::string("the registry as ") + kOwnBits + " programs see it (the " +
              (kOwnMachine == IMAGE_FILE_MACHINE_AMD64 ? "32-bit" : "64-bit") +
              " vfkthumb.exe doctor checks the other view)");
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  for (const ServerClass& ours : ServerClasses()) CheckFormat(findings, ours);
  if (SUCCEEDED(com)) CoUninitialize();
  return findings.ExitStatus();
}

}  // namespace vfkthumb
