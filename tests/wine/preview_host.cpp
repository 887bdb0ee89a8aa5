// Does what the shell's preview host does to show a document in the
// preview pane, against the classes registered in the registry, and reads
// the pane's pixels back through GDI. Needs a display.
//
//   preview_host show OUTDIR RRGGBB SIZES DOCUMENT...
//       SIZES is a comma-separated list of WxH pane sizes. For each
//       document: finds the preview handler of its extension, creates it
//       in-process from a single-threaded apartment, hands it a stream on
//       the file (the stream's references must be what they were once
//       Initialize returns, and the file can be renamed right after),
//       gives it a site whose frame takes keys, SetWindow with the first
//       size, SetBackgroundColor, DoPreview, then SetRect to each further
//       size; after each it checks that one child window covers exactly
//       the rectangle, that GetWindow names it, and writes its pixels as
//       OUTDIR\<document file name>.<W>x<H>.rgb (R, G, B bytes, top row
//       first). Then rectangles at LONG's limits and inverted, the host's
//       window destroyed under the pane and the pane shown in another;
//       Unload (the window goes), a second Initialize and DoPreview at the
//       first size, which must give the same pixels.
//   preview_host none DOCUMENT
//       A document without a stored picture: Initialize succeeds,
//       DoPreview fails, and no window is left in the pane.
//   preview_host race THREADS ROUNDS DOCUMENT
//       THREADS apartments at once each show DOCUMENT and unload it ROUNDS
//       times, each time in a new handler: every DoPreview must succeed
//       (the pane's window class is shared by all of them).
//   preview_host --trap-floating-point show|none ...
//       The same as a host that unmasks floating-point exceptions: nothing
//       may trap, and the control words must be as set after each document.
//
// Exit status 0: all as expected; 1: a check failed (one line on stderr
// each); 2: anything else, with one line on stderr.
#include <windows.h>
// windows.h first: these need its types.
#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <algorithm>
#include <climits>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "classes_root.h"
#include "client_support.h"
#include "platform/com_ref.h"
#include "platform/crash_report.h"

namespace {

constexpr wchar_t kPreviewHandlerKey[] = L"\\shellex\\{8895b1c6-b41f-4c1c-a562-0d564250836f}";
// Where the pane's rectangle starts in the host window: not at its corner,
// so that a handler that draws over the parent's whole client area shows.
constexpr LONG kPaneLeft = 8;
constexpr LONG kPaneTop = 6;

int failures = 0;

void Fail(const std::string& what) {
  std::fprintf(stderr, "FAIL: %s\n", what.c_str());
  ++failures;
}

struct PaneSize {
  LONG width;
  LONG height;
};

std::vector<PaneSize> ParseSizes(const std::wstring& text) {
  std::vector<PaneSize> sizes;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(L',', start), text.size());
    const std::wstring item = text.substr(start, comma - start);
    PaneSize size{};
    if (swscanf(item.c_str(), L"%ldx%ld", &size.width, &size.height) != 2 || size.width < 1 ||
        size.height < 1)
      throw ClientError("not a WxH size: " + Utf8(item));
    sizes.push_back(size);
    start = comma + 1;
  }
  return sizes;
}

// The frame the preview host gives the handler through its site: it takes
// the keys the handler passes on.
class Frame final : public IPreviewHandlerFrame {
 public:
  IFACEMETHODIMP QueryInterface(REFIID riid, void** object) override {
    static const QITAB kInterfaces[] = {QITABENT(Frame, IPreviewHandlerFrame), {}};
    return QISearch(this, kInterfaces, riid, object);
  }
  IFACEMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  IFACEMETHODIMP_(ULONG) Release() override { return --refs_; }  // lives on the stack
  IFACEMETHODIMP GetWindowContext(PREVIEWHANDLERFRAMEINFO*) override { return E_NOTIMPL; }
  IFACEMETHODIMP TranslateAccelerator(MSG*) override {
    ++keys_;
    return S_OK;
  }

  ULONG Refs() const { return refs_; }
  int Keys() const { return keys_; }

 private:
  std::atomic<ULONG> refs_{1};
  int keys_ = 0;
};

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

ComRef<IStream> OpenStream(const std::wstring& path) {
  ComRef<IStream> stream;
  Check(SHCreateStreamOnFileEx(path.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE,
                               FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, stream.Put()),
        "SHCreateStreamOnFileEx");
  return stream;
}

// Initialize with a fresh stream on the file; the handler must hold no
// reference of it once Initialize returns, so the file can be renamed.
void Initialize(IInitializeWithStream* init, const std::wstring& path, const std::string& name) {
  ComRef<IStream> stream = OpenStream(path);
  const ULONG before = RefCount(stream.Get());
  Check(init->Initialize(stream.Get(), STGM_READ), "Initialize of " + name);
  const ULONG after = RefCount(stream.Get());
  if (after != before)
    Fail(name + ": the handler holds " + std::to_string(after - before) + " stream references");
  stream.Reset();
  const std::wstring moved = path + L".moved";
  if (!MoveFileW(path.c_str(), moved.c_str())) {
    Fail(name + ": cannot be renamed after Initialize (error " + std::to_string(GetLastError()) +
         ")");
  } else if (!MoveFileW(moved.c_str(), path.c_str())) {
    throw ClientError("cannot rename " + name + " back");
  }
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// The host's one child window: the pane.
HWND PaneOf(HWND host) { return GetWindow(host, GW_CHILD); }

// The pane's pixels after it has painted, as R, G, B bytes, top row first;
// empty (with a failure) when the pane is not exactly the rectangle.
std::vector<std::uint8_t> ReadPane(HWND host, const RECT& rect, const std::string& what) {
  RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  PumpMessages();
  const HWND pane = PaneOf(host);
  if (!pane || GetWindow(pane, GW_HWNDNEXT)) {
    Fail(what + ": not exactly one window in the pane");
    return {};
  }
  RECT placed{};
  GetWindowRect(pane, &placed);
  MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&placed), 2);
  if (!EqualRect(&placed, &rect)) {
    Fail(what + ": the pane's window is at " + std::to_string(placed.left) + "," +
         std::to_string(placed.top) + " - " + std::to_string(placed.right) + "," +
         std::to_string(placed.bottom) + ", not the rectangle given");
    return {};
  }
  const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section) throw ClientError("CreateDIBSection failed");
  const HDC memory = CreateCompatibleDC(nullptr);
  const HGDIOBJ old = SelectObject(memory, section);
  const HDC paneDc = GetDC(pane);
  const BOOL copied = BitBlt(memory, 0, 0, width, height, paneDc, 0, 0, SRCCOPY);
  ReleaseDC(pane, paneDc);
  GdiFlush();
  std::vector<std::uint8_t> rgb;
  rgb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  const auto* words = static_cast<const std::uint32_t*>(bits);
  for (std::size_t i = 0; i < static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
       ++i) {
    rgb.push_back(static_cast<std::uint8_t>(words[i] >> 16));
    rgb.push_back(static_cast<std::uint8_t>(words[i] >> 8));
    rgb.push_back(static_cast<std::uint8_t>(words[i]));
  }
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(section);
  if (!copied) throw ClientError("BitBlt from the pane failed");
  return rgb;
}

void WriteFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw ClientError("cannot write " + Utf8(path));
}

RECT PaneRect(const PaneSize& size) {
  return {kPaneLeft, kPaneTop, kPaneLeft + size.width, kPaneTop + size.height};
}

// A visible window of the host, large enough for every pane size.
HWND MakeHost(const std::vector<PaneSize>& sizes) {
  LONG width = 1, height = 1;
  for (const PaneSize& size : sizes) {
    width = std::max(width, size.width);
    height = std::max(height, size.height);
  }
  const HWND host = CreateWindowExW(0, L"STATIC", L"preview host", WS_POPUP | WS_VISIBLE, 0, 0,
                                    width + 2 * kPaneLeft, height + 2 * kPaneTop, nullptr, nullptr,
                                    nullptr, nullptr);
  if (!host) throw ClientError("no host window (is there a display?)");
  PumpMessages();
  return host;
}

ComRef<IInitializeWithStream> CreateHandler(const std::wstring& document) {
  const std::wstring extension = ExtensionOf(document);
  const std::optional<std::wstring> clsidText = ShellHandlerClass(extension, kPreviewHandlerKey);
  if (!clsidText) throw ClientError("no preview handler registered for " + Utf8(extension));
  CLSID clsid{};
  Check(CLSIDFromString(clsidText->c_str(), &clsid), "CLSIDFromString");
  ComRef<IInitializeWithStream> init;
  Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitializeWithStream,
                         init.PutVoid()),
        "CoCreateInstance");
  return init;
}

template <typename Interface>
ComRef<Interface> Ask(IUnknown* object, REFIID riid, const char* what) {
  ComRef<Interface> answer;
  Check(object->QueryInterface(riid, answer.PutVoid()), std::string("QueryInterface ") + what);
  return answer;
}

void ShowDocument(const std::wstring& outDir, COLORREF background,
                  const std::vector<PaneSize>& sizes, const std::wstring& document) {
  const std::string name = Utf8(FileNameOf(document));
  HWND host = MakeHost(sizes);
  ComRef<IInitializeWithStream> init = CreateHandler(document);
  auto preview = Ask<IPreviewHandler>(init.Get(), IID_IPreviewHandler, "IPreviewHandler");
  auto visuals =
      Ask<IPreviewHandlerVisuals>(init.Get(), IID_IPreviewHandlerVisuals, "IPreviewHandlerVisuals");
  auto site = Ask<IObjectWithSite>(init.Get(), IID_IObjectWithSite, "IObjectWithSite");
  auto window = Ask<IOleWindow>(init.Get(), IID_IOleWindow, "IOleWindow");

  MSG key{};
  key.message = WM_KEYDOWN;
  key.wParam = VK_F5;
  if (preview->TranslateAccelerator(&key) != S_FALSE) Fail(name + ": a key taken without a site");
  Frame frame;
  Check(site->SetSite(&frame), "SetSite");
  if (preview->TranslateAccelerator(&key) != S_OK || frame.Keys() != 1)
    Fail(name + ": a key not passed to the frame");

  Initialize(init.Get(), document, name);
  if (init->Initialize(OpenStream(document).Get(), STGM_READ) !=
      HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED))
    Fail(name + ": a second Initialize not refused as already initialised");
  RECT rect = PaneRect(sizes.front());
  Check(preview->SetWindow(host, &rect), "SetWindow");
  HWND shown = nullptr;
  if (window->GetWindow(&shown) != E_FAIL || shown)
    Fail(name + ": GetWindow named a window before DoPreview");
  Check(visuals->SetBackgroundColor(background), "SetBackgroundColor");
  LOGFONTW font{};
  Check(visuals->SetFont(&font), "SetFont");
  Check(visuals->SetTextColor(RGB(1, 2, 3)), "SetTextColor");
  Check(preview->DoPreview(), "DoPreview of " + name);
  if (FAILED(window->GetWindow(&shown)) || !shown || shown != PaneOf(host))
    Fail(name + ": GetWindow did not name the handler's window");
  Check(preview->SetFocus(), "SetFocus");
  HWND focused = nullptr;
  preview->QueryFocus(&focused);
  if (preview->QueryFocus(nullptr) != E_INVALIDARG) Fail(name + ": QueryFocus(nullptr)");

  std::vector<std::uint8_t> first;
  for (const PaneSize& size : sizes) {
    const std::string what =
        name + " at " + std::to_string(size.width) + "x" + std::to_string(size.height);
    rect = PaneRect(size);
    if (&size != &sizes.front()) Check(preview->SetRect(&rect), "SetRect");
    const std::vector<std::uint8_t> pixels = ReadPane(host, rect, what);
    if (&size == &sizes.front()) first = pixels;
    WriteFile(outDir + L"\\" + FileNameOf(document) + L"." + std::to_wstring(size.width) + L"x" +
                  std::to_wstring(size.height) + L".rgb",
              pixels);
  }

  // Rectangles no pane has: nothing may overflow or fail.
  const RECT extremes[] = {
      {LONG_MIN, LONG_MIN, LONG_MAX, LONG_MAX}, {LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN},
      {300, 200, 10, 10}, {0, 0, 0, 0}};
  for (const RECT& extreme : extremes) {
    Check(preview->SetRect(&extreme), "SetRect at an extreme");
    PumpMessages();
  }
  rect = PaneRect(sizes.front());
  Check(preview->SetRect(&rect), "SetRect back");
  if (ReadPane(host, rect, name + " after extreme rectangles") != first)
    Fail(name + ": not the same pixels after extreme rectangles");

  // The host destroys its window, and the pane with it, before telling the
  // handler; then it shows the document in a window of its own again.
  DestroyWindow(host);
  PumpMessages();
  if (window->GetWindow(&shown) != E_FAIL) Fail(name + ": GetWindow after the window went");
  Check(preview->SetRect(&rect), "SetRect after the host's window went");
  host = MakeHost(sizes);
  Check(preview->SetWindow(host, &rect), "SetWindow in a new host window");
  Check(preview->DoPreview(), "DoPreview in a new host window");
  if (ReadPane(host, rect, name + " in a new host window") != first)
    Fail(name + ": not the same pixels in a new host window");

  Check(preview->Unload(), "Unload");
  PumpMessages();
  if (PaneOf(host)) Fail(name + ": a window left in the pane after Unload");
  if (window->GetWindow(&shown) != E_FAIL) Fail(name + ": GetWindow after Unload");
  Initialize(init.Get(), document, name + " (again)");
  rect = PaneRect(sizes.front());
  Check(preview->SetWindow(host, &rect), "SetWindow again");
  Check(preview->DoPreview(), "DoPreview again of " + name);
  if (ReadPane(host, rect, name + " again") != first)
    Fail(name + ": shown again after Unload, not the same pixels");

  Check(site->SetSite(nullptr), "SetSite(nullptr)");
  if (frame.Refs() != 1) Fail(name + ": the site still referenced after SetSite(nullptr)");
  Check(preview->Unload(), "Unload");
  preview.Reset();
  visuals.Reset();
  site.Reset();
  window.Reset();
  init.Reset();
  DestroyWindow(host);
}

// Whether documents are shown with floating-point exceptions unmasked.
bool trapFloatingPoint = false;

// Runs `show` for one document as the host this program plays.
template <typename Show>
void AsHost(const std::wstring& document, Show show) {
  if (!trapFloatingPoint) return show();
  const FloatingPointControl set = UnmaskFloatingPointTraps();
  show();
  const FloatingPointControl after = ReadFloatingPointControl();
  if (!(after == set)) {
    Fail(Utf8(FileNameOf(document)) + ": the floating-point control words are " +
         Describe(after) + ", not " + Describe(set) + " as set");
  }
}

int Show(const std::vector<std::wstring>& args) {
  if (args.size() < 4)
    throw ClientError("usage: preview_host show OUTDIR RRGGBB SIZES DOCUMENT...");
  const unsigned long rgb = std::wcstoul(args[1].c_str(), nullptr, 16);
  const COLORREF background = RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF);
  const std::vector<PaneSize> sizes = ParseSizes(args[2]);
  for (std::size_t i = 3; i < args.size(); ++i)
    AsHost(args[i], [&] { ShowDocument(args[0], background, sizes, args[i]); });
  return failures > 0 ? 1 : 0;
}

void ShowNone(const std::vector<std::wstring>& args) {
  const std::string name = Utf8(FileNameOf(args[0]));
  const std::vector<PaneSize> sizes = {{320, 240}};
  const HWND host = MakeHost(sizes);
  ComRef<IInitializeWithStream> init = CreateHandler(args[0]);
  auto preview = Ask<IPreviewHandler>(init.Get(), IID_IPreviewHandler, "IPreviewHandler");
  Initialize(init.Get(), args[0], name);
  const RECT rect = PaneRect(sizes.front());
  Check(preview->SetWindow(host, &rect), "SetWindow");
  if (SUCCEEDED(preview->DoPreview())) Fail(name + ": DoPreview succeeded without a picture");
  PumpMessages();
  if (PaneOf(host)) Fail(name + ": a window in the pane without a picture");
  Check(preview->Unload(), "Unload");
  preview.Reset();
  init.Reset();
  DestroyWindow(host);
}

int None(const std::vector<std::wstring>& args) {
  if (args.size() != 1) throw ClientError("usage: preview_host none DOCUMENT");
  AsHost(args[0], [&] { ShowNone(args); });
  return failures > 0 ? 1 : 0;
}

int Race(const std::vector<std::wstring>& args, HDESK desktop) {
  if (args.size() != 3) throw ClientError("usage: preview_host race THREADS ROUNDS DOCUMENT");
  const unsigned long count = std::wcstoul(args[0].c_str(), nullptr, 10);
  const unsigned long rounds = std::wcstoul(args[1].c_str(), nullptr, 10);
  if (count < 2 || count > 16 || rounds < 1) throw ClientError("bad THREADS or ROUNDS");
  const std::vector<PaneSize> sizes = {{64, 48}};
  std::atomic<int> failed{0};
  std::vector<std::thread> threads;
  for (unsigned long i = 0; i < count; ++i) {
    threads.emplace_back([&] {
      try {
        if (!SetThreadDesktop(desktop)) throw ClientError("SetThreadDesktop failed");
        Check(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "CoInitializeEx");
        const HWND host = MakeHost(sizes);
        const RECT rect = PaneRect(sizes.front());
        for (unsigned long round = 0; round < rounds; ++round) {
          ComRef<IInitializeWithStream> init = CreateHandler(args[2]);
          auto preview = Ask<IPreviewHandler>(init.Get(), IID_IPreviewHandler, "IPreviewHandler");
          Check(init->Initialize(OpenStream(args[2]).Get(), STGM_READ), "Initialize");
          Check(preview->SetWindow(host, &rect), "SetWindow");
          if (FAILED(preview->DoPreview())) failed.fetch_add(1);
          PumpMessages();
          Check(preview->Unload(), "Unload");
        }
        DestroyWindow(host);
        CoUninitialize();
      } catch (const std::exception& error) {
        std::fprintf(stderr, "preview_host race: %s\n", error.what());
        failed.fetch_add(1);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  if (failed.load() > 0) Fail(std::to_string(failed.load()) + " previews failed in the race");
  return failures > 0 ? 1 : 0;
}

}  // namespace

// Puts this thread on a desktop of its own, so that its windows live on the
// display this program was started with: under Wine, the desktop that
// programs without a display were started on cannot show windows. Wine
// makes such a desktop a window of the size its registry entry names when
// its first window appears (1024 x 768 when none), which must hold the
// tallest pane; the entry goes with the desktop.
class OwnDesktop {
 public:
  OwnDesktop() : name_(L"vfk-preview-" + std::to_wstring(GetCurrentProcessId())) {
    constexpr wchar_t kSize[] = L"1280x1024";
    RegSetKeyValueW(HKEY_CURRENT_USER, kDesktops, name_.c_str(), REG_SZ, kSize, sizeof kSize);
    desktop_ = CreateDesktopW(name_.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (!desktop_ || !SetThreadDesktop(desktop_)) throw ClientError("no desktop of its own");
  }
  ~OwnDesktop() { RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktops, name_.c_str()); }
  HDESK Handle() const { return desktop_; }
  OwnDesktop(const OwnDesktop&) = delete;
  OwnDesktop& operator=(const OwnDesktop&) = delete;

 private:
  static constexpr wchar_t kDesktops[] = L"Software\\Wine\\Explorer\\Desktops";
  std::wstring name_;
  HDESK desktop_ = nullptr;
};

int main() {
  platform::PrepareConsoleProgram();
  const std::vector<std::wstring> all = ProgramArguments();
  try {
    const OwnDesktop desktop;
    Check(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE),
          "CoInitializeEx");
    int status = 2;
    std::vector<std::wstring> args = all;
    if (!args.empty()) args.erase(args.begin());  // the program's name
    if (!args.empty() && args[0] == L"--trap-floating-point") {
      trapFloatingPoint = true;
      args.erase(args.begin());
    }
    if (!args.empty()) {
      const std::wstring command = args[0];
      args.erase(args.begin());
      if (command == L"show") status = Show(args);
      if (command == L"none") status = None(args);
      if (command == L"race") status = Race(args, desktop.Handle());
    }
    if (status == 2) throw ClientError("usage: preview_host [--trap-floating-point] show|none|race ...");
    CoUninitialize();
    return status;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "preview_host: %s\n", error.what());
    return 2;
  }
}
