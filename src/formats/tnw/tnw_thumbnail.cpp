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

bool ExtractFromStream(oxan::CImage32& image, IStream* stream) {
  STATSTG stat{};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) throw ThumbError("Fail to stat.");
  pagestore::SeekPageMapper mapper(stat.cbSize.QuadPart, tnw::DocumentStreamReader(stream));
  tnw::TnwDocumentReader reader(
      std::make_unique<pagestore::RPageStore<pagestore::SeekPageMapper>>(std::move(mapper)));
  return reader.ExtractThumbnail(image);
}

}  // namespace

bool LoadTnwThumbnail(oxan::CImage32& image, IStream* stream) {
  std::uint8_t magic[sizeof tnw::kMagic] = {};
  if (!ReadAll(stream, magic, sizeof magic) || std::memcmp(magic, tnw::kMagic, sizeof magic) != 0)
    return false;
  try {
    return ExtractFromStream(image, stream);
  } catch (const std::runtime_error&) {
    platform::ShowInformationBox(L"throw error!", L"xxx");
    image.Resize(oxan::kPlaceholderSide, oxan::kPlaceholderSide);
    image.FillChecker(oxan::kPlaceholderSide, oxan::kPlaceholderSide, oxan::kPlaceholderColourA,
                      oxan::kPlaceholderColourB);
    return false;
  }
}
