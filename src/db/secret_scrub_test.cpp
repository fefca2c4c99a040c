#include "db/secret_scrub.h"

#include <gtest/gtest.h>

namespace corvalen {
namespace {

TEST(SecretScrubTest, ReplacesEveryOccurrenceOfEachSecret) {
  EXPECT_EQ(ScrubSecrets(u"user s3cr3t failed; s3cr3t again", {u"s3cr3t"}),
            u"user *** failed; *** again");
  // The longer secret goes first, so no part of it survives.
  EXPECT_EQ(ScrubSecrets(u"token abcdef", {u"abc", u"abcdef"}), u"token ***");
  // Empty secrets are ignored (a variable set to nothing hides nothing).
  EXPECT_EQ(ScrubSecrets(u"plain text", {u""}), u"plain text");
}

TEST(SecretScrubTest, HidesPasswordAttributesWhateverTheirSpelling) {
  EXPECT_EQ(ScrubSecrets(u"Driver={FreeTDS};Server=h;PWD=abc;UID=sa", {}),
            u"Driver={FreeTDS};Server=h;PWD=***;UID=sa");
  EXPECT_EQ(ScrubSecrets(u"password = {a;b}}c};x=1", {}), u"password = ***;x=1");
  EXPECT_EQ(ScrubSecrets(u"conn pwd=tail", {}), u"conn pwd=***");
  EXPECT_EQ(ScrubSecrets(u"Pwd=one\r\nsecond line", {}), u"Pwd=***\r\nsecond line");
  // An unterminated braced value is hidden to the end.
  EXPECT_EQ(ScrubSecrets(u"Pwd={open;rest", {}), u"Pwd=***");
  // Words that are not attributes are left alone.
  EXPECT_EQ(ScrubSecrets(u"Reason: Password did not match", {}),
            u"Reason: Password did not match");
  EXPECT_EQ(ScrubSecrets(u"Pwd=;Uid=x", {}), u"Pwd=;Uid=x");
}

TEST(SecretScrubTest, FindsThePasswordsOfAConnectionString) {
  EXPECT_EQ(ConnectionStringSecrets(u"Driver={ODBC Driver 18 for SQL Server};Server=h;"
                                    u"UID=sa;PWD={a;}}b};Database=d"),
            (std::vector<std::u16string>{u"{a;}}b}", u"a;}b"}));
  EXPECT_EQ(ConnectionStringSecrets(u"Password= s3 ;Uid=u"),
            (std::vector<std::u16string>{u"s3 ", u"s3"}));
  EXPECT_TRUE(ConnectionStringSecrets(u"Driver={PostgreSQL Unicode};Pwd=;Uid=postgres").empty());
  EXPECT_TRUE(ConnectionStringSecrets(u"no attributes at all").empty());
}

}  // namespace
}  // namespace corvalen
