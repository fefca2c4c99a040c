// The case mapping on Windows: the table behind UpperCaseUnit and
// CaseFoldKey agrees with CompareStringOrdinal, which EqualIgnoringCase is.
#include <gtest/gtest.h>

#include <string>

#include "platform/wide_string.h"

namespace corvalen {
namespace {

TEST(CaseMappingWindowsTest, EveryUnitEqualsItsUpperCase) {
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const std::u16string unit(1, static_cast<char16_t>(c));
    const std::u16string upper(1, UpperCaseUnit(static_cast<char16_t>(c)));
    ASSERT_TRUE(EqualIgnoringCase(unit, upper)) << std::hex << static_cast<unsigned>(c);
    ASSERT_EQ(CaseFoldKey(unit), upper);
  }
}

}  // namespace
}  // namespace corvalen
