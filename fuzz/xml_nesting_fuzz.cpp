// libFuzzer target, differential: the nesting scan that guards the native
// loader's XML parser never answers less than the nesting TinyXML builds.
// Texts the loader would refuse (bound above its limit) are not parsed; the
// others are, on the fuzz thread's small stack, so a scan that misses deep
// nesting also shows as a stack overflow.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/native/vfk_layout.h"
#include "formats/native/xml_nesting.h"
#include "fuzz_run.h"
#include "tinyxml_nesting.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunOnFuzzStack([&] {
    std::string text(reinterpret_cast<const char*>(data), size);
    text.append(8, '\0');  // the loader's padding
    const std::size_t bound =
        native::XmlNestingBound(std::string_view(text.data(), size), native::kMaxXmlNesting);
    if (bound > native::kMaxXmlNesting) return;
    if (xmltest::TinyXmlNesting(text.c_str()) > bound) std::abort();
  });
  return 0;
}
