#include "preview/preview_handler.h"

#include <shobjidl.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <new>

#include "image/image32.h"
#include "platform/com_ref.h"
#include "platform/floating_point.h"
#include "preview/preview_picture.h"
#include "provider/module_count.h"

namespace {

constexpr wchar_t kWindowClass[] = L"VfkThumbDll.PreviewWindow";

// The module this code is in: the DLL in the shell, the test program in
// tests. Window classes are registered for it.
HINSTANCE ThisModule() noexcept {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

// The window class lives while any handler of this module holds it:
// registered by the first, unregistered by the last (so that no class names
// this module's code once it is unloaded), under one lock, so that no
// handler creates a window while another unregisters the class.
SRWLOCK windowClassLock = SRWLOCK_INIT;
std::size_t windowClassHolders = 0;  // guarded by windowClassLock

bool HoldWindowClass(WNDPROC windowProc) noexcept {
  AcquireSRWLockExclusive(&windowClassLock);
  bool held = true;
  if (windowClassHolders == 0) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = ThisModule();
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.lpszClassName = kWindowClass;
    // Already there: a window of an earlier holder outlived its handler.
    held = RegisterClassExW(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }
  if (held) ++windowClassHolders;
  ReleaseSRWLockExclusive(&windowClassLock);
  return held;
}

void ReleaseWindowClass() noexcept {
  AcquireSRWLockExclusive(&windowClassLock);
  if (--windowClassHolders == 0) UnregisterClassW(kWindowClass, ThisModule());
  ReleaseSRWLockExclusive(&windowClassLock);
}

// A rectangle's side, 0 when inverted, at most LONG's largest value: no
// overflow for any rectangle a host passes.
LONG Extent(LONG low, LONG high) noexcept {
  const long long extent = static_cast<long long>(high) - low;
  return static_cast<LONG>(std::clamp<long long>(extent, 0, std::numeric_limits<LONG>::max()));
}

// 0xRRGGBB from a COLORREF (0x00BBGGRR).
std::uint32_t Rgb(COLORREF colour) noexcept {
  return std::uint32_t{GetRValue(colour)} << 16 | std::uint32_t{GetGValue(colour)} << 8 |
         GetBValue(colour);
}

class PreviewHandler final : public IPreviewHandler,
                             public IInitializeWithStream,
                             public IObjectWithSite,
                             public IOleWindow,
                             public IPreviewHandlerVisuals {
 public:
  explicit PreviewHandler(Loader loader) noexcept : loader_(loader) {}

  // IUnknown
  IFACEMETHODIMP QueryInterface(REFIID riid, void** object) noexcept override;
  IFACEMETHODIMP_(ULONG) AddRef() noexcept override;
  IFACEMETHODIMP_(ULONG) Release() noexcept override;
  // IInitializeWithStream
  IFACEMETHODIMP Initialize(IStream* stream, DWORD mode) noexcept override;
  // IPreviewHandler
  IFACEMETHODIMP SetWindow(HWND parent, const RECT* rect) noexcept override;
  IFACEMETHODIMP SetRect(const RECT* rect) noexcept override;
  IFACEMETHODIMP DoPreview() noexcept override;
  IFACEMETHODIMP Unload() noexcept override;
  IFACEMETHODIMP SetFocus() noexcept override;
  IFACEMETHODIMP QueryFocus(HWND* focused) noexcept override;
  IFACEMETHODIMP TranslateAccelerator(MSG* message) noexcept override;
  // IObjectWithSite
  IFACEMETHODIMP SetSite(IUnknown* site) noexcept override;
  IFACEMETHODIMP GetSite(REFIID riid, void** site) noexcept override;
  // IOleWindow
  IFACEMETHODIMP GetWindow(HWND* window) noexcept override;
  IFACEMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
  // IPreviewHandlerVisuals
  IFACEMETHODIMP SetBackgroundColor(COLORREF colour) noexcept override;
  IFACEMETHODIMP SetFont(const LOGFONTW*) noexcept override { return S_OK; }
  IFACEMETHODIMP SetTextColor(COLORREF) noexcept override { return S_OK; }

 private:
  ~PreviewHandler() { DestroyPane(); }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept;
  HRESULT CreatePane() noexcept;
  void DestroyPane() noexcept;
  void Paint(HDC dc) noexcept;
  void Changed() noexcept;  // the rectangle or the colour: paint anew

  std::atomic<ULONG> refs_{1};
  ModuleRef moduleRef_;
  Loader loader_;
  bool initialized_ = false;
  bool loaded_ = false;  // kept_ holds the stored picture
  oxan::CImage32 kept_;
  oxan::CImage32 rendered_;  // the picture at its place in the pane
  bool renderedValid_ = false;
  PreviewPlacement placement_;
  HWND parent_ = nullptr;
  RECT rect_{};
  HWND pane_ = nullptr;  // cleared when the window goes, whoever destroys it
  bool holdsWindowClass_ = false;
  COLORREF background_ = GetSysColor(COLOR_WINDOW);
  ComRef<IUnknown> site_;
  ComRef<IPreviewHandlerFrame> frame_;
};

IFACEMETHODIMP PreviewHandler::QueryInterface(REFIID riid, void** object) noexcept {
  // Row order matters: a request for IUnknown answers with the first row's face.
  static const QITAB kInterfaces[] = {
      QITABENT(PreviewHandler, IPreviewHandler),
      QITABENT(PreviewHandler, IInitializeWithStream),
      QITABENT(PreviewHandler, IObjectWithSite),
      QITABENT(PreviewHandler, IOleWindow),
      QITABENT(PreviewHandler, IPreviewHandlerVisuals),
      {},
  };
  return QISearch(this, kInterfaces, riid, object);
}

IFACEMETHODIMP_(ULONG) PreviewHandler::AddRef() noexcept {
  return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
}

IFACEMETHODIMP_(ULONG) PreviewHandler::Release() noexcept {
  const platform::DefaultFloatingPoint floatingPoint;
  const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

IFACEMETHODIMP PreviewHandler::Initialize(IStream* stream, DWORD) noexcept {
  const platform::DefaultFloatingPoint floatingPoint;
  if (initialized_) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
  if (!stream) return E_INVALIDARG;
  try {
    loaded_ = KeepPreviewPicture(loader_, stream, kept_);
  } catch (...) {  // no memory: shown as a document without a picture
    loaded_ = false;
  }
  initialized_ = true;
  renderedValid_ = false;
  return S_OK;
}

IFACEMETHODIMP PreviewHandler::SetWindow(HWND parent, const RECT* rect) noexcept {
  const platform::DefaultFloatingPoint floatingPoint;
  if (!parent || !rect) return E_INVALIDARG;
  parent_ = parent;
  rect_ = *rect;
  if (pane_) ::SetParent(pane_, parent_);
  Changed();
  return S_OK;
}

IFACEMETHODIMP PreviewHandler::SetRect(const RECT* rect) noexcept {
  const platform::DefaultFloatingPoint floatingPoint;
  if (!rect) return E_INVALIDARG;
  rect_ = *rect;
  Changed();
  return S_OK;
}

IFACEMETHODIMP PreviewHandler::DoPreview() noexcept {
  const platform::DefaultFloatingPoint floatingPoint;
  if (!loaded_ || !parent_) return E_FAIL;
  if (pane_) return S_OK;
  return CreatePane();
}

IFACEMETHODIMP PreviewHandler::Unload() noexcept {
  const platform::DefaultFloatingPoint floatingPoint;
  DestroyPane();
  oxan::CImage32 none, noneRendered;
  kept_.Swap(none);
  rendered_.Swap(noneRendered);
  initialized_ = loaded_ = renderedValid_ = false;
  return S_OK;
}

IFACEMETHODIMP PreviewHandler::SetFocus() noexcept {
  const platform::DefaultFloatingPoint floatingPoint;
  if (!pane_) return S_FALSE;
  ::SetFocus(pane_);
  return S_OK;
}

IFACEMETHODIMP PreviewHandler::QueryFocus(HWND* focused) noexcept {
  if (!focused) return E_INVALIDARG;
  *focused = ::GetFocus();
  return *focused ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

IFACEMETHODIMP PreviewHandler::TranslateAccelerator(MSG* message) noexcept {
  const platform::DefaultFloatingPoint floatingPoint;
  return frame_ ? frame_->TranslateAccelerator(message) : S_FALSE;
}

IFACEMETHODIMP PreviewHandler::SetSite(IUnknown* site) noexcept {
  frame_.Reset();
  site_.Reset();
  if (site) {
    site->AddRef();
    site_.Reset(site);
    site->QueryInterface(IID_IPreviewHandlerFrame, frame_.PutVoid());
  }
  return S_OK;
}

IFACEMETHODIMP PreviewHandler::GetSite(REFIID riid, void** site) noexcept {
  if (!site) return E_POINTER;
  *site = nullptr;
  return site_ ? site_->QueryInterface(riid, site) : E_FAIL;
}

// The handler's own window while it shows one.
IFACEMETHODIMP PreviewHandler::GetWindow(HWND* window) noexcept {
  if (!window) return E_INVALIDARG;
  *window = pane_;
  return pane_ ? S_OK : E_FAIL;
}

IFACEMETHODIMP PreviewHandler::SetBackgroundColor(COLORREF colour) noexcept {
  const platform::DefaultFloatingPoint floatingPoint;
  background_ = colour;
  Changed();
  return S_OK;
}

LRESULT CALLBACK PreviewHandler::WindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) noexcept {
  const platform::DefaultFloatingPoint floatingPoint;
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* handler = reinterpret_cast<PreviewHandler*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT: {
      PAINTSTRUCT paint;
      if (HDC dc = BeginPaint(window, &paint)) {
        if (handler) handler->Paint(dc);
        EndPaint(window, &paint);
      }
      return 0;
    }
    case WM_PRINTCLIENT:
      if (handler) handler->Paint(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_NCDESTROY:
      // Also when the host destroys its window first: no later call may
      // use the dead handle.
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (handler && handler->pane_ == window) handler->pane_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HRESULT PreviewHandler::CreatePane() noexcept {
  if (!holdsWindowClass_) {
    if (!HoldWindowClass(WindowProc)) return HRESULT_FROM_WIN32(GetLastError());
    holdsWindowClass_ = true;
  }
  pane_ = CreateWindowExW(0, kWindowClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                          rect_.left, rect_.top, Extent(rect_.left, rect_.right),
                          Extent(rect_.top, rect_.bottom), parent_, nullptr, ThisModule(), this);
  if (!pane_) {
    const DWORD error = GetLastError();
    DestroyPane();
    return HRESULT_FROM_WIN32(error ? error : ERROR_INVALID_WINDOW_HANDLE);
  }
  return S_OK;
}

void PreviewHandler::DestroyPane() noexcept {
  if (pane_) DestroyWindow(pane_);
  pane_ = nullptr;
  if (holdsWindowClass_) {
    holdsWindowClass_ = false;
    ReleaseWindowClass();
  }
}

void PreviewHandler::Changed() noexcept {
  renderedValid_ = false;
  if (!pane_) return;
  SetWindowPos(pane_, nullptr, rect_.left, rect_.top, Extent(rect_.left, rect_.right),
               Extent(rect_.top, rect_.bottom), SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(pane_, nullptr, FALSE);
}

void PreviewHandler::Paint(HDC dc) noexcept {
  const LONG width = Extent(rect_.left, rect_.right), height = Extent(rect_.top, rect_.bottom);
  if (!renderedValid_) {
    placement_ = PlacePreview(kept_.Width(), kept_.Height(), width, height);
    try {
      renderedValid_ = placement_.width > 0 &&
                       RenderPreviewPicture(kept_, placement_, Rgb(background_), rendered_);
    } catch (...) {  // no memory: the background alone
      renderedValid_ = false;
    }
  }
  if (HBRUSH brush = CreateSolidBrush(background_)) {
    const RECT client{0, 0, width, height};
    FillRect(dc, &client, brush);
    DeleteObject(brush);
  }
  if (!renderedValid_) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = rendered_.Width();
  info.bmiHeader.biHeight = -rendered_.Height();  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, placement_.x, placement_.y, static_cast<DWORD>(rendered_.Width()),
                    static_cast<DWORD>(rendered_.Height()), 0, 0, 0,
                    static_cast<UINT>(rendered_.Height()), rendered_.Pixels(), &info,
                    DIB_RGB_COLORS);
}

}  // namespace

HRESULT CreatePreviewHandler(Loader loader, REFIID riid, void** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  auto* handler = new (std::nothrow) PreviewHandler(loader);
  if (!handler) return E_OUTOFMEMORY;
  const HRESULT result = handler->QueryInterface(riid, object);
  static_cast<IPreviewHandler*>(handler)->Release();
  return result;
}
