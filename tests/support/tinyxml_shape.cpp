#include "tinyxml_shape.h"

#include <tinyxml.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace xmltest {

native::XmlShape TinyXmlShape(const char* text) {
  TiXmlDocument document;
  document.Parse(text, nullptr, TIXML_DEFAULT_ENCODING);
  native::XmlShape shape{0, 0, 0};
  // Nodes with the number of elements from the root element down to them.
  std::vector<std::pair<const TiXmlNode*, std::size_t>> pending;
  for (const TiXmlNode* n = document.FirstChild(); n; n = n->NextSibling())
    pending.emplace_back(n, 0);
  while (!pending.empty()) {
    const auto [node, above] = pending.back();
    pending.pop_back();
    ++shape.nodes;
    const TiXmlElement* element = node->ToElement();
    if (!element) continue;
    shape.nesting = std::max(shape.nesting, above + 1);
    std::size_t attributes = 0;
    for (const TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next()) ++attributes;
    shape.attributes = std::max(shape.attributes, attributes);
    shape.nodes += attributes;
    for (const TiXmlNode* c = element->FirstChild(); c; c = c->NextSibling())
      pending.emplace_back(c, above + 1);
  }
  return shape;
}

}  // namespace xmltest
