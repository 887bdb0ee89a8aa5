#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <vector>

#include "formats/native/vfk_thumbnail.h"
#include "formats/tnw/tnw_thumbnail.h"
#include "platform/com_ref.h"
#include "platform/memory_stream.h"
#include "platform/read_only_stream.h"
#include "platform/unique_resource.h"
#include "provider/module_count.h"
#include "provider/vesk_thumbnail_provider.h"
#include "vfk_writer.h"
#include "vfq_writer.h"

namespace {

constexpr HRESULT kAlreadyInitialized = HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

ComRef<IStream> DocumentStream(std::int32_t width, std::int32_t height, std::uint32_t colour) {
  const std::vector<std::uint32_t> pixels(static_cast<std::size_t>(std::int64_t{width} * height),
                                          colour);
  return MakeMemoryStream(
      WriteVfk(vfktest::ThumbnailDocument(width, height, pixels, vfktest::kZlib)));
}

ComRef<IThumbnailProvider> NewProvider(Loader loader = ReadVfkThumbnail) {
  ComRef<IThumbnailProvider> provider;
  EXPECT_EQ(CreateVeskThumbnailProvider(loader, IID_IThumbnailProvider, provider.PutVoid()), S_OK);
  return provider;
}

HRESULT Initialize(IThumbnailProvider* provider, IStream* stream) {
  ComRef<IInitializeWithStream> init;
  EXPECT_EQ(provider->QueryInterface(IID_IInitializeWithStream, init.PutVoid()), S_OK);
  return init->Initialize(stream, STGM_READ);
}

// The rows of a bitmap as the memory holds them: row 0 is the bottom row.
struct Dib {
  LONG width = 0;
  LONG height = 0;
  WORD bitsPerPixel = 0;
  std::vector<std::uint32_t> rows;

  std::uint32_t At(std::int32_t x, std::int32_t memoryRow) const {
    return rows[static_cast<std::size_t>(std::int64_t{memoryRow} * width + x)];
  }
};

Dib ReadDib(HBITMAP bitmap) {
  DIBSECTION section{};
  EXPECT_EQ(GetObjectW(bitmap, sizeof section, &section), static_cast<int>(sizeof section));
  Dib dib{section.dsBm.bmWidth, section.dsBm.bmHeight, section.dsBm.bmBitsPixel, {}};
  dib.rows.resize(static_cast<std::size_t>(std::int64_t{dib.width} * dib.height));
  std::memcpy(dib.rows.data(), section.dsBm.bmBits, dib.rows.size() * 4);
  EXPECT_GT(section.dsBmih.biHeight, 0);  // bottom-up
  return dib;
}

// One whole request: create, initialise with `stream`, ask for cx.
struct Request {
  HRESULT result;
  UniqueHBitmap bitmap;
  WTS_ALPHATYPE alpha;
};

Request Thumbnail(IStream* stream, UINT cx, Loader loader = ReadVfkThumbnail) {
  ComRef<IThumbnailProvider> provider = NewProvider(loader);
  EXPECT_EQ(Initialize(provider.Get(), stream), S_OK);
  HBITMAP bitmap = nullptr;
  WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
  const HRESULT result = provider->GetThumbnail(cx, &bitmap, &alpha);
  return {result, UniqueHBitmap(bitmap), alpha};
}

TEST(VeskThumbnailProvider, PlacesTheFittedPictureAtTheCentre) {
  struct Case {
    const char* what;
    std::int32_t width, height;
    UINT cx;
    std::int32_t left, top, right, bottom;  // the picture's canvas rectangle
  };
  const Case cases[] = {
      {"wide, letterboxed", 400, 200, 256, 0, 64, 256, 192},
      {"small, enlarged to fill", 10, 10, 96, 0, 0, 96, 96},
      {"1000 x 1: one row", 1000, 1, 256, 0, 128, 256, 129},
      {"tall, odd edge", 200, 300, 255, 42, 0, 212, 255},
  };
  constexpr std::uint32_t kColour = 0x80FF0000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ComRef<IStream> stream = DocumentStream(c.width, c.height, kColour);
    const Request request = Thumbnail(stream.Get(), c.cx);
    ASSERT_EQ(request.result, S_OK);
    EXPECT_EQ(request.alpha, WTSAT_ARGB);
    const Dib dib = ReadDib(request.bitmap.Get());
    ASSERT_EQ(dib.width, static_cast<LONG>(c.cx));
    ASSERT_EQ(dib.height, static_cast<LONG>(c.cx));
    EXPECT_EQ(dib.bitsPerPixel, 32);
    for (std::int32_t y = 0; y < static_cast<std::int32_t>(c.cx); ++y)
      for (std::int32_t x = 0; x < static_cast<std::int32_t>(c.cx); ++x) {
        const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
        const std::int32_t memoryRow = static_cast<std::int32_t>(c.cx) - 1 - y;
        ASSERT_EQ(dib.At(x, memoryRow), inside ? kColour : 0u) << x << ", " << y;
      }
  }
}

TEST(VeskThumbnailProvider, ThumbnailsTnwDocuments) {
  constexpr std::uint32_t kColour = 0xC0123456;
  for (const std::uint8_t type : {vfqtest::kRawBlob, vfqtest::kZstdBlob}) {
    SCOPED_TRACE(int{type});
    const std::vector<std::uint32_t> pixels(200 * 100, kColour);
    ComRef<IStream> stream =
        MakeMemoryStream(vfqtest::ThumbnailDocument(200, 100, pixels, type).Build());
    const Request request = Thumbnail(stream.Get(), 64, ReadTnwThumbnail);
    ASSERT_EQ(request.result, S_OK);
    const Dib dib = ReadDib(request.bitmap.Get());
    EXPECT_EQ(dib.At(0, 63 - 16), kColour);  // rows 16 … 47 hold the picture
    EXPECT_EQ(dib.At(63, 63 - 47), kColour);
    EXPECT_EQ(dib.At(0, 63 - 15), 0u);
    EXPECT_EQ(dib.At(0, 63 - 48), 0u);
  }
}

TEST(VeskThumbnailProvider, WritesTheBottomRowFirstAsBlueGreenRedAlpha) {
  // A 2 × 2 picture: top row opaque blue, bottom row (128, 255, 0, 0).
  const std::vector<std::uint32_t> pixels = {0xFF0000FF, 0xFF0000FF, 0x80FF0000, 0x80FF0000};
  ComRef<IStream> stream =
      MakeMemoryStream(WriteVfk(vfktest::ThumbnailDocument(2, 2, pixels, vfktest::kStored)));
  const Request request = Thumbnail(stream.Get(), 4);
  ASSERT_EQ(request.result, S_OK);
  DIBSECTION section{};
  ASSERT_NE(GetObjectW(request.bitmap.Get(), sizeof section, &section), 0);
  const auto* bytes = static_cast<const std::uint8_t*>(section.dsBm.bmBits);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 4),
            (std::vector<std::uint8_t>{0, 0, 255, 128}));
  const auto* topRow = bytes + 3 * 16;
  EXPECT_EQ(std::vector<std::uint8_t>(topRow, topRow + 4),
            (std::vector<std::uint8_t>{255, 0, 0, 255}));
}

bool FailingLoader(oxan::PictureSink& sink, IStream*) {
  sink.Begin(8, 8);
  return false;
}

bool ThrowingLoader(oxan::PictureSink&, IStream*) { throw std::bad_alloc(); }

TEST(VeskThumbnailProvider, GivesUpTheStreamWhateverTheLoaderDoes) {
  struct Case {
    const char* what;
    Loader loader;
    HRESULT result;
  };
  const Case cases[] = {
      {"loads", ReadVfkThumbnail, S_OK},
      {"fails", FailingLoader, S_FALSE},
      {"throws", ThrowingLoader, S_FALSE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ComRef<IStream> stream = DocumentStream(3, 3, 0xFF00FF00);
    {
      ComRef<IThumbnailProvider> provider = NewProvider(c.loader);
      ASSERT_EQ(Initialize(provider.Get(), stream.Get()), S_OK);
      EXPECT_EQ(RefCount(stream.Get()), 2u);
      HBITMAP bitmap = nullptr;
      WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
      EXPECT_EQ(provider->GetThumbnail(16, &bitmap, &alpha), c.result);
      UniqueHBitmap owned(bitmap);
      EXPECT_EQ(bitmap != nullptr, c.result == S_OK);
      EXPECT_EQ(alpha, c.result == S_OK ? WTSAT_ARGB : WTSAT_UNKNOWN);
      EXPECT_EQ(RefCount(stream.Get()), 1u);
      // Used: no second run, no second stream.
      EXPECT_EQ(provider->GetThumbnail(16, &bitmap, &alpha), S_FALSE);
      EXPECT_EQ(Initialize(provider.Get(), stream.Get()), kAlreadyInitialized);
    }
    EXPECT_EQ(RefCount(stream.Get()), 1u);
    EXPECT_EQ(ModuleCount(), 0);
  }
}

TEST(VeskThumbnailProvider, FollowsItsStates) {
  ComRef<IStream> first = DocumentStream(3, 3, 0xFF00FF00);
  ComRef<IStream> second = DocumentStream(3, 3, 0xFF00FF00);
  ComRef<IThumbnailProvider> provider = NewProvider();
  EXPECT_EQ(ModuleCount(), 1);

  // Empty: no thumbnail, the caller's handle untouched.
  HBITMAP bitmap = reinterpret_cast<HBITMAP>(std::uintptr_t{0x1234});
  WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
  EXPECT_EQ(provider->GetThumbnail(16, &bitmap, &alpha), S_FALSE);
  EXPECT_EQ(bitmap, reinterpret_cast<HBITMAP>(std::uintptr_t{0x1234}));

  // Initialised: the first stream stays.
  ASSERT_EQ(Initialize(provider.Get(), first.Get()), S_OK);
  EXPECT_EQ(Initialize(provider.Get(), second.Get()), kAlreadyInitialized);
  EXPECT_EQ(RefCount(first.Get()), 2u);
  EXPECT_EQ(RefCount(second.Get()), 1u);

  // Null out pointers: refused, nothing written, the stream still held.
  EXPECT_EQ(provider->GetThumbnail(16, nullptr, &alpha), S_FALSE);
  EXPECT_EQ(provider->GetThumbnail(16, &bitmap, nullptr), S_FALSE);
  EXPECT_EQ(RefCount(first.Get()), 2u);

  // A side of 0: GDI refuses the bitmap.
  EXPECT_EQ(provider->GetThumbnail(0, &bitmap, &alpha), S_FALSE);
  EXPECT_EQ(bitmap, nullptr);
  EXPECT_EQ(alpha, WTSAT_UNKNOWN);
  EXPECT_EQ(RefCount(first.Get()), 1u);

  provider.Reset();
  EXPECT_EQ(ModuleCount(), 0);
}

TEST(VeskThumbnailProvider, ReleasesAStreamItNeverUsed) {
  ComRef<IStream> stream = DocumentStream(3, 3, 0xFF00FF00);
  {
    ComRef<IThumbnailProvider> provider = NewProvider();
    ASSERT_EQ(Initialize(provider.Get(), stream.Get()), S_OK);
    EXPECT_EQ(RefCount(stream.Get()), 2u);
  }
  EXPECT_EQ(RefCount(stream.Get()), 1u);
  EXPECT_EQ(ModuleCount(), 0);
}

TEST(VeskThumbnailProvider, AnswersQueryInterfaceFromItsTable) {
  ComRef<IThumbnailProvider> provider = NewProvider();
  ComRef<IUnknown> unknown;
  ComRef<IInitializeWithStream> init;
  ASSERT_EQ(provider->QueryInterface(IID_IUnknown, unknown.PutVoid()), S_OK);
  ASSERT_EQ(provider->QueryInterface(IID_IInitializeWithStream, init.PutVoid()), S_OK);
  // IUnknown is the first row's face; the primary face is another address.
  EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(provider.Get()));
  EXPECT_NE(static_cast<void*>(init.Get()), static_cast<void*>(provider.Get()));
  EXPECT_EQ(RefCount(provider.Get()), 3u);

  void* none = reinterpret_cast<void*>(std::uintptr_t{1});
  EXPECT_EQ(provider->QueryInterface(IID_IStream, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(RefCount(provider.Get()), 3u);
}

// A stream that does not hand out IStream.
class NoStreamFace final : public ReadOnlyStream {
 public:
  IFACEMETHODIMP QueryInterface(REFIID, void** object) noexcept override {
    *object = nullptr;
    return E_NOINTERFACE;
  }

 private:
  std::int64_t ReadAt(std::uint64_t, void*, std::uint32_t) noexcept override { return 0; }
  std::uint64_t Size() const noexcept override { return 0; }
};

TEST(VeskThumbnailProvider, StaysEmptyWhenTheStreamRefusesItsInterface) {
  ComRef<IStream> refusing(new NoStreamFace);
  ComRef<IThumbnailProvider> provider = NewProvider();
  EXPECT_EQ(Initialize(provider.Get(), refusing.Get()), E_NOINTERFACE);
  ComRef<IStream> stream = DocumentStream(3, 3, 0xFF00FF00);
  EXPECT_EQ(Initialize(provider.Get(), stream.Get()), S_OK);
}

}  // namespace
