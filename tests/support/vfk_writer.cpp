#include "vfk_writer.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace vfktest {
namespace {

void PutLe32(Bytes& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

constexpr std::size_t kNameSize = 64;

}  // namespace

std::string ThumbXml(std::optional<std::string> width, std::optional<std::string> height,
                     std::optional<std::string> bin) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Lorapp version=\"1\">\n  <Thumb";
  if (width) xml += " width=\"" + *width + "\"";
  if (height) xml += " height=\"" + *height + "\"";
  if (bin) xml += " bin=\"" + *bin + "\"";
  xml += "/>\n</Lorapp>\n";
  return xml;
}

Bytes PixelBytes(const std::vector<std::uint32_t>& pixels) {
  Bytes bytes;
  bytes.reserve(pixels.size() * 4);
  for (std::uint32_t pixel : pixels) PutLe32(bytes, pixel);
  return bytes;
}

Bytes Deflate(const Bytes& content, int level) {
  uLongf size = compressBound(static_cast<uLong>(content.size()));
  Bytes packed(size);
  if (compress2(packed.data(), &size, content.data(), static_cast<uLong>(content.size()), level) !=
      Z_OK)
    throw std::runtime_error("compress2 failed");
  packed.resize(size);
  return packed;
}

Bytes WriteVfk(const VfkDocument& document) {
  Bytes out(document.magic.begin(), document.magic.end());
  PutLe32(out, 0);
  PutLe32(out, document.xmlLength.value_or(static_cast<std::uint32_t>(document.xml.size())));
  PutLe32(out, 0);
  out.insert(out.end(), document.xml.begin(), document.xml.end());
  for (const VfkEntry& entry : document.entries) {
    const Bytes payload = entry.packed            ? *entry.packed
                          : entry.method == kZlib ? Deflate(entry.content)
                                                  : entry.content;
    out.insert(out.end(), entry.tag.begin(), entry.tag.end());
    PutLe32(out, 0);
    PutLe32(out, entry.method);
    PutLe32(out, entry.storedLength.value_or(static_cast<std::uint32_t>(payload.size())));
    PutLe32(out, entry.unpackedLength.value_or(static_cast<std::uint32_t>(entry.content.size())));
    out.insert(out.end(), 48, 0);
    Bytes name(kNameSize, 0);
    std::copy_n(entry.name.begin(), std::min(entry.name.size(), kNameSize), name.begin());
    Append(out, name);
    Append(out, payload);
  }
  return out;
}

VfkDocument ThumbnailDocument(std::int32_t width, std::int32_t height,
                              const std::vector<std::uint32_t>& pixels, std::uint32_t method) {
  VfkDocument document;
  document.xml = ThumbXml(std::to_string(width), std::to_string(height), "thumb");
  VfkEntry layers;
  layers.name = "layers";
  layers.method = kZlib;
  layers.content = Bytes(1000, 7);
  VfkEntry thumb;
  thumb.name = "thumb";
  thumb.method = method;
  thumb.content = PixelBytes(pixels);
  document.entries = {layers, thumb};
  return document;
}

}  // namespace vfktest
