// How deeply TinyXML would nest the elements of an XML text, found without
// recursion and before the parser sees the text: TinyXML parses (and later
// destroys) its tree with one level of recursion per open element, so a
// deeply nested text would exhaust the stack of the thread that parses it.
//
// The scan follows the parser's own rules for the text it walks: where each
// element, end tag, comment, CDATA section, declaration, unknown tag,
// attribute value and character reference begins and ends, whitespace and
// the UTF-8 byte-order marks it skips. Where the parser's steps could depend
// on something the scan does not follow (a UTF-8 sequence cut short, the
// encoding a declaration chooses), the scan stops counting closings: from
// there on every "<" that could open an element counts as one more level.
// The answer is therefore never below the parser's deepest nesting, and
// equal to it for ordinary documents.
#pragma once

#include <cstddef>
#include <string_view>

namespace native {

// Nesting is the number of elements on the longest path from the root element
// down to a leaf element, the root included.
//
// Upper bound of the element nesting TinyXML builds when it parses `text`
// (with TIXML_DEFAULT_ENCODING) as a zero-terminated string, or limit + 1 as
// soon as the bound passes `limit` (the scan stops there, so its memory
// stays bounded). `text` is the whole buffer, zero bytes inside it included:
// the parser steps over a whole UTF-8 sequence and so can pass a zero byte
// and read on. The buffer must be followed by at least four zero bytes, as
// the loader's is.
std::size_t XmlNestingBound(std::string_view text, std::size_t limit);

}  // namespace native
