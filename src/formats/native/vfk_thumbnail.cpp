#include "formats/native/vfk_thumbnail.h"

#include <tinyxml.h>

#include <boost/lexical_cast.hpp>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>

#include "bytes/little_endian.h"
#include "formats/native/pac_entry.h"
#include "formats/native/payload.h"
#include "formats/native/vfk_layout.h"
#include "formats/native/xml_shape.h"
#include "platform/stream_read.h"

namespace native {
namespace {

constexpr std::size_t kXmlPadding = 8;  // the terminator and what TinyXML may overstep

// What the "Thumb" element says.
struct ThumbElement {
  std::int32_t width;
  std::int32_t height;
  std::string bin;
};

// An absent or empty attribute is 0; text that is not a decimal int is
// nullopt.
std::optional<std::int32_t> SideOf(const TiXmlElement& thumb, const char* attribute) {
  const char* text = thumb.Attribute(attribute);
  if (!text || !*text) return 0;
  try {
    return boost::lexical_cast<std::int32_t>(text);
  } catch (const boost::bad_lexical_cast&) {
    return std::nullopt;
  }
}

// Parses the XML text (errors are not examined: the search works on whatever
// the parser built) and finds "Lorapp" / "Thumb". Nullopt when either is
// missing or a side is not a number in 1 … 1024.
std::optional<ThumbElement> ParseThumbElement(const char* xml) {
  TiXmlDocument document;
  document.Parse(xml, nullptr, TIXML_DEFAULT_ENCODING);
  const TiXmlElement* root = document.FirstChildElement("Lorapp");
  const TiXmlElement* thumb = root ? root->FirstChildElement("Thumb") : nullptr;
  if (!thumb) return std::nullopt;
  const std::optional<std::int32_t> width = SideOf(*thumb, "width");
  const std::optional<std::int32_t> height = SideOf(*thumb, "height");
  if (!width || !height) return std::nullopt;
  if (*width < kMinSide || *width > kMaxSide || *height < kMinSide || *height > kMaxSide)
    return std::nullopt;
  const char* bin = thumb->Attribute("bin");
  return ThumbElement{*width, *height, bin ? bin : ""};
}

// Reads the container header and the XML text after it. Nullopt for a wrong
// magic, a text longer than the rest of the stream, or a short read, and
// with `overlong` set when the XML length is beyond its limit.
std::optional<ThumbElement> ReadThumbElement(IStream* stream, bool& overlong) {
  std::uint8_t header[kHeaderSize];
  if (!ReadAll(stream, header, sizeof kMagic) || std::memcmp(header, kMagic, sizeof kMagic) != 0)
    return std::nullopt;
  if (!ReadAll(stream, header + sizeof kMagic, kHeaderSize - sizeof kMagic)) return std::nullopt;
  const std::uint32_t xmlLength = ReadLe32(header + kXmlLengthAt);
  if (xmlLength >= kXmlLengthLimit) {
    overlong = true;
    return std::nullopt;
  }
  // No buffer for more text than the stream still holds: the read would
  // come up short anyway.
  if (const std::optional<std::uint64_t> left = BytesLeft(stream); left && xmlLength > *left)
    return std::nullopt;
  // Zero bytes after the text: TinyXML steps over a multi-byte UTF-8
  // sequence whole, even when the text ends inside it, so a cut sequence at
  // the end moves it up to three bytes past the terminator.
  std::unique_ptr<char[]> xml(new (std::nothrow) char[std::size_t{xmlLength} + kXmlPadding]());
  if (!xml || !ReadAll(stream, xml.get(), xmlLength)) return std::nullopt;
  // Bounded before TinyXML sees the text: its stack, time and memory grow
  // with the tree.
  constexpr XmlShape kLimits{kMaxXmlNesting, kMaxXmlAttributes, kMaxXmlNodes};
  if (!Within(XmlShapeBound(std::string_view(xml.get(), xmlLength), kLimits), kLimits))
    return std::nullopt;
  return ParseThumbElement(xml.get());
}

// Walks the entries to the first one named `bin` and unpacks it into
// `pixels`. Every pass reads an entry header, so the walk ends with the
// stream.
bool ReadThumbEntry(IStream* stream, const std::string& bin, std::span<std::uint8_t> pixels) {
  for (;;) {
    std::uint8_t header[kEntryHeaderSize];
    PacEntry entry{};
    if (!ReadAll(stream, header, kEntryHeaderSize) || !ParsePacEntry(header, entry)) return false;
    if (entry.name != bin) {
      LARGE_INTEGER skip{};
      skip.QuadPart = entry.storedLength;
      stream->Seek(skip, STREAM_SEEK_CUR, nullptr);
      continue;
    }
    if (entry.unpackedLength == 0) return false;
    if (entry.method == kMethodStored)
      return ReadStoredPayload(stream, entry.unpackedLength, pixels);
    if (entry.method == kMethodZlib)
      return InflatePayload(stream, entry.storedLength, entry.unpackedLength, pixels);
    // Another method: the bytes right after this header are read as the next
    // entry header.
  }
}

// The picture is at most 4 MiB, so the sink gives it its room whole, which
// the payload is unpacked into.
bool Read(oxan::PictureSink& sink, IStream* stream, bool& overlong) {
  const std::optional<ThumbElement> thumb = ReadThumbElement(stream, overlong);
  if (!thumb || !sink.Begin(thumb->width, thumb->height)) return false;
  const std::span<std::uint8_t> pixels = sink.Room();
  if (pixels.size() !=
          static_cast<std::size_t>(thumb->width) * static_cast<std::size_t>(thumb->height) * 4 ||
      !ReadThumbEntry(stream, thumb->bin, pixels))
    return false;
  sink.Filled(pixels.size());
  return true;
}

}  // namespace
}  // namespace native

bool ReadVfkThumbnail(oxan::PictureSink& sink, IStream* stream) {
  bool overlong = false;
  return native::Read(sink, stream, overlong);
}

bool LoadVfkThumbnail(oxan::CImage32& image, IStream* stream) {
  oxan::ImageSink sink(image);
  bool overlong = false;
  if (native::Read(sink, stream, overlong)) return true;
  if (overlong) {
    image.Resize(oxan::kPlaceholderSide, oxan::kPlaceholderSide);
    image.FillChecker(image.Width(), image.Height(), oxan::kPlaceholderColourA,
                      oxan::kPlaceholderColourB);
  }
  return false;
}
