// The text work of the script execution: normalising the GO separators,
// cutting the text into pieces, and the look-ahead that recognises a piece
// that creates or alters a stored procedure or a function.
#ifndef CORVALEN_TSQL_SCRIPT_TEXT_H_
#define CORVALEN_TSQL_SCRIPT_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/data_access.h"

namespace corvalen {

// The separator that cuts a script into pieces: CR, LF, "GO".
inline constexpr std::u16string_view kSeparator = u"\r\nGO";

// The pieces of a script text, as these two steps give them:
//
// 1. Normalising the separators: these replacements applied one after the
//    other, each to every occurrence (case-sensitive, scanning from the start):
//      CR "go" / CR "Go" / CR "gO"            -> CR LF "GO"
//      LF "go" / LF "Go" / LF "gO"            -> CR LF "GO"
//      CR LF "go" / CR LF "Go" / CR LF "gO"   -> CR LF "GO"
//    and then LF "GO" whose LF does not follow a CR -> CR LF "GO", so that a
//    file with LF line ends is cut at its "GO" lines as at its "go" lines. A
//    CR LF "GO" is never changed.
// 2. Cutting the result at every kSeparator, which is removed; whatever
//    followed "GO" on its line heads the next piece. A text without a
//    separator is one piece, the empty text none.
//
// Done in one pass without building the normalised text (see
// script_text.cpp for why that is the same): the views point into `text`.
std::vector<std::u16string_view> CutIntoPieces(std::u16string_view text);

// Whether `piece`, converted to upper case (the simple one-to-one mapping of
// each code unit), contains "CREATE" or "ALTER", and also "PROC" (and so
// "PROCEDURE"), "FUNCTION", "TRIGGER" or "VIEW", anywhere, comments and
// quoted text included. SQL Server wants such a statement alone in its
// batch (the body of a procedure or trigger runs to the end of the batch),
// so such a piece is sent in a group of its own.
bool CreatesRoutine(std::u16string_view piece);

// Whether `text`, converted to upper case as CreatesRoutine converts it,
// contains `a` or `b` (upper-case ASCII words). A quick test that lets
// closer looks skip most pieces.
bool ContainsEitherWord(std::u16string_view text, std::string_view a, std::string_view b);

// Whether `piece` holds, as a statement (tsql/tsql_reader.h), CREATE
// SCHEMA, CREATE RULE or CREATE DEFAULT: SQL Server wants each of them first
// in its batch, so such a piece is sent in a group of its own too.
bool CreatesSchemaRuleOrDefault(std::u16string_view piece);

// The most pieces a call holds, and the default of an entity's PiecesPerCall.
inline constexpr int32_t kMaxPiecesPerCall = kDefaultPiecesPerCall;

// Pieces `first` to `last` (indexes into the pieces), sent in one call.
struct PieceGroup {
  size_t first;
  size_t last;
  // Whether the group is the one left over when the walk over the pieces
  // ends rather than one closed during the walk; a failure in it is reported
  // at one past the last piece to run.
  bool after_walk;
};

// The calls a script's pieces are sent in. Every piece but the final one
// runs (with one piece or none nothing runs). A group closes after
// `pieces_per_call` pieces (1 to kMaxPiecesPerCall), in front of a piece that
// CreatesRoutine or CreatesSchemaRuleOrDefault recognises and right after
// it; whatever is left at the end is the last group.
std::vector<PieceGroup> GroupPieces(const std::vector<std::u16string_view>& pieces,
                                    int32_t pieces_per_call = kMaxPiecesPerCall);

}  // namespace corvalen

#endif  // CORVALEN_TSQL_SCRIPT_TEXT_H_
