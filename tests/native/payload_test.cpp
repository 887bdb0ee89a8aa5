// The two ways a zlib payload is inflated (whole, in one libdeflate call; in
// pieces, through zlib) must agree on every stream: same outcome, same
// pixels.
#include "formats/native/payload.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "loaded_pictures.h"
#include "platform/memory_stream.h"
#include "vfk_writer.h"

namespace {

using vfktest::Bytes;

struct Outcome {
  bool loaded;
  Bytes pixels;  // empty unless loaded

  bool operator==(const Outcome&) const = default;
};

Outcome Inflate(bool whole, const Bytes& payload, std::uint32_t storedLength,
                std::size_t pixelBytes) {
  ComRef<IStream> stream = MakeMemoryStream(payload);
  Bytes pixels(pixelBytes, 0xEE);
  const bool loaded =
      whole ? native::InflateWhole(stream.Get(), storedLength, pixels)
            : native::InflateInPieces(stream.Get(), storedLength,
                                      static_cast<std::uint32_t>(pixelBytes), pixels);
  return {loaded, loaded ? pixels : Bytes{}};
}

// Both paths on one payload; returns the common outcome.
Outcome InflateBothWays(const Bytes& payload, std::size_t pixelBytes,
                        std::optional<std::uint32_t> storedLength = std::nullopt) {
  const auto stored = storedLength.value_or(static_cast<std::uint32_t>(payload.size()));
  const Outcome whole = Inflate(true, payload, stored, pixelBytes);
  const Outcome inPieces = Inflate(false, payload, stored, pixelBytes);
  EXPECT_EQ(whole.loaded, inPieces.loaded);
  EXPECT_TRUE(whole == inPieces);
  return whole;
}

Bytes PictureBytes(std::int32_t width, std::int32_t height) {
  return vfktest::PixelBytes(looktest::Picture(width, height));
}

// A header with its check bits made right again after a change.
void SetHeader(Bytes& stream, std::uint8_t cmf, std::uint8_t flags) {
  const int high = flags & 0xE0;
  stream[0] = cmf;
  stream[1] = static_cast<std::uint8_t>(high | (31 - (cmf * 256 + high) % 31) % 31);
}

TEST(InflatePayload, BothWaysLoadValidStreamsAlike) {
  for (const int level : {0, 1, 6, 9}) {
    for (const auto& [width, height] : {std::pair{1, 1}, {4, 3}, {300, 200}, {1024, 64}}) {
      SCOPED_TRACE(testing::Message() << width << " x " << height << " level " << level);
      const Bytes pixels = PictureBytes(width, height);
      const Outcome outcome = InflateBothWays(vfktest::Deflate(pixels, level), pixels.size());
      EXPECT_TRUE(outcome.loaded);
      EXPECT_EQ(outcome.pixels, pixels);
    }
  }
}

TEST(InflatePayload, BothWaysRefuseDamagedStreamsAlike) {
  const Bytes pixels = PictureBytes(40, 30);
  const Bytes good = vfktest::Deflate(pixels);
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
    std::size_t pixelBytes;
    bool loaded;
  };
  const std::size_t n = pixels.size();
  const std::vector<Case> cases = {
      {"Adler-32 wrong", [](Bytes& b) { b.back() ^= 1; }, n, false},
      {"cut by one byte", [](Bytes& b) { b.pop_back(); }, n, false},
      {"cut before the Adler-32", [](Bytes& b) { b.erase(b.end() - 4, b.end()); }, n, false},
      {"cut in half", [](Bytes& b) { b.resize(b.size() / 2); }, n, false},
      {"empty", [](Bytes& b) { b.clear(); }, n, false},
      {"data damaged", [](Bytes& b) { b[b.size() / 2] ^= 0x55; }, n, false},
      {"not deflate", [](Bytes& b) { SetHeader(b, 0x77, b[1]); }, n, false},
      {"preset dictionary", [](Bytes& b) { SetHeader(b, b[0], b[1] | 0x20); }, n, false},
      {"window beyond 32 KiB", [](Bytes& b) { SetHeader(b, 0x88, b[1]); }, n, false},
      {"smallest window", [](Bytes& b) { SetHeader(b, 0x08, b[1]); }, n, true},
      {"header check wrong", [](Bytes& b) { b[1] ^= 1; }, n, false},
      {"bytes after the stream", [](Bytes& b) { b.insert(b.end(), 100, 0xCD); }, n, true},
      {"more output than pixels", [](Bytes&) {}, n - 1, false},
      {"less output than pixels", [](Bytes&) {}, n + 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes payload = good;
    c.damage(payload);
    const Outcome outcome = InflateBothWays(payload, c.pixelBytes);
    EXPECT_EQ(outcome.loaded, c.loaded);
    if (outcome.loaded) {
      EXPECT_EQ(outcome.pixels, pixels);
    }
  }
}

TEST(InflatePayload, BothWaysRefuseAStoredLengthPastTheEnd) {
  const Bytes pixels = PictureBytes(8, 8);
  const Bytes payload = vfktest::Deflate(pixels);
  EXPECT_FALSE(InflateBothWays(payload, pixels.size(), payload.size() + 1).loaded);
  EXPECT_FALSE(InflateBothWays(payload, pixels.size(), payload.size() - 1).loaded);
}

// Random damage to short streams of each kind of block: flipped bytes, cuts
// and insertions. zlib and libdeflate differ in how they tell bad data, so
// they are held to the same verdict on many damaged streams.
TEST(InflatePayload, BothWaysAgreeOnRandomlyDamagedStreams) {
  std::mt19937 random(20261210);
  const Bytes pixels = PictureBytes(16, 12);
  for (const int level : {0, 1, 6, 9}) {
    const Bytes good = vfktest::Deflate(pixels, level);
    for (int round = 0; round < 1500; ++round) {
      Bytes payload = good;
      const int changes = 1 + static_cast<int>(random() % 3);
      for (int c = 0; c < changes && !payload.empty(); ++c) {
        const std::size_t at = random() % payload.size();
        switch (random() % 4) {
          case 0: payload[at] ^= static_cast<std::uint8_t>(1u << (random() % 8)); break;
          case 1: payload[at] = static_cast<std::uint8_t>(random()); break;
          case 2: payload.resize(at); break;
          default: payload.insert(payload.begin() + static_cast<std::ptrdiff_t>(at),
                                  static_cast<std::uint8_t>(random()));
        }
      }
      SCOPED_TRACE(testing::Message() << "level " << level << " round " << round);
      const Outcome outcome = InflateBothWays(payload, pixels.size());
      // A change can leave the stream as it was (a byte replaced by itself).
      if (outcome.loaded) {
        EXPECT_EQ(outcome.pixels, pixels);
      }
      if (HasFailure()) return;
    }
  }
}

}  // namespace
