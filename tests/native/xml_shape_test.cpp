#include "formats/native/xml_shape.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tinyxml_shape.h"

namespace {

using native::XmlShape;

constexpr XmlShape kUnreached{100000, 10000000, 10000000};

XmlShape Parsed(const std::string& text) {
  const std::string padded = text + std::string(8, '\0');
  return xmltest::TinyXmlShape(padded.c_str());
}

XmlShape Bound(std::string text, const XmlShape& limits = kUnreached) {
  const std::size_t length = text.size();
  text.append(8, '\0');  // the padding the loader's buffer has
  return native::XmlShapeBound(std::string_view(text.data(), length), limits);
}

void ExpectNotBelow(const XmlShape& bound, const XmlShape& parsed) {
  EXPECT_GE(bound.nesting, parsed.nesting);
  EXPECT_GE(bound.attributes, parsed.attributes);
  EXPECT_GE(bound.nodes, parsed.nodes);
}

std::string Repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(XmlShapeBound, EqualsTheParsersTreeForOrdinaryDocuments) {
  const std::string texts[] = {
      "",
      "just text",
      "<Lorapp/>",
      "<Lorapp><Thumb width=\"4\" height=\"3\" bin=\"thumb\"/></Lorapp>",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Lorapp>\n  <Layers>\n    <Layer "
      "name=\"Ebene &amp; Grund\" id='2'>Text &#x41; &#66;</Layer>\n  </Layers>\n  <Thumb "
      "width=\"4\" height=\"3\" bin=\"thumb\"/>\n</Lorapp>\n",
      "\xEF\xBB\xBF<a> \xEF\xBB\xBF <b>gr\xC3\xB6\xC3\x9F"
      "e</b></a>",
      "<!-- <a><a> --><a><![CDATA[<b></a>]]><b/><!DOCTYPE x><?other?></a>",
      "<a\xC3\xA9 x=\"/>\"><b y='</a\xC3\xA9>'><c z=\"<c>\"/></b></a\xC3\xA9 >",
      "<a><b></a>",  // mismatched end: the parse stops
      "<a><b><c/></b><b><c><d/></c></b></a><e/>",
      "<a>" + Repeat("<b>", 300) + Repeat("</b>", 300) + "</a>",
      Repeat("<a/>", 1000),
      "<a x='1' y=\"2\" z=3>t<b w='&lt;'/>u<!--c--></a>",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 80));
    const XmlShape bound = Bound(text);
    const XmlShape parsed = Parsed(text);
    EXPECT_EQ(bound.nesting, parsed.nesting);
    EXPECT_EQ(bound.attributes, parsed.attributes);
    EXPECT_EQ(bound.nodes, parsed.nodes);
  }
}

// Texts built to make a scan that misreads the parser count closings that
// never happen, or miss nodes: a piece repeated 200 times, after each of
// four prologues (none, a byte-order mark, a declaration, a declaration of
// Latin-1). The depth the parser builds is stated for each, so that a parse
// stopping early cannot pass unseen: 200 (or 201) where it reads through
// every piece, 1 where it stops at the first (an error, or pieces that are
// siblings). The bounds may exceed the tree, never fall below it.
TEST(XmlShapeBound, NeverFallsBelowTheParsersTree) {
  struct Case {
    std::string piece;
    std::size_t depths[4];  // after each prologue
  };
  const Case cases[] = {
      {"<a t=\"/>\">", {200, 200, 200, 200}},                   // "/>" inside a value
      {"<a t='</a>'>", {200, 200, 200, 200}},                   // an end tag inside a value
      {"<a><!--</a>-->", {200, 200, 200, 200}},                 // inside a comment
      {"<a><![CDATA[</a>]]>", {200, 200, 200, 200}},            // inside CDATA
      {"<a>&#x</a>;", {1, 1, 1, 1}},                            // a character reference
      {"<a>&#</a>;", {1, 1, 1, 1}},                             //   that is no number
      {"<a><!</a>", {200, 200, 200, 200}},                      // an unknown tag runs to ">"
      {"<a><?xml version=\"</a>\"?>", {200, 200, 200, 200}},    // inside a declaration's value
      {"<a>\xC3</a>", {1, 200, 200, 1}},                        // a UTF-8 lead byte before "<"
      {"<a t=\"\xE2\"</a>\"\">", {1, 1, 1, 1}},                 // a cut sequence inside a value
      {"<a>\xEF\xBB\xBF</a>", {1, 1, 1, 1}},                    // a byte-order mark as text
      {"<a \xEF\xBB\xBF t=\"1\">", {1, 200, 200, 1}},           // a byte-order mark as space
      {std::string("<a>\xEFo\0", 6), {1, 200, 200, 1}},         // UTF-8 over a zero byte
      {"<a>\xC3<b x='1' y='2' z='3'/>", {201, 200, 200, 201}},  // a lead byte before attributes
      {"<a \xC3 x='1' y='2'>t<!--c-->", {1, 1, 1, 1}},          // a lead byte inside a tag
  };
  const std::string prologues[] = {"", "\xEF\xBB\xBF", "<?xml version=\"1.0\"?>",
                                   "<?xml version=\"1.0\" encoding=\"latin1\"?>"};
  for (std::size_t p = 0; p < std::size(prologues); ++p) {
    for (const Case& c : cases) {
      const std::string text = prologues[p] + Repeat(c.piece, 200);
      SCOPED_TRACE(testing::Message() << "prologue " << p << ", piece " << c.piece);
      const XmlShape parsed = Parsed(text);
      EXPECT_EQ(parsed.nesting, c.depths[p]);
      ExpectNotBelow(Bound(text), parsed);
    }
  }
}

// Each measure at its limit, and one past it: the scan stops there.
TEST(XmlShapeBound, StopsOncePastALimit) {
  constexpr XmlShape kLimits{10, 5, 50};
  struct Case {
    const char* what;
    std::string text;
    XmlShape bound;
  };
  const Case cases[] = {
      {"nesting at", Repeat("<a>", 10), {10, 0, 10}},
      {"nesting past", Repeat("<a>", 5000), {11, 0, 11}},
      {"attributes at", "<a" + Repeat(" b=''", 5) + "/>", {1, 5, 6}},
      {"attributes past", "<a" + Repeat(" b=''", 5000) + "/>", {1, 6, 7}},
      {"nodes at", "<r>" + Repeat("<a/>", 49) + "</r>", {2, 0, 50}},
      {"nodes past", "<r>" + Repeat("<a/>", 5000) + "</r>", {2, 0, 51}},
      {"texts and comments past", "<r>" + Repeat("t<!---->", 5000) + "</r>", {1, 0, 51}},
      {"nesting past after a byte-order mark the declaration may not allow",
       "<?xml version=\"1.0\"?>\xEF\xBB\xBF" + Repeat("<a/>", 5000),
       {11, 0, 51}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const XmlShape bound = Bound(c.text, kLimits);
    EXPECT_EQ(bound.nesting, c.bound.nesting);
    EXPECT_EQ(bound.attributes, c.bound.attributes);
    EXPECT_EQ(bound.nodes, c.bound.nodes);
  }
}

}  // namespace
