#include "image/fit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

TEST(FitSize, KeepsTheAspectAndTouchesTheBox) {
  struct Case {
    std::int32_t boxW, boxH, picW, picH, width, height;
  };
  const Case cases[] = {
      {256, 256, 1000, 500, 256, 128}, {256, 256, 500, 1000, 128, 256},
      {256, 256, 300, 300, 256, 256},  {256, 256, 30, 10, 256, 85},
      {256, 256, 3000, 1, 256, 0},     {256, 256, 1, 3000, 0, 256},
      {256, 256, 7, 0, 256, 256},  // height 0: aspect 1.0
      {256, 128, 100, 100, 128, 128},  {96, 256, 1000, 1, 96, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.picW << " x " << c.picH << " in " << c.boxW << " x " << c.boxH);
    oxan::FitRect fit{-1, -1, -1, -1};
    oxan::FitSize(c.boxW, c.boxH, c.picW, c.picH, fit);
    EXPECT_EQ(fit.x, 0);
    EXPECT_EQ(fit.y, 0);
    EXPECT_EQ(fit.width, c.width);
    EXPECT_EQ(fit.height, c.height);
  }
}

// A picture aspect of 0 divides by zero: the sides come out defined.
TEST(FitSize, GivesDefinedSidesWhereTheQuotientIsNotFinite) {
  oxan::FitRect fit{};
  oxan::FitSize(0, 256, 0, 5, fit);  // 0 / 0
  EXPECT_EQ(fit.width, 0);
  EXPECT_EQ(fit.height, 0);
  oxan::FitSize(-256, 256, 0, 5, fit);  // -256 / 0
  EXPECT_EQ(fit.width, -256);
  EXPECT_EQ(fit.height, std::numeric_limits<std::int32_t>::min());
}

TEST(CentreOffset, CentresTheFittedPicture) {
  EXPECT_EQ(oxan::CentreOffset(256, 256), 0);
  EXPECT_EQ(oxan::CentreOffset(256, 171), 43);
  EXPECT_EQ(oxan::CentreOffset(256, 1), 128);
  EXPECT_EQ(oxan::CentreOffset(255, 100), 77);
}

}  // namespace
