#include "tsql/tsql_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/utf.h"

namespace corvalen {
namespace {

// Tokens as text, statements marked with '!', with depth and catches when
// inside blocks: "!BEGIN", "TRY", "!ROLLBACK@2c1".
struct Recorder {
  std::vector<std::string> tokens;
  std::string comments;
  void Token(const TsqlToken& t) {
    std::string s = (t.statement ? "!" : "") + Utf16ToUtf8(std::u16string(t.text));
    if (t.depth > 0) s += "@" + std::to_string(t.depth) + (t.catches > 0 ? "c" + std::to_string(t.catches) : "");
    if (t.kind == TsqlToken::kVariable) s += "(var)";
    if (t.kind == TsqlToken::kSqlcmdVariable) s += "(sqlcmd)";
    tokens.push_back(s);
  }
  void Comment(const char16_t* b, const char16_t* e) {
    comments += Utf16ToUtf8(std::u16string(b, e)) + "|";
  }
};

std::vector<std::string> Read(std::u16string_view text) {
  TsqlReader reader;
  Recorder r;
  reader.Read(text, r);
  return r.tokens;
}

TEST(TsqlReaderTest, CommentsStringsAndNamesHideWhatTheyHold) {
  EXPECT_EQ(Read(u"/* a /* COMMIT */ b */ x -- ROLLBACK\r\n'it''s COMMIT' N'ñ' [a]]COMMIT] \"q\"\"x\" "
                 u"@v @@ERROR $(Base) #t"),
            (std::vector<std::string>{"!x", "'it''s COMMIT'", "N'ñ'", "[a]]COMMIT]", "\"q\"\"x\"",
                                      "@v(var)", "@@ERROR", "$(Base)(sqlcmd)", "#t"}));
  EXPECT_EQ(KeywordOf(u"rollBack"), TsqlWord::kRollback);
  EXPECT_EQ(KeywordOf(u"ROLLBACKS"), TsqlWord::kOther);
  EXPECT_EQ(KeywordOf(u"implicit_transactions"), TsqlWord::kImplicitTransactions);
}

TEST(TsqlReaderTest, KeywordsCountAsStatementsOnlyWhereAStatementStarts) {
  EXPECT_EQ(Read(u"ALTER DATABASE x SET SINGLE_USER WITH ROLLBACK IMMEDIATE;ROLLBACK"),
            (std::vector<std::string>{"!ALTER", "DATABASE", "x", "SET", "SINGLE_USER", "WITH",
                                      "ROLLBACK", "IMMEDIATE", ";", "!ROLLBACK"}));
  EXPECT_EQ(Read(u"GRANT CREATE TABLE TO u CREATE OR ALTER VIEW v AS SELECT a.update FROM t"),
            (std::vector<std::string>{"!GRANT", "CREATE", "TABLE", "TO", "u", "!CREATE", "OR",
                                      "ALTER", "VIEW", "v", "AS", "!SELECT", "a", ".", "update",
                                      "FROM", "t"}));
}

TEST(TsqlReaderTest, BlocksNestAndCaseEndsItsOwnEnd) {
  EXPECT_EQ(Read(u"BEGIN TRAN BEGIN TRY SELECT CASE WHEN 1=1 THEN 2 END END TRY "
                 u"BEGIN CATCH IF 1=1 BEGIN ROLLBACK END END CATCH COMMIT"),
            (std::vector<std::string>{"!BEGIN", "TRAN", "!BEGIN", "TRY@1", "!SELECT@1", "CASE@1",
                                      "WHEN@2", "1@2", "=@2", "1@2", "THEN@2", "2@2", "END@2",
                                      "!END@1", "TRY", "!BEGIN", "CATCH@1c1", "!IF@1c1", "1@1c1",
                                      "=@1c1", "1@1c1", "!BEGIN@1c1", "!ROLLBACK@2c1",
                                      "!END@2c1", "!END@1c1", "CATCH", "!COMMIT"}));
}

TEST(TsqlReaderTest, WhatAPartLeavesOpenCarriesToTheNext) {
  const std::u16string first = u"SELECT 1 /* a\r\n /* b */";
  TsqlReader reader;
  Recorder r;
  reader.Read(first, r);
  EXPECT_EQ(reader.open(), TsqlOpen::kBlockComment);
  EXPECT_EQ(reader.opened_at(), first.data() + 9);
  reader.Read(u"\r\n", r);
  reader.Read(u"c */ 'x", r);
  EXPECT_EQ(reader.open(), TsqlOpen::kString);
  reader.Read(u"y' -- z", r);
  EXPECT_EQ(reader.open(), TsqlOpen::kNothing);
  reader.Read(u"\r\nN'", r);
  EXPECT_EQ(reader.open(), TsqlOpen::kString);
  EXPECT_EQ(r.tokens, (std::vector<std::string>{"!SELECT", "1", "y'"}));
  EXPECT_EQ(r.comments, "/* a\r\n /* b */|\r\n|c */|-- z|");
}

// Follow keeps what Read keeps of comments, strings and names, part by
// part, by each database's rules.
TEST(TsqlReaderTest, FollowEndsWhereReadEnds) {
  const std::vector<std::u16string> parts = {
      u"SELECT 1 /* a\r\n /* b */", u"\r\n", u"c */ 'x", u"y' -- z", u"\r\nN'", u"' [a]]",
      u"b] \"q\"\"", u"x\" - / -- '\r\n/* */ [x", u"]", u" $q$ ' /* $q$ $$", u"' $$ `a'",
      u"` E'\\'' [x]] ' `", u"x$$y` '"};
  for (Dialect dialect : {Dialect::kSqlServer, Dialect::kPostgresql, Dialect::kSqlite}) {
    const LexicalRules rules = LexicalRulesOf(TextRules{dialect, false});
    TsqlReader read(rules), follow(rules);
    Recorder r;
    for (const std::u16string& part : parts) {
      read.Read(part, r);
      follow.Follow(part);
      EXPECT_EQ(follow.open(), read.open()) << Utf16ToUtf8(part);
      EXPECT_EQ(follow.opened_at(), read.opened_at()) << Utf16ToUtf8(part);
    }
  }
  // Read's tokens by PostgreSQL's rules.
  TsqlReader reader(LexicalRulesOf(TextRules{Dialect::kPostgresql, false}));
  Recorder r;
  reader.Read(u"SELECT $a$ it's $a$, E'\\'', ARRAY['[', ']'] $1", r);
  EXPECT_EQ(r.tokens, (std::vector<std::string>{"!SELECT", "$a$ it's $a$", ",", "E", "'\\''",
                                                ",", "ARRAY", "[", "'['", ",", "']'", "]",
                                                "$1"}));
}

}  // namespace
}  // namespace corvalen
