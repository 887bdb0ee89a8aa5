// libFuzzer target, differential: the nesting scan that guards the native
// loader's XML parser never answers less than the nesting TinyXML builds.
// Texts the loader would refuse (bound above its limit) are not parsed; the
// others are, on the fuzz thread's small stack, so a scan that misses deep
// nesting also shows as a stack overflow.
#include <tinyxml.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "formats/native/vfk_layout.h"
#include "formats/native/xml_nesting.h"
#include "fuzz_run.h"

namespace {

std::size_t ParsedNesting(const char* text) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunOnFuzzStack([&] {
    std::string text(reinterpret_cast<const char*>(data), size);
    text.append(8, '\0');  // the loader's padding
    const std::size_t bound =
        native::XmlNestingBound(std::string_view(text.data(), size), native::kMaxXmlNesting);
    if (bound > native::kMaxXmlNesting) return;
    if (ParsedNesting(text.c_str()) > bound) std::abort();
  });
  return 0;
}
