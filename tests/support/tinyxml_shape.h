// The shape of the tree TinyXML builds from a text (with
// TIXML_DEFAULT_ENCODING), measured as native::XmlShape measures it. Walked
// without recursion; the parse itself recurses once per level, so callers
// hand it texts that nest moderately.
#pragma once

#include "formats/native/xml_shape.h"

namespace xmltest {

native::XmlShape TinyXmlShape(const char* text);

}  // namespace xmltest
