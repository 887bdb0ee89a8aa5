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
// never happen. Each nests 200 elements; the bound may exceed what the
// parser builds, never fall below it.
TEST(XmlNestingBound, NeverFallsBelowTheParsersNesting) {
  const std::string pieces[] = {
      "<a t=\"/>\">",                 // "/>" inside a value
      "<a t='</a>'>",                 // an end tag inside a value
      "<a><!--</a>-->",               // inside a comment
      "<a><![CDATA[</a>]]>",          // inside CDATA
      "<a>&#x</a>;",                  // swallowed by a character reference
      "<a>&#</a>;",                   //
      "<a><!</a>",                    // an unknown tag runs to its ">"
      "<a><?xml version=\"</a>\"?>",  // inside a declaration's value
      "<a>\xC3</a>",                  // a UTF-8 lead byte before "<"
      "<a t=\"\xE2\"</a>\"\">",       // a cut sequence inside a value
      "<a>\xEF\xBB\xBF</a>",          // a byte-order mark as text
      "<a \xEF\xBB\xBF t=\"1\">",     // a byte-order mark as whitespace
      std::string("<a>\xEFo\0", 6),   // a UTF-8 sequence over a zero byte
  };
  const std::string prologues[] = {"", "\xEF\xBB\xBF", "<?xml version=\"1.0\"?>",
                                   "<?xml version=\"1.0\" encoding=\"latin1\"?>"};
  for (const std::string& prologue : prologues) {
    for (const std::string& piece : pieces) {
      const std::string text = prologue + Repeat(piece, 200);
      SCOPED_TRACE(testing::Message() << "prologue " << prologue.size() << ", piece " << piece);
      EXPECT_GE(Bound(text), ParsedNesting(text));
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
