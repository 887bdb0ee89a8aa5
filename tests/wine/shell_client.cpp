// Does what the Windows shell does to draw a thumbnail, against the classes
// registered in the registry (the user's over the machine's, as Windows
// merges them): finds the handler of the document's extension
// (through the document type the extension names, when it has a handler
// there), creates it in-process from a single-threaded apartment, hands it a
// stream on the file, asks for the bitmap and reads it back through GDI.
//
//   shell_client thumbnails [--inproc-server] [--trap-floating-point] OUTDIR SIDES
//                DOCUMENT...
//       SIDES is a comma-separated list of edge lengths. Writes
//       OUTDIR\<document file name>.<side>.rows: the bitmap's rows as
//       GetDIBits reads them, bottom row first. With --inproc-server the
//       handler is made from the DLL its class names, as COM would, for
//       classes registered for one user (which Wine's COM does not see).
//       With --trap-floating-point every request is made as a host that
//       unmasks floating-point exceptions makes it; the control words must
//       be as the host set them after each.
//   shell_client apartments THREADS SIDE DOCUMENT
//       The same request from THREADS apartments at once; all must agree.
//   shell_client server EXTENSION PATH [--path-only]
//       The extension's class names PATH as its InprocServer32 and is
//       loaded from there (with --path-only, only the path is compared:
//       Wine's COM does not see classes registered for one user).
//   shell_client exit-busy THREADS MS DOCUMENT
//       Ends the process after MS milliseconds while THREADS threads ask
//       for thumbnails of DOCUMENT without pause; exit status 7.
//   shell_client hold DLL
//       Loads DLL and keeps it loaded until standard input ends (as the
//       shell's thumbnail process keeps a handler); prints "loaded".
//
// Exit status 0: all done; 1: some document got no thumbnail (S_FALSE);
// 2: anything else, with one line on stderr.
#include <windows.h>
// windows.h first: these need its types.
#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <thumbcache.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <latch>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "classes_root.h"
#include "client_support.h"
#include "platform/com_ref.h"
#include "platform/crash_report.h"
#include "platform/unique_resource.h"

namespace {

constexpr wchar_t kHandler[] = L"\\shellex\\{e357fccd-a995-4576-b01f-234630154e96}";

// The thumbnail handler class of an extension such as L".vfk", read as
// Windows' merged HKEY_CLASSES_ROOT reads.
CLSID HandlerClass(const std::wstring& extension) {
  const std::optional<std::wstring> clsidText = ShellHandlerClass(extension, kHandler);
  if (!clsidText) throw ClientError("no thumbnail handler registered for " + Utf8(extension));
  CLSID clsid{};
  Check(CLSIDFromString(clsidText->c_str(), &clsid), "CLSIDFromString");
  return clsid;
}

struct Thumbnail {
  HRESULT result = S_FALSE;
  std::vector<std::uint8_t> rows;  // bottom row first, 4 bytes a pixel
};

// The rows of a cx × cx 32-bit bitmap as GetDIBits reads them bottom-up,
// checked against the section's own memory (so the section is bottom-up).
std::vector<std::uint8_t> ReadBottomUp(HBITMAP bitmap, UINT cx) {
  DIBSECTION section{};
  if (GetObjectW(bitmap, sizeof section, &section) != static_cast<int>(sizeof section)) {
    throw ClientError("GetObject did not describe a DIB section");
  }
  if (section.dsBm.bmWidth != static_cast<LONG>(cx) ||
      section.dsBm.bmHeight != static_cast<LONG>(cx) || section.dsBm.bmBitsPixel != 32) {
    throw ClientError("bitmap is not " + std::to_string(cx) + " x " + std::to_string(cx) +
                      " at 32 bits");
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = static_cast<LONG>(cx);
  info.bmiHeader.biHeight = static_cast<LONG>(cx);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint8_t> rows(std::size_t{cx} * cx * 4);
  HDC screen = GetDC(nullptr);
  const int lines = GetDIBits(screen, bitmap, 0, cx, rows.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (lines != static_cast<int>(cx)) throw ClientError("GetDIBits read " + std::to_string(lines));
  if (std::memcmp(rows.data(), section.dsBm.bmBits, rows.size()) != 0) {
    throw ClientError("the section's memory is not bottom-up");
  }
  return rows;
}

// The class created as COM creates an in-process server, without COM: the
// DLL its InprocServer32 names (the user's classes over the machine's),
// DllGetClassObject, the factory. For classes registered for one user,
// which Wine's COM does not see. The DLL stays loaded, as COM keeps it.
HRESULT CreateFromInprocServer(const CLSID& clsid, REFIID riid, void** object) {
  wchar_t clsidText[64];
  StringFromGUID2(clsid, clsidText, 64);
  const std::optional<std::wstring> path =
      MergedClassesString(std::wstring(L"CLSID\\") + clsidText + L"\\InprocServer32");
  if (!path) return REGDB_E_CLASSNOTREG;
  HMODULE module = LoadLibraryW(path->c_str());
  if (!module) return HRESULT_FROM_WIN32(GetLastError());
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  const auto get = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  if (!get) return CO_E_ERRORINDLL;
  ComRef<IClassFactory> factory;
  const HRESULT result = get(clsid, IID_IClassFactory, factory.PutVoid());
  if (FAILED(result)) return result;
  return factory->CreateInstance(nullptr, riid, object);
}

// How handlers are created: through COM, or from their InprocServer32.
bool fromInprocServer = false;
// Whether requests are made with floating-point exceptions unmasked.
bool trapFloatingPoint = false;

// One whole request, as the shell makes it. The calling thread is in a
// single-threaded apartment.
Thumbnail RequestAsIs(const std::wstring& document, UINT cx) {
  ComRef<IInitializeWithStream> init;
  const CLSID clsid = HandlerClass(ExtensionOf(document));
  Check(fromInprocServer ? CreateFromInprocServer(clsid, IID_IInitializeWithStream, init.PutVoid())
                         : CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IInitializeWithStream, init.PutVoid()),
        "creating the handler");
  ComRef<IStream> stream;
  Check(SHCreateStreamOnFileEx(document.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE,
                               FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, stream.Put()),
        "SHCreateStreamOnFileEx " + Utf8(document));
  Check(init->Initialize(stream.Get(), STGM_READ), "Initialize");
  ComRef<IThumbnailProvider> provider;
  Check(init->QueryInterface(IID_IThumbnailProvider, provider.PutVoid()), "QueryInterface");
  init.Reset();

  Thumbnail thumbnail;
  HBITMAP bitmap = nullptr;
  WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
  thumbnail.result = provider->GetThumbnail(cx, &bitmap, &alpha);
  UniqueHBitmap owned(bitmap);
  if (thumbnail.result == S_OK) {
    if (alpha != WTSAT_ARGB) throw ClientError("alpha type is not WTSAT_ARGB");
    thumbnail.rows = ReadBottomUp(bitmap, cx);
  } else if (thumbnail.result != S_FALSE) {
    throw ClientError("GetThumbnail answered " + Hex(thumbnail.result));
  } else if (bitmap) {
    throw ClientError("S_FALSE with a bitmap");
  }
  provider.Reset();
  stream->AddRef();
  if (stream->Release() != 1) throw ClientError("the handler kept a stream reference");
  return thumbnail;
}

// A request as the host this client plays makes it.
Thumbnail Request(const std::wstring& document, UINT cx) {
  if (trapFloatingPoint) {
    const FloatingPointControl set = UnmaskFloatingPointTraps();
    Thumbnail thumbnail = RequestAsIs(document, cx);
    const FloatingPointControl after = ReadFloatingPointControl();
    if (!(after == set)) {
      throw ClientError("the floating-point control words are " + Describe(after) + ", not " +
                        Describe(set) + " as set, after " + Utf8(FileNameOf(document)) + " at " +
                        std::to_string(cx));
    }
    return thumbnail;
  }
  return RequestAsIs(document, cx);
}

class Apartment {
 public:
  Apartment() { Check(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "CoInitializeEx"); }
  ~Apartment() { CoUninitialize(); }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
};

UINT Side(const std::wstring& text) {
  const unsigned long side = std::wcstoul(text.c_str(), nullptr, 10);
  if (side == 0 || side > 4096) throw ClientError("bad side " + Utf8(text));
  return static_cast<UINT>(side);
}

int Thumbnails(std::vector<std::wstring> args) {
  for (; !args.empty() && args[0].starts_with(L"--"); args.erase(args.begin())) {
    if (args[0] == L"--inproc-server") {
      fromInprocServer = true;
    } else if (args[0] == L"--trap-floating-point") {
      trapFloatingPoint = true;
    } else {
      throw ClientError("unknown option " + Utf8(args[0]));
    }
  }
  if (args.size() < 3) {
    throw ClientError(
        "usage: thumbnails [--inproc-server] [--trap-floating-point] OUTDIR SIDES DOCUMENT...");
  }
  std::vector<UINT> sides;
  for (std::size_t at = 0; at <= args[1].size();) {
    const std::size_t comma = std::min(args[1].find(L',', at), args[1].size());
    sides.push_back(Side(args[1].substr(at, comma - at)));
    at = comma + 1;
  }
  Apartment apartment;
  int status = 0;
  for (std::size_t i = 2; i < args.size(); ++i) {
    for (const UINT cx : sides) {
      const Thumbnail thumbnail = Request(args[i], cx);
      if (thumbnail.result != S_OK) {
        std::fprintf(stderr, "no thumbnail: %s at %u\n", Utf8(args[i]).c_str(), cx);
        status = 1;
        continue;
      }
      const std::wstring out =
          args[0] + L"\\" + FileNameOf(args[i]) + L"." + std::to_wstring(cx) + L".rows";
      std::FILE* file = _wfopen(out.c_str(), L"wb");
      if (!file) throw ClientError("cannot write " + Utf8(out));
      const bool written = std::fwrite(thumbnail.rows.data(), 1, thumbnail.rows.size(), file) ==
                           thumbnail.rows.size();
      if (std::fclose(file) != 0 || !written) throw ClientError("cannot write " + Utf8(out));
    }
  }
  return status;
}

int Apartments(const std::vector<std::wstring>& args) {
  if (args.size() != 3) throw ClientError("usage: apartments THREADS SIDE DOCUMENT");
  const unsigned long count = std::wcstoul(args[0].c_str(), nullptr, 10);
  if (count < 2 || count > 64) throw ClientError("bad thread count");
  const UINT cx = Side(args[1]);
  std::vector<Thumbnail> results(count);
  std::vector<std::string> errors(count);
  std::latch start(static_cast<std::ptrdiff_t>(count));
  std::vector<std::thread> threads;
  for (unsigned long i = 0; i < count; ++i) {
    threads.emplace_back([&, i] {
      try {
        Apartment apartment;
        start.arrive_and_wait();
        results[i] = Request(args[2], cx);
      } catch (const std::exception& error) {
        errors[i] = error.what();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (unsigned long i = 0; i < count; ++i) {
    if (!errors[i].empty()) throw ClientError("apartment " + std::to_string(i) + ": " + errors[i]);
    if (results[i].result != S_OK)
      throw ClientError("apartment " + std::to_string(i) + ": S_FALSE");
    if (results[i].rows != results[0].rows) throw ClientError("apartments disagree");
  }
  return 0;
}

int Server(const std::vector<std::wstring>& args) {
  const bool pathOnly = args.size() == 3 && args[2] == L"--path-only";
  if (args.size() != 2 && !pathOnly)
    throw ClientError("usage: server EXTENSION PATH [--path-only]");
  const CLSID clsid = HandlerClass(args[0]);
  wchar_t clsidText[64];
  StringFromGUID2(clsid, clsidText, 64);
  const std::optional<std::wstring> path =
      MergedClassesString(std::wstring(L"CLSID\\") + clsidText + L"\\InprocServer32");
  if (path != args[1]) {
    throw ClientError("InprocServer32 is \"" + Utf8(path.value_or(L"")) + "\", not \"" +
                      Utf8(args[1]) + "\"");
  }
  if (pathOnly) return 0;
  Apartment apartment;
  ComRef<IThumbnailProvider> provider;
  Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IThumbnailProvider,
                         provider.PutVoid()),
        "CoCreateInstance");
  if (!GetModuleHandleW(args[1].c_str())) throw ClientError("the handler came from elsewhere");
  return 0;
}

// Ends the process (ExitProcess, status 7) after MS milliseconds while
// THREADS threads request thumbnails of DOCUMENT at the allocator's pooled
// sides without pause: the library is detached with its threads stopped
// wherever they were.
int ExitBusy(const std::vector<std::wstring>& args) {
  if (args.size() != 3) throw ClientError("usage: exit-busy THREADS MS DOCUMENT");
  const unsigned long count = std::wcstoul(args[0].c_str(), nullptr, 10);
  const unsigned long milliseconds = std::wcstoul(args[1].c_str(), nullptr, 10);
  std::latch started(static_cast<std::ptrdiff_t>(count));
  for (unsigned long i = 0; i < count; ++i) {
    std::thread([&, i] {
      Apartment apartment;
      started.count_down();
      for (UINT round = 0;; ++round) Request(args[2], (round + i) % 2 == 0 ? 64 : 128);
    }).detach();
  }
  started.wait();
  Sleep(milliseconds);
  ExitProcess(7);
}

// Holds the DLL loaded, as the shell's thumbnail process does, until
// standard input ends; prints "loaded" once it is.
int Hold(const std::vector<std::wstring>& args) {
  if (args.size() != 1) throw ClientError("usage: hold DLL");
  HMODULE module = LoadLibraryW(args[0].c_str());
  if (!module) throw ClientError("LoadLibrary failed: " + std::to_string(GetLastError()));
  std::printf("loaded\n");
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  FreeLibrary(module);
  return 0;
}

}  // namespace

int main() {
  platform::PrepareConsoleProgram();
  const std::vector<std::wstring> all = ProgramArguments();
  try {
    if (all.size() >= 2) {
      const std::vector<std::wstring> args(all.begin() + 2, all.end());
      if (all[1] == L"thumbnails") return Thumbnails(args);
      if (all[1] == L"apartments") return Apartments(args);
      if (all[1] == L"server") return Server(args);
      if (all[1] == L"hold") return Hold(args);
      if (all[1] == L"exit-busy") return ExitBusy(args);
    }
    throw ClientError("usage: shell_client thumbnails|apartments|server|hold|exit-busy ...");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "shell_client: %s\n", error.what());
    return 2;
  }
}
