// Native documents whose XML header is built to make TinyXML's tree large or
// slow: beyond the loader's limits (refused) and the largest within them
// (loaded). Shared by the cost test (memory) and xml_bench (time).
#pragma once

#include <cstdint>
#include <vector>

namespace vfktest {

struct HostileXmlDocument {
  const char* what;
  std::vector<std::uint8_t> document;
  bool loads;  // whether the loader gives its thumbnail
};

std::vector<HostileXmlDocument> HostileXmlDocuments();

// The same 2 × 2 document without extra XML, for comparison.
std::vector<std::uint8_t> PlainXmlDocument();

}  // namespace vfktest
