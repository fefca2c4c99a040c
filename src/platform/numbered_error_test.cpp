#include "platform/numbered_error.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "platform/version_info.h"

namespace corvalen {
namespace {

NumberedError Convert(const std::function<void()>& thrower) {
  try {
    thrower();
  } catch (...) {
    return CurrentErrorAsNumbered();
  }
  return NumberedError(0, u"");
}

TEST(NumberedErrorTest, ConvertsWhatHandlersCatch) {
  NumberedError own = Convert([] { throw NumberedError(kErrDatabase, u"relation missing"); });
  EXPECT_EQ(own.number(), kErrDatabase);
  EXPECT_EQ(own.description(), u"relation missing");

  NumberedError memory = Convert([] { throw std::bad_alloc(); });
  EXPECT_EQ(memory.number(), kErrOutOfMemory);
  EXPECT_EQ(memory.description(), u"Out of memory");

  NumberedError other = Convert([] { throw std::runtime_error("boom ñ"); });
  EXPECT_EQ(other.number(), kErrInvalidArgument);
  EXPECT_EQ(other.description(), u"boom ñ");
}

TEST(NumberedErrorTest, StandardDescriptions) {
  EXPECT_EQ(NumberedError(kErrOverflow).description(), u"Overflow");
  EXPECT_EQ(NumberedError(kErrObjectNotSet).description(),
            u"Object variable or With block variable not set");
  EXPECT_EQ(NumberedError(12345).description(), u"Application-defined or object-defined error");
}

TEST(VersionTest, TitleAndLabelComeFromTheProjectVersion) {
  EXPECT_EQ(VersionTitle(), u"CorvalenSQL v." CORVALEN_VERSION);
  EXPECT_EQ(VersionLabel(), u"v." CORVALEN_VERSION);
}

}  // namespace
}  // namespace corvalen
