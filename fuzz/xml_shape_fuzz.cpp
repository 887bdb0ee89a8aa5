// libFuzzer target, differential: the shape scan that guards the native
// loader's XML parser never answers less than the tree TinyXML builds.
// Texts the loader would refuse (a bound above its limit) are not parsed;
// the others are, on the fuzz thread's small stack, so a scan that misses
// deep nesting also shows as a stack overflow.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/native/vfk_layout.h"
#include "formats/native/xml_shape.h"
#include "fuzz_run.h"
#include "tinyxml_shape.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunOnFuzzStack([&] {
    std::string text(reinterpret_cast<const char*>(data), size);
    text.append(8, '\0');  // the loader's padding
    constexpr native::XmlShape kLimits{native::kMaxXmlNesting, native::kMaxXmlAttributes,
                                       native::kMaxXmlNodes};
    const native::XmlShape bound =
        native::XmlShapeBound(std::string_view(text.data(), size), kLimits);
    if (!native::Within(bound, kLimits)) return;
    const native::XmlShape parsed = xmltest::TinyXmlShape(text.c_str());
    if (parsed.nesting > bound.nesting || parsed.attributes > bound.attributes ||
        parsed.nodes > bound.nodes) {
      std::abort();
    }
  });
  return 0;
}
