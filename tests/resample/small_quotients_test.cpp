// The AVX2 kernels' averages divide in double precision; the quotients must
// be the integer ones over every numerator and divisor the kernels give:
// numerators below 2^31 and below 256 × the divisor, divisors below 2^24.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "resample/lanes_avx2.h"
#include "resample/resample.h"

namespace {

[[gnu::target("avx2")]] void Quotients(const std::uint32_t* numerators,
                                       const std::uint32_t* divisors, std::uint32_t* quotients) {
  oxan::lanes::Unsigned n, d;
  std::memcpy(&n, numerators, sizeof n);
  std::memcpy(&d, divisors, sizeof d);
  const oxan::lanes::Unsigned q = oxan::lanes::SmallQuotients(n, d);
  std::memcpy(quotients, &q, sizeof q);
}

TEST(SmallQuotients, AreTheIntegerQuotientsOverTheKernelsRanges) {
  if (!oxan::Avx2Available()) GTEST_SKIP() << "this processor has no AVX2";
  // Divisors at the edges (one pixel's weights, 25 interior pixels of a
  // span, the largest) and at random.
  std::vector<std::uint32_t> divisors = {1, 2, 3, 7, 254, 255, 256, 65025, 1625625, (1u << 24) - 1};
  std::mt19937 random(7);
  for (int i = 0; i < 200; ++i)
    divisors.push_back(static_cast<std::uint32_t>(1 + random() % ((1u << 24) - 1)));
  std::vector<std::uint32_t> numerators, denominators;
  for (const std::uint32_t d : divisors) {
    // Every quotient, at its exact multiple, just below the next, and between.
    for (std::uint64_t k = 0; k < 256; ++k) {
      for (const std::uint64_t n : {k * d, k * d + d / 2, k * d + d - 1}) {
        if (n >= (std::uint64_t{1} << 31)) continue;
        numerators.push_back(static_cast<std::uint32_t>(n));
        denominators.push_back(d);
      }
    }
  }
  while (numerators.size() % 8 != 0) {
    numerators.push_back(0);
    denominators.push_back(1);
  }
  std::vector<std::uint32_t> quotients(numerators.size());
  for (std::size_t i = 0; i < numerators.size(); i += 8)
    Quotients(numerators.data() + i, denominators.data() + i, quotients.data() + i);
  for (std::size_t i = 0; i < numerators.size(); ++i) {
    ASSERT_EQ(quotients[i], numerators[i] / denominators[i])
        << numerators[i] << " / " << denominators[i];
  }
}

}  // namespace
