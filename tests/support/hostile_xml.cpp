#include "hostile_xml.h"

#include <string>

#include "vfk_writer.h"

namespace vfktest {
namespace {

std::string Repeat(const std::string& piece, std::size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

// Elements after the Thumb element inside the root.
std::vector<std::uint8_t> DocumentWith(const std::string& besideThumb) {
  VfkDocument document =
      ThumbnailDocument(2, 2, std::vector<std::uint32_t>(4, 0xFF4080C0), kStored);
  document.xml =
      "<Lorapp><Thumb width=\"2\" height=\"2\" bin=\"thumb\"/>" + besideThumb + "</Lorapp>";
  return WriteVfk(document);
}

std::string ElementWithAttributes(std::size_t count, std::size_t nameLength) {
  std::string element = "<a";
  for (std::size_t i = 0; i < count; ++i) {
    const std::string number = std::to_string(i);
    element += " " + std::string(nameLength - number.size(), 'p') + number + "=\"\"";
  }
  return element + "/>";
}

}  // namespace

std::vector<HostileXmlDocument> HostileXmlDocuments() {
  const std::string deep = Repeat("<a>", 250) + Repeat("</a>", 250);
  std::vector<HostileXmlDocument> documents;
  documents.push_back(
      {"40,000 attributes on one element", DocumentWith(ElementWithAttributes(40000, 5)), false});
  documents.push_back({"650,000 elements", DocumentWith(Repeat("<a/>", 650000)), false});
  documents.push_back({"nesting 250 repeated to 10 MiB",
                       DocumentWith(Repeat(deep, 0x9F0000 / deep.size())), false});
  documents.push_back({"1000 attributes of 100-byte names on 99 elements",
                       DocumentWith(Repeat(ElementWithAttributes(1000, 100), 99)), true});
  documents.push_back({"99,990 elements of 100-byte names",
                       DocumentWith(Repeat("<" + std::string(100, 'e') + "/>", 99990)), true});
  documents.push_back({"49,995 texts of 200 bytes",
                       DocumentWith(Repeat("<t>" + std::string(200, 'x') + "</t>", 49995)), true});
  documents.push_back({"a 5 MB attribute value and a 5 MB text",
                       DocumentWith("<a v=\"" + std::string(5000000, 'v') + "\"/><b>" +
                                    std::string(5000000, 'w') + "</b>"),
                       true});
  return documents;
}

std::vector<std::uint8_t> PlainXmlDocument() { return DocumentWith(""); }

}  // namespace vfktest
