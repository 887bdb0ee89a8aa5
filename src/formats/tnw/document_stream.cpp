#include "formats/tnw/document_stream.h"

#include <limits>

#include "errors/errors.h"

namespace tnw {

pagestore::ReadFunction DocumentStreamReader(IStream* stream) {
  return [stream](std::uint64_t offset, std::uint8_t* buffer, std::int32_t length) {
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max()) ||
        FAILED(stream->Seek(position, STREAM_SEEK_SET, nullptr)))
      throw ThumbError("Seek fail");
    ULONG read = 0;
    if (length < 0 || FAILED(stream->Read(buffer, static_cast<ULONG>(length), &read)))
      throw ThumbError("Read fail");
    if (read != static_cast<ULONG>(length)) throw ThumbError("Can't read enough");
    return length;
  };
}

}  // namespace tnw
