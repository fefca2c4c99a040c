#include "tsql/script_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/utf.h"
#include "platform/wide_string.h"

namespace corvalen {
namespace {

using Pieces = std::vector<std::u16string>;

// ---- Literal reference implementations ----

// Every occurrence, left to right; the replacement is not scanned again.
std::u16string ReplaceAll(const std::u16string& s, std::u16string_view find,
                          std::u16string_view with) {
  std::u16string out;
  size_t pos = 0;
  for (;;) {
    size_t k = s.find(find, pos);
    if (k == std::u16string::npos) break;
    out.append(s, pos, k - pos);
    out += with;
    pos = k + find.size();
  }
  out.append(s, pos);
  return out;
}

std::u16string SequentialNormalise(std::u16string s) {
  const std::u16string to = u"\r\nGO";
  for (const char16_t* find : {u"\rgo", u"\rGo", u"\rgO", u"\ngo", u"\nGo", u"\ngO",
                               u"\r\ngo", u"\r\nGo", u"\r\ngO"}) {
    s = ReplaceAll(s, find, to);
  }
  // LF "GO" whose LF does not follow a CR.
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    if (s.compare(i, 3, u"\nGO") == 0 && (i == 0 || s[i - 1] != u'\r')) {
      out += to;
      i += 3;
    } else {
      out += s[i++];
    }
  }
  return out;
}

Pieces SequentialSplit(const std::u16string& s) {
  Pieces pieces;
  if (s.empty()) return pieces;
  size_t pos = 0;
  for (;;) {
    size_t k = s.find(u"\r\nGO", pos);
    if (k == std::u16string::npos) break;
    pieces.push_back(s.substr(pos, k - pos));
    pos = k + 4;
  }
  pieces.push_back(s.substr(pos));
  return pieces;
}

bool LiteralCreatesRoutine(std::u16string_view piece) {
  std::u16string upper(piece);
  for (char16_t& c : upper) c = UpperCaseUnit(c);
  auto has = [&](const char16_t* word) { return upper.find(word) != std::u16string::npos; };
  return (has(u"CREATE") || has(u"ALTER")) &&
         (has(u"PROC") || has(u"FUNCTION") || has(u"TRIGGER") || has(u"VIEW"));
}

Pieces Cut(const std::u16string& s) {
  Pieces out;
  for (std::u16string_view piece : CutIntoPieces(s)) out.emplace_back(piece);
  return out;
}

// What the literal replacements and the literal split give.
Pieces Reference(const std::u16string& s) { return SequentialSplit(SequentialNormalise(s)); }

// ---- Normalising and cutting ----

TEST(ScriptTextTest, SeparatorLinesCutThePieces) {
  // Lines A, GO, B, GO as the file reader delivers them (each + CR LF).
  EXPECT_EQ(Cut(u"A\r\nGO\r\nB\r\nGO\r\n"), (Pieces{u"A", u"\r\nB", u"\r\n"}));
  // No separator: one piece; empty text: none.
  EXPECT_EQ(Cut(u"select 1\r\n"), (Pieces{u"select 1\r\n"}));
  EXPECT_EQ(Cut(u""), Pieces{});
  // A separator on the first line has no line end before it.
  EXPECT_EQ(Cut(u"GO\r\nA\r\n"), (Pieces{u"GO\r\nA\r\n"}));
  // Leading blanks, tabs, or the middle of a line do not separate.
  EXPECT_EQ(Cut(u"A\r\n GO\r\n\tgo\r\nx GO y\r\n"), (Pieces{u"A\r\n GO\r\n\tgo\r\nx GO y\r\n"}));
}

TEST(ScriptTextTest, LowerAndMixedCaseSeparatorsLeaveAnExtraCr) {
  for (const char16_t* go : {u"go", u"Go", u"gO"}) {
    std::u16string text = u"A\r\n" + std::u16string(go) + u"\r\nB\r\n";
    EXPECT_EQ(SequentialNormalise(text), u"A\r\r\nGO\r\nB\r\n");
    EXPECT_EQ(Cut(text), (Pieces{u"A\r", u"\r\nB\r\n"}));
  }
  // An upper-case GO after CR LF leaves no extra CR.
  EXPECT_EQ(Cut(u"A\r\nGO\r\nB\r\n"), (Pieces{u"A", u"\r\nB\r\n"}));
}

TEST(ScriptTextTest, AllFourSpellingsSeparateAfterALoneLf) {
  // A file with LF line ends reads as one line that holds the LFs.
  for (const char16_t* go : {u"go", u"Go", u"gO", u"GO"}) {
    std::u16string text = u"A\n" + std::u16string(go) + u"\nB\r\n";
    EXPECT_EQ(Cut(text), (Pieces{u"A", u"\nB\r\n"})) << Utf16ToUtf8(go);
  }
  // The LF of a CR LF is not lone: CR LF "GO" is never touched.
  EXPECT_EQ(SequentialNormalise(u"\r\nGO\n"), u"\r\nGO\n");
  EXPECT_EQ(SequentialNormalise(u"\nGO"), u"\r\nGO");
  EXPECT_EQ(SequentialNormalise(u"\n\nGO"), u"\n\r\nGO");
  EXPECT_EQ(Cut(u"\n\nGO x"), (Pieces{u"\n", u" x"}));
}

TEST(ScriptTextTest, WhatFollowsTheLettersHeadsTheNextPiece) {
  EXPECT_EQ(Cut(u"A\r\nGO -- fin\r\nB\r\n"), (Pieces{u"A", u" -- fin\r\nB\r\n"}));
  EXPECT_EQ(Cut(u"A\r\nGOTO x\r\nB\r\n"), (Pieces{u"A", u"TO x\r\nB\r\n"}));
  EXPECT_EQ(Cut(u"A\r\ngovernment\r\n"), (Pieces{u"A\r", u"vernment\r\n"}));
}

TEST(ScriptTextTest, OnePassEqualsTheLiteralReplacementsAndSplitOnRandomText) {
  // Short texts over an alphabet dense in CR, LF and the letters of "go", so
  // that every interaction between the rows comes up many times.
  const std::u16string alphabet = u"\r\n\r\ngGoOx ";
  std::mt19937 random(20240611);
  for (int round = 0; round < 60000; ++round) {
    std::u16string text(random() % 24, u' ');
    for (char16_t& c : text) c = alphabet[random() % alphabet.size()];
    ASSERT_EQ(Cut(text), Reference(text)) << "text: " << Utf16ToUtf8(text);
  }
}

TEST(ScriptTextTest, LongTextsAcrossScanBlocks) {
  // Separators at every offset within the 16-unit blocks of the scans.
  for (size_t pad = 0; pad < 40; ++pad) {
    std::u16string text = std::u16string(pad, u'x') + u"\r\ngo\r\n" + std::u16string(pad, u'y') +
                          u"\nGO\n" + std::u16string(pad, u'z') + u"\r\nGO\r\nw";
    EXPECT_EQ(Cut(text), Reference(text)) << pad;
  }
}

// ---- The look-ahead ----

TEST(ScriptTextTest, RoutinePiecesAreRecognised) {
  EXPECT_TRUE(CreatesRoutine(u"\r\ncreate procedure dbo.p as select 1\r\n"));
  EXPECT_TRUE(CreatesRoutine(u"\r\n-- ALTER this one day\r\nselect 1 -- FUNCTION\r\n"));
  EXPECT_TRUE(CreatesRoutine(u"CrEaTe FuNcTiOn f()"));
  EXPECT_TRUE(CreatesRoutine(u"ALTER PROCEDURE"));
  EXPECT_TRUE(CreatesRoutine(u"'FUNCTION' inside a string, then CREATE"));
  EXPECT_TRUE(CreatesRoutine(u"xCREATEx xPROCEDUREx"));

  // Each of these must stand alone in its batch on SQL Server.
  EXPECT_TRUE(CreatesRoutine(u"CREATE PROC dbo.p AS SELECT 1"));
  EXPECT_TRUE(CreatesRoutine(u"create view v as select 1"));
  EXPECT_TRUE(CreatesRoutine(u"ALTER TRIGGER t ON x AFTER INSERT AS SELECT 1"));

  EXPECT_FALSE(CreatesRoutine(u"ALTER TABLE t ADD c int"));
  EXPECT_FALSE(CreatesRoutine(u"CREATE TABLE v (vi int)"));
  EXPECT_FALSE(CreatesRoutine(u"EXEC dbo.some_procedure"));
  EXPECT_FALSE(CreatesRoutine(u"CREAT E PROCEDURE"));
  EXPECT_FALSE(CreatesRoutine(u""));
  // Words at every offset within the 16-unit blocks of the scan.
  for (size_t pad = 0; pad < 40; ++pad) {
    std::u16string x(pad, u'x'), y(pad, u'y');
    EXPECT_TRUE(CreatesRoutine(x + u"CrEaTe" + y + u"procedure")) << pad;
    EXPECT_TRUE(CreatesRoutine(x + u"function" + y + u"ALTER")) << pad;
    EXPECT_FALSE(CreatesRoutine(x + u"CrEaTe" + y + u"pro")) << pad;
    EXPECT_FALSE(CreatesRoutine(x + u"functio" + y + u"alter")) << pad;
  }
}

TEST(ScriptTextTest, LookAheadEqualsUpperCaseAndSearch) {
  // Every code unit in front of the rest of a word: only what upper-cases to
  // the word's first letter may complete it.
  for (uint32_t c = 0; c < 0x10000; ++c) {
    const char16_t u = static_cast<char16_t>(c);
    for (std::u16string text : {std::u16string(1, u) + u"REATE PROCEDURE",
                                std::u16string(1, u) + u"LTER FUNCTION",
                                u"CREATE " + std::u16string(1, u) + u"ROCEDURE",
                                u"ALTER " + std::u16string(1, u) + u"UNCTION",
                                u"CREATE FUNCT" + std::u16string(1, u) + u"ON",
                                u"C" + std::u16string(1, u) + u"EATE FUNCTION",
                                u"A" + std::u16string(1, u) + u"TER PROCEDURE",
                                u"ALTER P" + std::u16string(1, u) + u"OCEDURE",
                                u"CREATE F" + std::u16string(1, u) + u"NCTION",
                                u"ALTER V" + std::u16string(1, u) + u"EW",
                                u"CREATE " + std::u16string(1, u) + u"RIGGER"}) {
      ASSERT_EQ(CreatesRoutine(text), LiteralCreatesRoutine(text)) << "code unit " << c;
    }
  }
  // Random mixtures of word fragments in either case.
  const std::vector<std::u16string> parts = {u"cre", u"CRE", u"ate", u"ATE", u"al", u"AL",
                                             u"ter", u"TER", u"proc", u"PROC", u"edure",
                                             u"EDURE", u"fun", u"FUN", u"ction", u"CTION",
                                             u"tri", u"GGER", u"vi", u"EW", u"V",
                                             u" ", u"x", u"\u0131", u"\r\n"};
  std::mt19937 random(7);
  for (int round = 0; round < 30000; ++round) {
    std::u16string text;
    for (size_t k = random() % 12; k > 0; --k) text += parts[random() % parts.size()];
    ASSERT_EQ(CreatesRoutine(text), LiteralCreatesRoutine(text)) << Utf16ToUtf8(text);
  }
}

// Pieces named by kind: 'r' a routine, 'o' an ordinary piece; the final
// piece never runs. Returns the groups as "first-last" strings.
// 's' a piece creating a schema, rule or default, 'd' one that only names
// those words.
std::vector<std::string> Groups(const std::string& kinds, int32_t pieces_per_call = 21) {
  std::vector<std::u16string> texts;
  for (char k : kinds) {
    texts.push_back(k == 'r'   ? u"\r\nCREATE VIEW v AS SELECT 1"
                    : k == 's' ? u"\r\n-- rules\r\ncreate rule r as @v > 0"
                    : k == 'd' ? u"\r\nCREATE TABLE t (a int DEFAULT 0) -- CREATE SCHEMA"
                               : u"\r\nSELECT 1");
  }
  texts.push_back(u"\r\n");
  std::vector<std::u16string_view> pieces(texts.begin(), texts.end());
  std::vector<std::string> out;
  for (const PieceGroup& g : GroupPieces(pieces, pieces_per_call)) {
    out.push_back(std::to_string(g.first) + "-" + std::to_string(g.last) + (g.after_walk ? "*" : ""));
  }
  return out;
}

TEST(ScriptTextTest, ARoutineIsSentInAGroupOfItsOwn) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Groups(""), V{});
  EXPECT_EQ(Groups("ooo"), (V{"0-2*"}));
  // Closed in front of the routine and right after it.
  EXPECT_EQ(Groups("oorooo"), (V{"0-1", "2-2", "3-5*"}));
  EXPECT_EQ(Groups("rrro"), (V{"0-0", "1-1", "2-2", "3-3*"}));
  EXPECT_EQ(Groups("oor"), (V{"0-1", "2-2"}));
  // 21 pieces per ordinary group, counted afresh after a routine.
  EXPECT_EQ(Groups(std::string(25, 'o')), (V{"0-20", "21-24*"}));
  EXPECT_EQ(Groups("r" + std::string(22, 'o')), (V{"0-0", "1-21", "22-22*"}));
  // Schemas, rules and defaults open their batch too; words alone do not.
  EXPECT_EQ(Groups("osodo"), (V{"0-0", "1-1", "2-4*"}));
  // PiecesPerCall.
  EXPECT_EQ(Groups("ooo", 1), (V{"0-0", "1-1", "2-2"}));
  EXPECT_EQ(Groups("ooooo", 2), (V{"0-1", "2-3", "4-4*"}));
}

}  // namespace
}  // namespace corvalen
