// Stand-in for the Windows declarations of com.h on other systems: only what
// this code uses, with Windows' layouts, slot order, constants and results.
// QISearch, CreateDIBSection, GetObjectW and DeleteObject behave as on
// Windows for the calls made here (a DIB section of width or height 0 is
// refused; bitmaps live on the heap until DeleteObject).
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = std::uint32_t;
using BOOL = std::int32_t;
constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using DWORD_PTR = std::uintptr_t;
using HRESULT = std::int32_t;
using HANDLE = void*;
using HGDIOBJ = void*;
using HDC = struct HDC__*;
using HBITMAP = struct HBITMAP__*;

#define STDMETHODCALLTYPE
#define IFACEMETHODIMP HRESULT
#define IFACEMETHODIMP_(type) type
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

constexpr HRESULT MakeHresult(std::uint32_t bits) { return static_cast<HRESULT>(bits); }
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002);
constexpr HRESULT E_POINTER = MakeHresult(0x80004003);
constexpr HRESULT E_FAIL = MakeHresult(0x80004005);
constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHresult(0x80040111);
constexpr HRESULT STG_E_INVALIDFUNCTION = MakeHresult(0x80030001);
constexpr HRESULT STG_E_ACCESSDENIED = MakeHresult(0x80030005);
constexpr HRESULT STG_E_INVALIDPOINTER = MakeHresult(0x80030009);
constexpr HRESULT STG_E_READFAULT = MakeHresult(0x8003001E);
constexpr HRESULT STG_E_SEEKERROR = MakeHresult(0x80030019);
constexpr DWORD ERROR_ALREADY_INITIALIZED = 1247;
constexpr HRESULT HRESULT_FROM_WIN32(DWORD code) {
  return code == 0 ? S_OK : MakeHresult(0x80070000u | (code & 0xFFFFu));
}

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
bool operator==(const GUID& a, const GUID& b) noexcept;
inline bool IsEqualIID(REFIID a, REFIID b) noexcept { return a == b; }

inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_ISequentialStream = {
    0x0c733a30, 0x2a1c, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
inline constexpr IID IID_IStream = {
    0x0000000c, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IInitializeWithStream = {
    0xb824b49d, 0x22ac, 0x4161, {0xac, 0x8a, 0x99, 0x16, 0xe8, 0xfa, 0x3f, 0x7f}};
inline constexpr IID IID_IThumbnailProvider = {
    0xe357fccd, 0xa995, 0x4576, {0xb0, 0x1f, 0x23, 0x46, 0x30, 0x15, 0x4e, 0x96}};

struct LARGE_INTEGER {
  LONGLONG QuadPart;
};
struct ULARGE_INTEGER {
  ULONGLONG QuadPart;
};
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
struct STATSTG {
  wchar_t* pwcsName;
  DWORD type;
  ULARGE_INTEGER cbSize;
  FILETIME mtime;
  FILETIME ctime;
  FILETIME atime;
  DWORD grfMode;
  DWORD grfLocksSupported;
  CLSID clsid;
  DWORD grfStateBits;
  DWORD reserved;
};
constexpr DWORD STREAM_SEEK_SET = 0;
constexpr DWORD STREAM_SEEK_CUR = 1;
constexpr DWORD STREAM_SEEK_END = 2;
constexpr DWORD STATFLAG_DEFAULT = 0;
constexpr DWORD STATFLAG_NONAME = 1;
constexpr DWORD STGTY_STREAM = 2;
constexpr DWORD STGM_READ = 0;

// Interfaces: pure virtual slots in Windows' order. Objects are destroyed
// only through their own Release.
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

struct ISequentialStream : IUnknown {
  virtual HRESULT Read(void* buffer, ULONG count, ULONG* read) = 0;
  virtual HRESULT Write(const void* buffer, ULONG count, ULONG* written) = 0;

 protected:
  ~ISequentialStream() = default;
};

struct IStream : ISequentialStream {
  virtual HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) = 0;
  virtual HRESULT SetSize(ULARGE_INTEGER size) = 0;
  virtual HRESULT CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                         ULARGE_INTEGER* written) = 0;
  virtual HRESULT Commit(DWORD flags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) = 0;
  virtual HRESULT UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD type) = 0;
  virtual HRESULT Stat(STATSTG* stat, DWORD flags) = 0;
  virtual HRESULT Clone(IStream** copy) = 0;

 protected:
  ~IStream() = default;
};

struct IInitializeWithStream : IUnknown {
  virtual HRESULT Initialize(IStream* stream, DWORD mode) = 0;

 protected:
  ~IInitializeWithStream() = default;
};

enum WTS_ALPHATYPE { WTSAT_UNKNOWN = 0, WTSAT_RGB = 1, WTSAT_ARGB = 2 };

struct IThumbnailProvider : IUnknown {
  virtual HRESULT GetThumbnail(UINT cx, HBITMAP* bitmap, WTS_ALPHATYPE* alpha) = 0;

 protected:
  ~IThumbnailProvider() = default;
};

// Interface tables for QISearch: each row names an interface and the offset
// of its face in the object; the table ends with a row whose IID is null.
struct QITAB {
  const IID* piid;
  int dwOffset;
};
template <typename Interface>
inline constexpr const IID* kIidOf = nullptr;
template <>
inline constexpr const IID* kIidOf<IUnknown> = &IID_IUnknown;
template <>
inline constexpr const IID* kIidOf<IClassFactory> = &IID_IClassFactory;
template <>
inline constexpr const IID* kIidOf<IStream> = &IID_IStream;
template <>
inline constexpr const IID* kIidOf<ISequentialStream> = &IID_ISequentialStream;
template <>
inline constexpr const IID* kIidOf<IInitializeWithStream> = &IID_IInitializeWithStream;
template <>
inline constexpr const IID* kIidOf<IThumbnailProvider> = &IID_IThumbnailProvider;
#define OFFSETOFCLASS(base, derived) \
  (static_cast<int>(reinterpret_cast<DWORD_PTR>(static_cast<base*>((derived*)8))) - 8)
#define QITABENT(Cthis, Ifoo) \
  { kIidOf<Ifoo>, OFFSETOFCLASS(Ifoo, Cthis) }

// The first row whose IID matches (any row for IID_IUnknown) gives the face;
// it gets one AddRef. Otherwise *object is null and E_NOINTERFACE.
HRESULT QISearch(void* that, const QITAB* table, REFIID riid, void** object);

// Device-independent bitmaps.
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};
struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;
};
struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
};
constexpr DWORD BI_RGB = 0;
constexpr UINT DIB_RGB_COLORS = 0;

// 32 bits per pixel, BI_RGB only; rows of width × 4 bytes. Null, with *bits
// null, for a width below 1, a height of 0 or memory exhausted.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// Fills a DIBSECTION (size >= sizeof(DIBSECTION)) or a BITMAP; returns the
// bytes written, 0 for anything else.
int GetObjectW(HGDIOBJ object, int size, void* out);
BOOL DeleteObject(HGDIOBJ object);
