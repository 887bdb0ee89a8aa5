// The shape of the tree TinyXML would build from an XML text, bounded from
// above without recursion and before the parser sees the text. Each measure
// guards one cost of parsing a hostile text: the parser recurses once per
// open element (nesting: the thread's stack), checks each new attribute
// against every earlier one of its element (attributes: quadratic time), and
// allocates every node (nodes: memory).
//
// The scan follows the parser's own rules for the text it walks: where each
// element, end tag, comment, CDATA section, declaration, unknown tag,
// attribute value and character reference begins and ends, whitespace and
// the UTF-8 byte-order marks it skips. Where the parser's steps could depend
// on something the scan does not follow (a UTF-8 sequence cut short, the
// encoding a declaration chooses), the scan stops following it: from there
// on every "<" that could open an element counts as one more level, every
// "<" as two more nodes (itself and a text before it) and every "=" as one
// more attribute. The bounds are therefore never below what the parser
// builds, and equal to it for ordinary documents.
#pragma once

#include <cstddef>
#include <string_view>

namespace native {

struct XmlShape {
  // Elements on the longest path from the root element down to a leaf
  // element, the root included.
  std::size_t nesting;
  // The most attributes one element holds.
  std::size_t attributes;
  // Elements, attributes, texts, CDATA sections, comments, declarations and
  // unknown tags.
  std::size_t nodes;
};

// Upper bounds of the shape TinyXML builds when it parses `text` (with
// TIXML_DEFAULT_ENCODING) as a zero-terminated string, as long as each is
// within `limits`. The scan stops as soon as one bound passes its limit (so
// its time and memory stay bounded): that bound is then its limit + 1 and
// the others are what was counted so far. `text` is the whole buffer, zero
// bytes inside it included: the parser steps over a whole UTF-8 sequence and
// so can pass a zero byte and read on. The buffer must be followed by at
// least four zero bytes, as the loader's is.
XmlShape XmlShapeBound(std::string_view text, const XmlShape& limits);

// Every measure of `shape` within its limit.
bool Within(const XmlShape& shape, const XmlShape& limits);

}  // namespace native
