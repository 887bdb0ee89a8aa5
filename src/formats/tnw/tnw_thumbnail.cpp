#include "formats/tnw/tnw_thumbnail.h"

#include <cstring>
#include <memory>
#include <stdexcept>
#include <utility>

#include "errors/errors.h"
#include "formats/tnw/document_stream.h"
#include "formats/tnw/tnw_document_reader.h"
#include "formats/tnw/tnw_layout.h"
#include "pagestore/rpage_store.h"
#include "platform/information_box.h"
#include "platform/stream_read.h"

namespace {

bool ExtractFromStream(oxan::PictureSink& sink, IStream* stream) {
  STATSTG stat{};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) throw ThumbError("Fail to stat.");
  pagestore::SeekPageMapper mapper(stat.cbSize.QuadPart, tnw::DocumentStreamReader(stream));
  tnw::TnwDocumentReader reader(
      std::make_unique<pagestore::RPageStore<pagestore::SeekPageMapper>>(std::move(mapper)));
  return reader.ExtractThumbnail(sink);
}

enum class Outcome { kRead, kNone, kBroken };

Outcome Read(oxan::PictureSink& sink, IStream* stream) {
  std::uint8_t magic[sizeof tnw::kMagic] = {};
  if (!ReadAll(stream, magic, sizeof magic) || std::memcmp(magic, tnw::kMagic, sizeof magic) != 0)
    return Outcome::kNone;
  try {
    return ExtractFromStream(sink, stream) ? Outcome::kRead : Outcome::kNone;
  } catch (const std::runtime_error&) {
    platform::ShowInformationBox(L"throw error!", L"xxx");
    return Outcome::kBroken;
  }
}

}  // namespace

bool ReadTnwThumbnail(oxan::PictureSink& sink, IStream* stream) {
  return Read(sink, stream) == Outcome::kRead;
}

bool LoadTnwThumbnail(oxan::CImage32& image, IStream* stream) {
  // Read into an image of its own, so a failure leaves `image` as it came.
  oxan::CImage32 read;
  oxan::ImageSink sink(read);
  switch (Read(sink, stream)) {
    case Outcome::kRead:
      image.Swap(read);
      return true;
    case Outcome::kNone:
      return false;
    case Outcome::kBroken:
      break;
  }
  image.Resize(oxan::kPlaceholderSide, oxan::kPlaceholderSide);
  image.FillChecker(oxan::kPlaceholderSide, oxan::kPlaceholderSide, oxan::kPlaceholderColourA,
                    oxan::kPlaceholderColourB);
  return false;
}
