#include "tinyxml_nesting.h"

#include <tinyxml.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace xmltest {

std::size_t TinyXmlNesting(const char* text) {
  TiXmlDocument document;
  document.Parse(text, nullptr, TIXML_DEFAULT_ENCODING);
  std::size_t deepest = 0;
  std::vector<std::pair<const TiXmlElement*, std::size_t>> pending;
  for (const TiXmlElement* e = document.FirstChildElement(); e; e = e->NextSiblingElement())
    pending.emplace_back(e, 1);
  while (!pending.empty()) {
    const auto [element, depth] = pending.back();
    pending.pop_back();
    deepest = std::max(deepest, depth);
    for (const TiXmlElement* c = element->FirstChildElement(); c; c = c->NextSiblingElement())
      pending.emplace_back(c, depth + 1);
  }
  return deepest;
}

}  // namespace xmltest
