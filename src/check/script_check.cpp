// The driver of --check for one script: read and cut it as the run does,
// feed each call's statements to the rule families, then give every
// finding its line.
#include "check/script_check.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>

#include "check/call_compile_rules.h"
#include "check/declaration_rules.h"
#include "check/encoding_rules.h"
#include "check/go_lines.h"
#include "check/routine_body_rules.h"
#include "check/setting_rules.h"
#include "check/sqlcmd_rules.h"
#include "check/statements.h"
#include "check/terminator_rules.h"
#include "check/transaction_refusals.h"
#include "check/transaction_rules.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "tsql/script_reader.h"
#include "tsql/tsql_reader.h"

namespace corvalen {
namespace {

// Whether every code unit of `text` is ASCII, four at a time.
bool IsAscii(std::u16string_view text) {
  size_t i = 0;
  uint64_t any = 0;
  for (; text.size() - i >= 4; i += 4) {
    uint64_t four;
    std::memcpy(&four, text.data() + i, sizeof four);
    any |= four;
  }
  for (; i < text.size(); ++i) any |= text[i];
  return (any & 0xFF80FF80FF80FF80u) == 0;
}

// Where `piece` starts to hold anything but blanks (its start when nothing).
size_t FirstNonBlank(std::u16string_view text, std::u16string_view piece) {
  size_t i = 0;
  while (i < piece.size() && (piece[i] == u' ' || piece[i] == u'\t' || piece[i] == u'\r' ||
                              piece[i] == u'\n')) {
    ++i;
  }
  return static_cast<size_t>(piece.data() - text.data()) + (i < piece.size() ? i : 0);
}

// The final piece, which never runs: its first token other than ';', and
// its GO lines and encoding.
struct Tail {
  IndentedGo& indented;
  EncodingRules* encoding;
  const char16_t* first = nullptr;
  void Token(const TsqlToken& t) {
    if (first == nullptr && !IsSymbol(t, u';')) first = t.text.data();
    indented.Check(t);
    if (encoding != nullptr) encoding->Observe(t);
  }
  void Comment(const char16_t*, const char16_t*) {}
};

// The script's whole text with its pieces and calls.
struct Script {
  std::u16string text;
  std::optional<TextEncoding> encoding;
  std::vector<std::u16string_view> pieces;
  std::vector<PieceGroup> groups;
};

// A call that ends inside a BEGIN ... END, TRY, CATCH or CASE block, or
// holds an END that closes nothing: a GO in the middle of a block, where
// the run's calls part, splits it, and SQL Server refuses both halves.
void JudgeBlocks(std::u16string_view text, const TsqlReader& reader, FoundList* found) {
  if (const char16_t* at = reader.open_block_at()) {
    found->Add({static_cast<size_t>(at - text.data()), FindingLevel::kError,
                u"la llamada termina dentro de este " + std::u16string(reader.open_block_word()) +
                    u": su END queda fuera de ella (un GO en medio del bloque, donde se parten "
                    u"las llamadas) y SQL Server la rechaza",
                std::nullopt});
  }
  if (const char16_t* at = reader.unmatched_end_at()) {
    found->Add({static_cast<size_t>(at - text.data()), FindingLevel::kError,
                u"END que no cierra nada en su llamada: su BEGIN quedó en otra (un GO en medio "
                u"del bloque, donde se parten las llamadas) y SQL Server la rechaza",
                std::nullopt});
  }
}

// The calls read by SQL Server's rules, every family fed.
void JudgeCalls(const Script& s, const std::vector<Rules*>& rules, bool tsql, Reporter& reporter,
                FoundList* found) {
  StatementStream stream(reporter, rules);
  bool boundary_open = false;
  size_t call = 0;
  for (const PieceGroup& group : s.groups) {
    stream.StartCall(CallInfo{++call, group.first, group.last});
    TsqlReader reader;
    for (size_t k = group.first; k <= group.last; ++k) {
      stream.StartPiece(PieceInfo{k, FirstNonBlank(s.text, s.pieces[k + 1])});
      // The rest of the GO line before the piece, unless a comment or string holds it.
      const bool inside = k == group.first ? boundary_open : reader.open() != TsqlOpen::kNothing;
      if (k > 0 && !inside) JudgeGoLine(s.text, s.pieces[k], found);
      reader.Read(s.pieces[k], stream);
      stream.EndPiece();
      const size_t go = static_cast<size_t>(s.pieces[k + 1].data() - s.text.data()) - 2;
      if (k < group.last) {
        if (tsql && reader.open() != TsqlOpen::kNothing) {
          JudgeGoInside(s.text, reader, go, false, found);
        } else if (const char16_t* at = tsql ? reader.open_block_at() : nullptr) {
          found->Add({go, FindingLevel::kNote,
                      u"línea GO dentro del " + std::u16string(reader.open_block_word()) +
                          u" abierto en la línea {línea}: ambas mitades van en la misma llamada, "
                          u"que lo lee entero; con otro PiecesPerCall SQL Server las rechazaría",
                      static_cast<size_t>(at - s.text.data())});
        }
        reader.Read(u"\r\n", stream);
      } else {
        boundary_open = reader.open() != TsqlOpen::kNothing;
        if (tsql && boundary_open) JudgeGoInside(s.text, reader, go, true, found);
      }
    }
    if (tsql && !boundary_open) JudgeBlocks(s.text, reader, found);
    stream.EndCall();
  }
  stream.EndScript();
}

void Judged(const std::u16string& path, int32_t pieces_per_call, const TextRules& text_rules,
            ScriptCheck* out, FoundList* found, Script* s) {
  s->text = ReadScriptTextDirect(path, &s->encoding);
  s->pieces = CutIntoPieces(s->text);
  s->groups = GroupPieces(s->pieces, pieces_per_call);
  out->pieces = s->pieces.size();
  out->groups = LinesOfGroups(s->text, s->pieces, s->groups);

  const bool tsql = text_rules.dialect == Dialect::kSqlServer;
  const bool past_ascii = s->encoding == TextEncoding::kAnsiCodePage && !IsAscii(s->text);
  Reporter reporter(s->text, found);
  IndentedGo indented(s->text, found);
  EncodingRules encoding(s->text, found);
  SqlcmdRules sqlcmd(reporter);
  TransactionRules transactions(reporter);
  TransactionRefusals refusals(reporter);
  DeclarationRules declarations(reporter);
  CallCompileRules call_compile(reporter);
  SettingRules settings(reporter);
  TerminatorRules terminators(reporter);
  RoutineBodyRules routine_bodies(reporter);
  NarrowLiterals narrow_literals(reporter);
  // GO lines, the encoding and sqlcmd's directives break a call whatever
  // the database; the other families are T-SQL's.
  std::vector<Rules*> rules = {&indented, &sqlcmd};
  if (past_ascii) rules.push_back(&encoding);
  if (tsql && s->encoding != TextEncoding::kAnsiCodePage && !IsAscii(s->text)) {
    rules.push_back(&narrow_literals);
  }
  if (tsql) {
    for (Rules* family : std::initializer_list<Rules*>{&transactions, &refusals, &declarations,
                                                       &call_compile, &settings, &terminators,
                                                       &routine_bodies}) {
      rules.push_back(family);
    }
  }
  JudgeCalls(*s, rules, tsql, reporter, found);
  // The run refuses a call holding a NUL character, comments included: the
  // drivers would end the text there.
  for (const PieceGroup& group : s->groups) {
    for (size_t k = group.first; k <= group.last; ++k) {
      const size_t nul = s->pieces[k].find(u'\0');
      if (nul == std::u16string_view::npos) continue;
      found->Add({static_cast<size_t>(s->pieces[k].data() - s->text.data()) + nul,
                  FindingLevel::kError,
                  u"carácter nulo: la ejecución no envía el lote que lo contiene y da el script "
                  u"por fallido",
                  std::nullopt});
      break;
    }
  }
  if (!tsql) {
    for (const PieceGroup& group : s->groups) {
      // The run stops at the first reason; the check tells each (on SQLite
      // the connection refuses a transaction statement only when it runs).
      auto refusal = RefuseCall(s->text, s->pieces, group, text_rules);
      auto statement = RefuseTransactionStatement(s->text, s->pieces, group, text_rules);
      if (statement && (!refusal || refusal->at != statement->at)) {
        found->Add({statement->at, FindingLevel::kError, std::move(statement->text), std::nullopt});
      }
      if (refusal) {
        found->Add({refusal->at, FindingLevel::kError, std::move(refusal->text), std::nullopt});
      }
    }
  }

  // The final piece, which never runs.
  const bool boundary_open =
      !s->groups.empty() && [&] {
        TsqlReader follow;
        for (size_t k = s->groups.back().first; k <= s->groups.back().last; ++k) {
          follow.Follow(s->pieces[k]);
          if (k < s->groups.back().last) follow.Follow(u"\r\n");
        }
        return follow.open() != TsqlOpen::kNothing;
      }();
  Tail tail{indented, past_ascii ? &encoding : nullptr};
  TsqlReader tail_reader;
  const std::u16string_view last = s->pieces.empty() ? std::u16string_view() : s->pieces.back();
  tail_reader.Read(last, tail);
  if (s->pieces.size() >= 2) {
    if (!boundary_open) JudgeGoLine(s->text, last, found);
    if (tail.first != nullptr && !boundary_open) {
      found->Add({static_cast<size_t>(tail.first - s->text.data()), FindingLevel::kError,
                  u"texto después del último GO: nunca se ejecuta", std::nullopt});
    }
  } else if (tail.first != nullptr) {
    found->Add({static_cast<size_t>(tail.first - s->text.data()), FindingLevel::kError,
                u"no hay ningún GO que separe: no se ejecuta nada", std::nullopt});
  }
  if (past_ascii) encoding.Finish();
}

// Every finding with its line, counted in one pass over the text.
void WithLines(std::u16string_view text, std::vector<Found>& found, ScriptCheck* out) {
  std::stable_sort(found.begin(), found.end(),
                   [](const Found& a, const Found& b) { return a.at < b.at; });
  std::vector<size_t> places;
  for (const Found& f : found) {
    places.push_back(f.at);
    if (f.named) places.push_back(*f.named);
  }
  std::sort(places.begin(), places.end());
  places.erase(std::unique(places.begin(), places.end()), places.end());
  std::vector<int32_t> place_lines;
  LineCounter lines(text);
  for (size_t at : places) place_lines.push_back(lines.LineAt(at));
  auto line_of = [&](size_t at) {
    return place_lines[static_cast<size_t>(std::lower_bound(places.begin(), places.end(), at) -
                                           places.begin())];
  };
  static constexpr std::u16string_view kNamedLine = u"{línea}";
  for (Found& f : found) {
    if (f.named) {
      const size_t mark = f.text.find(kNamedLine);
      if (mark != std::u16string::npos) {
        f.text.replace(mark, kNamedLine.size(), ToDecimal(line_of(*f.named)));
      }
    }
    out->findings.push_back({line_of(f.at), f.level, std::move(f.text)});
  }
}

}  // namespace

ScriptCheck CheckScript(const std::u16string& path, int32_t pieces_per_call,
                        const TextRules& rules) {
  ScriptCheck out;
  FoundList found;
  Script script;
  try {
    Judged(path, pieces_per_call, rules, &out, &found, &script);
  } catch (const NumberedError& e) {
    out = ScriptCheck();
    out.findings.push_back({0, FindingLevel::kError, u"no se puede leer: " + e.description()});
    return out;
  } catch (const std::bad_alloc&) {
    out = ScriptCheck();
    out.findings.push_back(
        {0, FindingLevel::kError, u"no cabe en la memoria disponible: no se pudo revisar"});
    return out;
  }
  WithLines(script.text, found.kept(), &out);
  if (found.dropped() > 0) {
    out.findings.push_back({0, found.dropped_error() ? FindingLevel::kError : FindingLevel::kNote,
                            u"y " + ToDecimal(static_cast<long long>(found.dropped())) +
                                u" hallazgos más que no se muestran"});
  }
  return out;
}

}  // namespace corvalen
