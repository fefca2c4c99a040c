#include "platform/long_path.h"

#include <gtest/gtest.h>

#include <string>

namespace corvalen {
namespace {

// A name long enough to make any path beyond the limit.
const std::u16string kLong(kLongPathFrom, u'n');

TEST(SystemPathTest, LongAbsolutePathsTakeTheExtendedForm) {
  EXPECT_EQ(SystemPath(u"C:\\scripts\\" + kLong + u"\\NCM_1.sql"),
            u"\\\\?\\C:\\scripts\\" + kLong + u"\\NCM_1.sql");
  EXPECT_EQ(SystemPath(u"d:/a//b/./c/../" + kLong + u"\\"), u"\\\\?\\d:\\a\\b\\" + kLong + u"\\");
  EXPECT_EQ(SystemPath(u"C:\\..\\..\\" + kLong), u"\\\\?\\C:\\" + kLong) << "never above the drive";
  EXPECT_EQ(SystemPath(u"\\\\servidor\\compartido\\" + kLong + u"\\x.sql"),
            u"\\\\?\\UNC\\servidor\\compartido\\" + kLong + u"\\x.sql");
  EXPECT_EQ(SystemPath(u"//servidor/compartido/../" + kLong),
            u"\\\\?\\UNC\\servidor\\compartido\\" + kLong);
}

TEST(SystemPathTest, OtherPathsAreLeftAsTheyAre) {
  for (const std::u16string& path : {
           std::u16string(u"C:\\scripts\\NCM_1.sql"),  // short
           u"\\\\?\\C:\\" + kLong,                     // already extended
           u"\\\\?\\UNC\\s\\c\\" + kLong,
           u"\\\\.\\pipe\\" + kLong,                   // a device
           u"scripts\\" + kLong,                       // relative
           u"C:" + kLong,                              // relative to the drive's folder
           u"\\" + kLong,                              // rooted on the current drive
           u"/tmp/" + kLong,                           // a POSIX path under Wine
           u"\\\\servidor\\" + kLong,                  // no share
       }) {
    EXPECT_EQ(SystemPath(path), path);
  }
}

}  // namespace
}  // namespace corvalen
