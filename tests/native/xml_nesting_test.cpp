#include "formats/native/xml_nesting.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tinyxml_nesting.h"

namespace {

constexpr std::size_t kLimit = 100000;

std::size_t ParsedNesting(const std::string& text) {
  const std::string padded = text + std::string(8, '\0');
  return xmltest::TinyXmlNesting(padded.c_str());
}

std::size_t Bound(std::string text) {
  const std::size_t length = text.size();
  text.append(8, '\0');  // the padding the loader's buffer has
  return native::XmlNestingBound(std::string_view(text.data(), length), kLimit);
}

std::string Repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(XmlNestingBound, EqualsTheParsersNestingForOrdinaryDocuments) {
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
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 80));
    EXPECT_EQ(Bound(text), ParsedNesting(text));
  }
}

// Texts built to make a scan that misreads the parser count closings that
// never happen: a piece repeated 200 times, after each of four prologues
// (none, a byte-order mark, a declaration, a declaration of Latin-1). The
// depth the parser builds is stated for each, so that a parse stopping
// early cannot pass unseen: 200 where it reads through every piece, 1 where
// it stops at the first (an error, or pieces that are siblings). The bound
// may exceed that depth, never fall below it.
TEST(XmlNestingBound, NeverFallsBelowTheParsersNesting) {
  struct Case {
    std::string piece;
    std::size_t depths[4];  // after each prologue
  };
  const Case cases[] = {
      {"<a t=\"/>\">", {200, 200, 200, 200}},                 // "/>" inside a value
      {"<a t='</a>'>", {200, 200, 200, 200}},                 // an end tag inside a value
      {"<a><!--</a>-->", {200, 200, 200, 200}},               // inside a comment
      {"<a><![CDATA[</a>]]>", {200, 200, 200, 200}},          // inside CDATA
      {"<a>&#x</a>;", {1, 1, 1, 1}},                          // a character reference
      {"<a>&#</a>;", {1, 1, 1, 1}},                           //   that is no number
      {"<a><!</a>", {200, 200, 200, 200}},                    // an unknown tag runs to ">"
      {"<a><?xml version=\"</a>\"?>", {200, 200, 200, 200}},  // inside a declaration's value
      {"<a>\xC3</a>", {1, 200, 200, 1}},                      // a UTF-8 lead byte before "<"
      {"<a t=\"\xE2\"</a>\"\">", {1, 1, 1, 1}},               // a cut sequence inside a value
      {"<a>\xEF\xBB\xBF</a>", {1, 1, 1, 1}},                  // a byte-order mark as text
      {"<a \xEF\xBB\xBF t=\"1\">", {1, 200, 200, 1}},         // a byte-order mark as space
      {std::string("<a>\xEFo\0", 6), {1, 200, 200, 1}},       // UTF-8 over a zero byte
  };
  const std::string prologues[] = {"", "\xEF\xBB\xBF", "<?xml version=\"1.0\"?>",
                                   "<?xml version=\"1.0\" encoding=\"latin1\"?>"};
  for (std::size_t p = 0; p < std::size(prologues); ++p) {
    for (const Case& c : cases) {
      const std::string text = prologues[p] + Repeat(c.piece, 200);
      SCOPED_TRACE(testing::Message() << "prologue " << p << ", piece " << c.piece);
      EXPECT_EQ(ParsedNesting(text), c.depths[p]);
      EXPECT_GE(Bound(text), c.depths[p]);
    }
  }
}

TEST(XmlNestingBound, StopsOncePastTheLimit) {
  for (const std::string& text :
       {Repeat("<a>", 5000), "<?xml version=\"1.0\"?>\xEF\xBB\xBF" + Repeat("<a/>", 5000)}) {
    std::string padded = text + std::string(8, '\0');
    EXPECT_EQ(native::XmlNestingBound(std::string_view(padded.data(), text.size()), 256), 257u);
  }
}

}  // namespace
