#include "errors/errors.h"

#include <gtest/gtest.h>

#include <exception>
#include <functional>
#include <optional>
#include <string>

namespace {

TEST(ReaderErrors, AreCaughtAsStandardExceptionsWithTheirExactText) {
  const std::string text = "Invalid nextVidx: 0x0 [00 01 02]";
  const std::function<void()> throwers[] = {
      [&] { throw ThumbError(text); },
      [&] { throw oxan::TNWError(text); },
      [&] { throw oxan::FException(text, 2); },
  };
  for (const auto& thrower : throwers) {
    try {
      thrower();
      ADD_FAILURE() << "nothing thrown";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), text.c_str());
    }
  }
}

TEST(ReaderErrors, CopiesOutliveTheOriginalWithTextAndCode) {
  std::optional<oxan::FException> copy;
  {
    std::string text = "Fail to alloc";
    const oxan::FException original(text, -7);
    text.assign("overwritten");
    copy.emplace(original);
  }
  EXPECT_STREQ(copy->what(), "Fail to alloc");
  EXPECT_EQ(copy->code, -7);

  std::optional<oxan::TNWError> tnw;
  { tnw.emplace(oxan::TNWError("Wrong binary format")); }
  EXPECT_STREQ(tnw->what(), "Wrong binary format");
}

}  // namespace
