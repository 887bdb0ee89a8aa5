// The element nesting TinyXML builds from a text: the number of elements on
// the longest path from a root element down, the root included. Walked
// without recursion; the parse itself recurses once per level, so callers
// hand it texts that nest moderately.
#pragma once

#include <cstddef>

namespace xmltest {

std::size_t TinyXmlNesting(const char* text);

}  // namespace xmltest
