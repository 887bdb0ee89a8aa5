#include "formats/native/xml_shape.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <vector>

namespace native {
namespace {

// What the parser treats as whitespace besides isspace(): the three byte
// triples it calls byte-order marks, but only in UTF-8 mode. That mode is on
// from a leading mark; otherwise the first declaration of the document
// chooses it from its encoding, which the scan does not read.
enum class Encoding { kUnknown, kUtf8, kChosenByDeclaration };

enum class Node { kNone, kDeclaration, kComment, kCdata, kUnknown, kElement };

// Thrown where the parser's next steps depend on what the scan does not
// follow; `at` is where the scan stood.
struct Undetermined {
  const char* at;
};

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool IsAlpha(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 127 || std::isalpha(byte) != 0;
}
bool IsAlphaNum(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 127 || std::isalnum(byte) != 0;
}
bool IsNameStart(char c) { return IsAlpha(c) || c == '_'; }

// Bytes of the UTF-8 sequence that `lead` starts, as the parser counts them.
int SequenceLength(char lead) {
  const auto byte = static_cast<unsigned char>(lead);
  if (byte >= 0xC2 && byte <= 0xDF) return 2;
  if (byte >= 0xE0 && byte <= 0xEF) return 3;
  if (byte >= 0xF0 && byte <= 0xF4) return 4;
  return 1;
}

bool IsMark(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return u[0] == 0xEF && ((u[1] == 0xBB && u[2] == 0xBF) || (u[1] == 0xBF && u[2] == 0xBE) ||
                          (u[1] == 0xBF && u[2] == 0xBF));
}

bool StartsWith(const char* p, std::string_view tag) {
  return std::strncmp(p, tag.data(), tag.size()) == 0;
}

bool StartsWithIgnoringCase(const char* p, std::string_view tag) {
  for (const char t : tag) {
    const auto byte = static_cast<unsigned char>(*p++);
    if (byte == 0 || (byte < 128 ? std::tolower(byte) : byte) != t) return false;
  }
  return true;
}

// What [at, end) could still build, zero bytes notwithstanding: each "<"
// that could start an element, each "<", each "=".
struct Rest {
  std::size_t elementStarts = 0;
  std::size_t tagStarts = 0;
  std::size_t equalSigns = 0;
};

Rest RestFrom(const char* at, const char* end) {
  Rest rest;
  for (const char* p = at; p < end; ++p) {
    if (*p == '<') {
      ++rest.tagStarts;
      if (IsNameStart(p[1])) ++rest.elementStarts;
    } else if (*p == '=') {
      ++rest.equalSigns;
    }
  }
  return rest;
}

// One walk over the text. Each step takes the position where the parser
// stands and answers where it stands afterwards, or null where the parser
// stops reading (the rest of the text builds nothing).
class ShapeScan {
 public:
  ShapeScan(std::string_view text, const XmlShape& limits)
      : text_(text.data()), end_(text.data() + text.size()), limits_(limits) {}

  XmlShape Run() {
    const char* p = text_;
    if (StartsWith(p, "\xEF\xBB\xBF")) encoding_ = Encoding::kUtf8;
    try {
      p = SkipSpace(p);
      while (p && *p) {
        const Node node = Identify(p);
        if (node == Node::kNone) break;  // text outside any element ends the parse
        if (node != Node::kElement && !CountNode()) break;
        p = node == Node::kElement ? Elements(p) : Other(node, p);
        if (node == Node::kDeclaration && encoding_ == Encoding::kUnknown) {
          encoding_ = Encoding::kChosenByDeclaration;
        }
        p = SkipSpace(p);
      }
      return shape_;
    } catch (const Undetermined& undetermined) {
      const Rest rest = RestFrom(undetermined.at, end_);
      // The open elements, one that may be opening, and every later start;
      // the attributes so far of the element that may still be open, and
      // every later "="; a text before each later "<" and one after them.
      const XmlShape bound{std::max(shape_.nesting, open_.size() + 1 + rest.elementStarts),
                           std::max(shape_.attributes, elementAttributes_ + rest.equalSigns),
                           shape_.nodes + 2 * rest.tagStarts + 1 + rest.equalSigns};
      return {std::min(bound.nesting, limits_.nesting + 1),
              std::min(bound.attributes, limits_.attributes + 1),
              std::min(bound.nodes, limits_.nodes + 1)};
    }
  }

 private:
  // One more node; false once the nodes are past their limit.
  bool CountNode() {
    ++shape_.nodes;
    return Within(shape_, limits_);
  }

  const char* SkipSpace(const char* p) const {
    if (!p || !*p) return nullptr;
    for (;;) {
      if (IsMark(p)) {
        if (encoding_ == Encoding::kChosenByDeclaration) throw Undetermined{p};
        if (encoding_ == Encoding::kUtf8) {
          p += 3;
          continue;
        }
      }
      if (!*p || !IsSpace(*p)) return p;
      ++p;
    }
  }

  // One character as the parser reads text: a character reference as a
  // whole, a UTF-8 sequence in UTF-8 mode as a whole. Stepping through such
  // a sequence byte by byte lands where the parser does when its other bytes
  // are all beyond ASCII; when they are not (a zero byte among them lets the
  // parser read past the end of the string), the two modes part.
  const char* Step(const char* p) const {
    if (*p == '&') return Reference(p);
    if (encoding_ != Encoding::kUnknown) {
      const int length = SequenceLength(*p);
      for (int i = 1; i < length; ++i) {
        if (static_cast<unsigned char>(p[i]) < 0x80) throw Undetermined{p};
      }
    }
    return p + 1;
  }

  // "&#x…;" and "&#…;" reach to the next ";" (the parser stops without
  // one); other references are plain bytes to the scan. The parser also
  // stops at a bad digit, which the scan need not see: going on only counts
  // more.
  static const char* Reference(const char* p) {
    if (p[1] != '#' || !p[2]) return p + 1;
    if (p[2] == 'x' && !p[3]) return nullptr;
    const char* semicolon = std::strchr(p + (p[2] == 'x' ? 3 : 2), ';');
    return semicolon ? semicolon + 1 : nullptr;
  }

  // Text up to and past `end`; null when nothing follows it. Condensed text
  // starts after whitespace and steps over whitespace byte by byte.
  const char* ReadText(const char* p, std::string_view end, bool condensed) const {
    if (condensed) p = SkipSpace(p);
    while (p && *p && !StartsWith(p, end)) {
      p = condensed && IsSpace(*p) ? p + 1 : Step(p);
    }
    if (p && *p) p += end.size();
    return p && *p ? p : nullptr;
  }

  static const char* ReadName(const char* p) {
    if (!IsNameStart(*p)) return nullptr;
    while (*p && (IsAlphaNum(*p) || *p == '_' || *p == '-' || *p == '.' || *p == ':')) ++p;
    return p;
  }

  static Node Identify(const char* p) {
    if (*p != '<') return Node::kNone;
    if (StartsWithIgnoringCase(p, "<?xml")) return Node::kDeclaration;
    if (StartsWith(p, "<!--")) return Node::kComment;
    if (StartsWith(p, "<![CDATA[")) return Node::kCdata;
    if (StartsWith(p, "<!")) return Node::kUnknown;
    if (IsNameStart(p[1])) return Node::kElement;
    return Node::kUnknown;
  }

  const char* Attribute(const char* p) const {
    p = SkipSpace(p);
    if (!p || !*p) return nullptr;
    p = ReadName(p);
    if (!p) return nullptr;
    p = SkipSpace(p);
    if (!p || *p != '=') return nullptr;
    p = SkipSpace(p + 1);
    if (!p || !*p) return nullptr;
    if (*p == '\'') return ReadText(p + 1, "'", false);
    if (*p == '"') return ReadText(p + 1, "\"", false);
    while (*p && !IsSpace(*p) && *p != '/' && *p != '>') {
      if (*p == '\'' || *p == '"') return nullptr;
      ++p;
    }
    return p;
  }

  const char* Declaration(const char* p) const {
    p += 5;  // "<?xml"
    while (p && *p) {
      if (*p == '>') return p + 1;
      p = SkipSpace(p);
      if (!p || !*p) break;
      if (StartsWithIgnoringCase(p, "version") || StartsWithIgnoringCase(p, "encoding") ||
          StartsWithIgnoringCase(p, "standalone")) {
        p = Attribute(p);
      } else {
        while (*p && *p != '>' && !IsSpace(*p)) ++p;
      }
    }
    return nullptr;
  }

  // Comments and unknown tags may end with the text; the parser then stops.
  static const char* Comment(const char* p) {
    for (p += 4; *p && !StartsWith(p, "-->"); ++p) {
    }
    return *p ? p + 3 : p;
  }

  static const char* Unknown(const char* p) {
    for (++p; *p && *p != '>'; ++p) {
    }
    return *p ? p + 1 : p;
  }

  const char* Cdata(const char* p) const {
    for (p += 9; *p && !StartsWith(p, "]]>"); ++p) {
    }
    return ReadText(p, "]]>", false);
  }

  const char* Other(Node node, const char* p) const {
    switch (node) {
      case Node::kDeclaration:
        return Declaration(p);
      case Node::kComment:
        return Comment(p);
      case Node::kCdata:
        return Cdata(p);
      default:
        return Unknown(p);
    }
  }

  // An element and everything inside it, from its "<": start tags push
  // their names, matching end tags pop them, without recursion.
  const char* Elements(const char* p) {
    const std::size_t outside = open_.size();
    for (;;) {
      // A start tag at p. The parser links the element into its tree even
      // when the tag turns out broken. Past a limit the answer is known: no
      // need to read on.
      shape_.nesting = std::max(shape_.nesting, open_.size() + 1);
      elementAttributes_ = 0;
      if (!CountNode()) return nullptr;
      p = SkipSpace(p + 1);
      const char* name = p;
      p = p ? ReadName(p) : nullptr;
      if (!p || !*p) return nullptr;
      const std::string_view tagName(name, static_cast<std::size_t>(p - name));
      for (;;) {
        p = SkipSpace(p);
        if (!p || !*p) return nullptr;
        if (*p == '/') {  // empty element
          if (p[1] != '>') return nullptr;
          p += 2;
          break;
        }
        if (*p == '>') {
          ++p;
          open_.push_back(tagName);
          break;
        }
        // Counted before it is read: the parser makes the node first.
        ++elementAttributes_;
        shape_.attributes = std::max(shape_.attributes, elementAttributes_);
        if (!CountNode()) return nullptr;
        p = Attribute(p);
        if (!p || !*p) return nullptr;
      }
      // The content of the innermost open element, up to a child's start
      // tag or the end tag.
      for (;;) {
        if (open_.size() == outside) return p;
        p = SkipSpace(p);
        if (!p || !*p) return nullptr;
        if (*p != '<') {
          if (!CountNode()) return nullptr;
          p = ReadText(p, "<", true);
          if (!p) return nullptr;
          --p;  // the "<" starts the next node
          continue;
        }
        if (StartsWith(p, "</")) {
          const std::string_view open = open_.back();
          if (std::strncmp(p + 2, open.data(), open.size()) != 0) return nullptr;
          p = SkipSpace(p + 2 + open.size());
          if (!p || *p != '>') return nullptr;
          ++p;
          open_.pop_back();
          continue;
        }
        const Node node = Identify(p);
        if (node == Node::kElement) break;
        if (!CountNode()) return nullptr;
        p = Other(node, p);
        if (!p) return nullptr;
      }
    }
  }

  const char* text_;
  const char* end_;  // of the whole buffer, past any zero byte inside it
  XmlShape limits_;
  Encoding encoding_ = Encoding::kUnknown;
  std::vector<std::string_view> open_;  // names of the open elements, innermost last
  XmlShape shape_{0, 0, 0};
  std::size_t elementAttributes_ = 0;  // of the latest start tag
};

}  // namespace

XmlShape XmlShapeBound(std::string_view text, const XmlShape& limits) {
  return ShapeScan(text, limits).Run();
}

bool Within(const XmlShape& shape, const XmlShape& limits) {
  return shape.nesting <= limits.nesting && shape.attributes <= limits.attributes &&
         shape.nodes <= limits.nodes;
}

}  // namespace native
