#include "tsql/call_refusal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/utf.h"

namespace corvalen {
namespace {

// The first refusal of the script's calls under `rules` ("" for none); LF in
// `text` stands for CR LF.
std::string Refusal(const std::u16string& lf_text, const TextRules& rules,
                    int32_t pieces_per_call = kDefaultPiecesPerCall) {
  std::u16string text;
  for (char16_t c : lf_text) text += c == u'\n' ? std::u16string(u"\r\n") : std::u16string(1, c);
  const std::vector<std::u16string_view> pieces = CutIntoPieces(text);
  for (const PieceGroup& group : GroupPieces(pieces, pieces_per_call)) {
    if (auto refusal = RefuseCall(text, pieces, group, rules)) return Utf16ToUtf8(refusal->text);
  }
  return "";
}

// Each form as the three databases read it: "" where the call is sent,
// else a part of the refusal's message.
struct Form {
  std::u16string text;
  std::string sqlserver, postgresql, sqlite;
};

TEST(CallRefusalTest, EachDatabaseReadsItsOwnForms) {
  const std::string kString = "dentro de un texto entre comillas abierto en el renglón 1";
  const std::string kComment = "dentro de un comentario /*";
  const std::string kNested = "comentario dentro de un comentario: SQLite lo cierra en el primer */";
  const Form forms[] = {
      {u"SELECT $$O'Brien$$;", kString, "", kString},
      {u"SELECT $x$it's /*$x$;", kString, "", kString},
      {u"SELECT $$/*$$;", kComment, "", kComment},
      {u"SELECT $$a\nGO\nb$$;", "", "", ""},  // one call holds the whole string
      {u"SELECT E'\\'', 'x';", kString, "", kString},
      {u"SELECT e'it\\'s';", kString, "", kString},
      {u"SELECT ARRAY['[', ']'];", kString, "", kString},
      {u"SELECT 'it''s' /* a /* b */ c */;", "", "", kNested},
      {u"/* old /* note */ DELETE FROM t; -- */", "", "", kNested},
      {u"SELECT `it's`;", kString, kString, ""},
      {u"SELECT `a/*b`;", kComment, kComment, ""},
      {u"SELECT [it's];", "", kString, ""},
      {u"SELECT [a]]'b];", "", kString, kString},
      {u"SELECT 1 FROM `it's` /* '\nGO\nDELETE FROM t; -- */", "", "", ""},
      {u"SELECT $1, a$b$c, $$", "", "dentro de un texto entre $$ abierto", ""},
      {u"SELECT 1;\nCOMMIT;", "", "COMMIT en el renglón 2 del archivo: un script no puede", ""},
  };
  for (const Form& form : forms) {
    for (auto [dialect, expected] : {std::pair{Dialect::kSqlServer, form.sqlserver},
                                     std::pair{Dialect::kPostgresql, form.postgresql},
                                     std::pair{Dialect::kSqlite, form.sqlite}}) {
      const std::string got = Refusal(form.text + u"\nGO\n", TextRules{dialect, false});
      SCOPED_TRACE(Utf16ToUtf8(form.text) + " on " + Utf16ToUtf8(DialectName(dialect)));
      if (expected.empty()) {
        EXPECT_EQ(got, "");
      } else {
        EXPECT_NE(got.find(expected), std::string::npos) << got;
      }
    }
  }
  // With PiecesPerCall = 1 the backquoted ' no longer hides the /* at the
  // call's end.
  EXPECT_NE(Refusal(u"SELECT 1 FROM `it's` /* '\nGO\nDELETE FROM t; -- */\nGO\n",
                    TextRules{Dialect::kSqlite, false}, 1)
                .find(kComment),
            std::string::npos);
  EXPECT_NE(Refusal(u"SELECT $$a\nGO\nb$$;\nGO\n", TextRules{Dialect::kPostgresql, false}, 1),
            "");
}

TEST(CallRefusalTest, BackslashStringsFollowTheServersSetting) {
  const std::u16string text = u"SELECT 'it\\'s', U&'\\0041', B'1', 'a\\\\';\nGO\n";
  EXPECT_EQ(Refusal(text, TextRules{Dialect::kPostgresql, true}), "");
  EXPECT_NE(Refusal(text, TextRules{Dialect::kPostgresql, false}), "");
}

}  // namespace
}  // namespace corvalen
