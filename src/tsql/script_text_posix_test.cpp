// The look-ahead where POSIX's upper case (ICU's simple mapping) differs
// from the invariant mapping of Windows, which leaves the dotless i alone.
#include <gtest/gtest.h>

#include "tsql/script_text.h"

namespace corvalen {
namespace {

TEST(ScriptTextTest, TheDotlessIUpperCasesToI) {
  EXPECT_TRUE(CreatesRoutine(u"create funct\u0131on f"));
  EXPECT_TRUE(CreatesRoutine(u"CREATE V\u0131EW v"));
}

}  // namespace
}  // namespace corvalen
