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
  // A short one never inside another word, where the stars would give it away.
  EXPECT_EQ(ScrubSecrets(u"role \"x\" does not exist; 'ist' Pwd=ist", {u"ist"}),
            u"role \"x\" does not exist; '***' Pwd=***");
  EXPECT_EQ(ScrubSecrets(u"ist_a a.ist añist ist", {u"ist"}), u"ist_a a.*** añist ***");
}

TEST(SecretScrubTest, HidesEveryRunOfEightOrMoreCharactersOfASecret) {
  const std::u16string secret = u"corvalen_catalogos_2024";
  // A server that cut the value keeps a prefix; another echoes a middle part.
  EXPECT_EQ(ScrubSecrets(u"database \"corvalen_cat\" does not exist", {secret}),
            u"database \"***\" does not exist");
  EXPECT_EQ(ScrubSecrets(u"user talogos_20 and catalogos_2024!", {secret}),
            u"user *** and ***!");
  // Seven characters in a row are not a run to hide.
  EXPECT_EQ(ScrubSecrets(u"corvale catalog", {secret}), u"corvale catalog");
  // Runs of two secrets that touch become one mark.
  EXPECT_EQ(ScrubSecrets(u"x=corvalen_abcdefgh.", {secret, u"abcdefghij"}), u"x=***.");
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
