#include "document_kind.h"

#include <cstring>

#include "formats/native/vfk_layout.h"
#include "formats/native/vfk_thumbnail.h"
#include "formats/tnw/tnw_layout.h"
#include "formats/tnw/tnw_thumbnail.h"
#include "platform/stream_read.h"

namespace vfkthumb {

Loader LoaderForDocument(IStream* stream) {
  std::uint8_t signature[sizeof native::kMagic] = {};
  const std::uint32_t read = ReadSome(stream, signature, sizeof signature);
  LARGE_INTEGER start{};
  if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) return nullptr;
  if (read == sizeof native::kMagic && std::memcmp(signature, native::kMagic, read) == 0)
    return ReadVfkThumbnail;
  if (read >= sizeof tnw::kMagic && std::memcmp(signature, tnw::kMagic, sizeof tnw::kMagic) == 0)
    return ReadTnwThumbnail;
  return nullptr;
}

}  // namespace vfkthumb
