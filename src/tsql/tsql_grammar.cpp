// The statement grammar of TsqlReader, as far as the checks need it: where a
// statement starts (after a complete one, with or without ';', by the form
// of the statement in progress), and the nesting of BEGIN ... END, TRY /
// CATCH and CASE.
#include "tsql/tsql_reader.h"

namespace corvalen {
namespace {

// The statement forms whose own statement keywords may follow a point where
// the statement could already be complete. Every other form is complete
// wherever the token before does not tie the next one to it (Binds), so that
// a statement keyword there starts the next statement, with or without ';'.
enum Form : uint8_t {
  kPlain,
  kUpdateForm,  // UPDATE [TOP (n)] target [WITH (...)] SET ...: the SET
  kInsertForm,  // INSERT [INTO] target [(columns)] SELECT | EXEC | VALUES | DEFAULT VALUES
  kCteForm,     // WITH name AS (...), ... SELECT | INSERT | UPDATE | DELETE | MERGE
  kAlterForm,   // ALTER kind name[.name] [ON name] ALTER | DROP | SET ...
  kDropForm,    // DROP kind IF EXISTS ...
};

// Steps of kAlterForm and kDropForm.
constexpr uint8_t kKindStep = 0, kNameStep = 1, kAfterNameStep = 2;

Form FormOf(TsqlWord w) {
  switch (w) {
    case TsqlWord::kUpdate: return kUpdateForm;
    case TsqlWord::kInsert: return kInsertForm;
    case TsqlWord::kWith: return kCteForm;
    case TsqlWord::kAlter: return kAlterForm;
    case TsqlWord::kDrop: return kDropForm;
    default: return kPlain;
  }
}

bool IsSymbol(TsqlToken::Kind kind, const char16_t* text, char16_t c) {
  return kind == TsqlToken::kSymbol && text[0] == c;
}

}  // namespace

// Whether the token ties the keyword after it to what came before:
// operators and '(' , ',' '.' (`x.UPDATE`, `(SELECT`), `WITH ROLLBACK`,
// `GRANT CREATE`, `CREATE OR ALTER`, `INSERT INTO`, `UNION [ALL] SELECT`,
// `THEN UPDATE` (MERGE), `ON DELETE SET NULL` (a foreign key's action),
// `IF UPDATE(c)`; ON ends the option of a SET clause (`SET NOCOUNT ON`).
bool TsqlReader::Binds(const TsqlToken& t) const {
  if (t.kind == TsqlToken::kSymbol) {
    switch (t.text[0]) {
      case u'.': case u'(': case u',': case u'=': case u'<': case u'>': case u'!': case u'+':
      case u'-': case u'*': case u'/': case u'%': case u'&': case u'|': case u'^': case u'~':
        return true;
      case u':':
        return previous_colon_;  // `SCHEMA::name`; a single ':' ends a label
      default:
        return false;
    }
  }
  if (t.kind != TsqlToken::kWord) return false;
  switch (t.word) {
    case TsqlWord::kOn:
      return !set_clause_;
    case TsqlWord::kAll:
      return previous_word_ == TsqlWord::kUnion;
    case TsqlWord::kDelete: case TsqlWord::kUpdate:
      return !t.statement && previous_word_ == TsqlWord::kOn;
    case TsqlWord::kWith:
      return !t.statement;
    case TsqlWord::kGrant: case TsqlWord::kDeny: case TsqlWord::kRevoke: case TsqlWord::kFor:
    case TsqlWord::kAfter: case TsqlWord::kOf: case TsqlWord::kInto: case TsqlWord::kFrom:
    case TsqlWord::kJoin: case TsqlWord::kTo: case TsqlWord::kOr: case TsqlWord::kAnd:
    case TsqlWord::kNot: case TsqlWord::kUnion: case TsqlWord::kExcept:
    case TsqlWord::kIntersect: case TsqlWord::kThen: case TsqlWord::kIf: case TsqlWord::kWhile:
    case TsqlWord::kBulk:
      return true;
    default:
      return false;
  }
}

void TsqlReader::StartForm(TsqlWord w) {
  form_ = FormOf(w);
  form_step_ = kKindStep;
  set_clause_ = w == TsqlWord::kSet;
}

// Whether the statement keyword `w`, standing where the statement in
// progress could be complete, continues it instead.
bool TsqlReader::Continues(TsqlWord w) {
  if (w == TsqlWord::kFetch &&
      (previous_word_ == TsqlWord::kRows || previous_word_ == TsqlWord::kRow)) {
    return true;  // OFFSET n ROWS FETCH NEXT n ROWS ONLY
  }
  switch (form_) {
    case kUpdateForm:
      if (w != TsqlWord::kSet) return false;
      form_ = kPlain;
      return true;
    case kInsertForm:
      if (w != TsqlWord::kSelect && w != TsqlWord::kExec && w != TsqlWord::kExecute) return false;
      form_ = kPlain;
      return true;
    case kCteForm:
      if (w != TsqlWord::kSelect && w != TsqlWord::kInsert && w != TsqlWord::kUpdate &&
          w != TsqlWord::kDelete && w != TsqlWord::kMerge) {
        return false;
      }
      StartForm(w);
      return true;
    case kAlterForm:
      if (form_step_ != kAfterNameStep ||
          (w != TsqlWord::kAlter && w != TsqlWord::kDrop && w != TsqlWord::kSet)) {
        return false;
      }
      form_ = kPlain;
      set_clause_ = w == TsqlWord::kSet;
      return true;
    case kDropForm:
      if (form_step_ != kNameStep || w != TsqlWord::kIf) return false;
      form_ = kPlain;
      return true;
    default:
      return false;
  }
}

// Moves the form's steps on over a token that neither starts nor continues
// the statement, at the statement's own parenthesis level.
void TsqlReader::Advance(TsqlToken::Kind kind, TsqlWord w, const char16_t* text) {
  if (w == TsqlWord::kUpdate && previous_word_ == TsqlWord::kThen) {
    StartForm(w);  // MERGE ... THEN UPDATE SET
    return;
  }
  if (w == TsqlWord::kInsert && previous_word_ == TsqlWord::kThen) {
    StartForm(w);
    return;
  }
  switch (form_) {
    case kUpdateForm:
      if (form_step_ == kKindStep && w == TsqlWord::kStatistics) form_ = kPlain;
      form_step_ = kNameStep;
      break;
    case kInsertForm:
      if (w == TsqlWord::kValues || w == TsqlWord::kDefault) form_ = kPlain;
      break;
    case kAlterForm:
      if (form_step_ == kKindStep) {
        form_step_ = kNameStep;
      } else if (form_step_ == kNameStep) {
        form_step_ = kAfterNameStep;
      } else if (IsSymbol(kind, text, u'.') || w == TsqlWord::kOn) {
        form_step_ = kNameStep;  // a schema's name, or ALTER INDEX i ON table
      } else {
        form_ = kPlain;
      }
      break;
    case kDropForm:
      if (form_step_ == kKindStep) {
        form_step_ = kNameStep;
      } else {
        form_ = kPlain;
      }
      break;
    default:
      break;
  }
}

void TsqlReader::Classify(TsqlToken::Kind kind, const char16_t* text, size_t size,
                          TsqlToken* t) {
  const std::u16string_view word(text, size);
  t->kind = kind;
  t->text = word;
  t->line_start = line_start_;
  line_start_ = false;
  t->word = kind == TsqlToken::kWord ? KeywordOf(word) : TsqlWord::kOther;
  t->statement = false;
  const TsqlWord w = t->word;
  bool starts = expect_statement_;
  bool consumed = false;  // the word completes BEGIN or END
  expect_statement_ = false;
  auto push = [&](Frame f, const char16_t* at) {
    if (depth_ == 0) outermost_at_ = at;
    if (depth_ < kMaxFrames) frames_[depth_] = f;
    ++depth_;
    if (f == kCatchFrame) ++catches_;
  };
  if (pending_begin_) {
    pending_begin_ = false;
    if (w == TsqlWord::kTry || w == TsqlWord::kCatch) {
      push(w == TsqlWord::kTry ? kTryFrame : kCatchFrame, begin_at_);
      consumed = true;
    } else if (w != TsqlWord::kTran && w != TsqlWord::kTransaction &&
               w != TsqlWord::kDistributed && w != TsqlWord::kDialog &&
               w != TsqlWord::kConversation) {
      push(kBlock, begin_at_);
      starts = true;
    }
  } else if (pending_end_) {
    pending_end_ = false;
    if (w != TsqlWord::kConversation && depth_ == 0 && unmatched_end_at_ == nullptr) {
      unmatched_end_at_ = end_at_;
    }
    if (w != TsqlWord::kConversation && depth_ > 0) {
      --depth_;
      if (depth_ < kMaxFrames && frames_[depth_] == kCatchFrame) --catches_;
      if (w == TsqlWord::kTry || w == TsqlWord::kCatch) {
        consumed = true;
      } else {
        starts = true;
      }
    }
  }
  t->paren = paren_;
  t->depth = depth_;
  t->catches = catches_;
  const bool in_case = depth_ > 0 && depth_ <= kMaxFrames && frames_[depth_ - 1] == kCaseFrame;
  const bool keyword = w != TsqlWord::kOther && w <= TsqlWord::kStatementLast;
  if (consumed) {
    expect_statement_ = true;
    form_ = kPlain;
  } else {
    if (starts) {
      // Where a statement must start, any word or name starts one: a
      // keyword, a CTE's WITH, a label, or a procedure called without EXEC.
      t->statement = kind == TsqlToken::kName ||
                     (kind == TsqlToken::kWord && (keyword || w == TsqlWord::kWith ||
                                                   w == TsqlWord::kOther));
    } else if (keyword && !binding_previous_ && paren_ == 0 && !in_case) {
      t->statement = !Continues(w);
    } else if (paren_ == 0) {
      Advance(kind, w, text);
    }
    if (t->statement) StartForm(w);
    if (kind == TsqlToken::kWord) {
      if (w == TsqlWord::kCase) {
        push(kCaseFrame, text);
      } else if (w == TsqlWord::kEnd) {
        if (in_case) {
          --depth_;  // the END of a CASE expression
          t->statement = false;
        } else {
          pending_end_ = true;
          end_at_ = text;
        }
      } else if (w == TsqlWord::kBegin && t->statement) {
        pending_begin_ = true;
        begin_at_ = text;
      } else if (w == TsqlWord::kElse && !in_case) {
        expect_statement_ = true;
      }
    } else if (kind == TsqlToken::kSymbol) {
      const char16_t c = text[0];
      if (c == u';') {
        expect_statement_ = true;
        form_ = kPlain;
      } else if (c == u'(') {
        ++paren_;
      } else if (c == u')' && paren_ > 0) {
        --paren_;
      } else if (c == u':' && !previous_colon_ && paren_ == 0) {
        expect_statement_ = true;  // the end of a label
      }
    }
  }
  binding_previous_ = Binds(*t);
  previous_word_ = kind == TsqlToken::kWord ? w : TsqlWord::kOther;
  previous_colon_ = IsSymbol(kind, text, u':');
}

const char16_t* TsqlReader::open_block_at() const {
  if (pending_end_) return depth_ > 1 ? outermost_at_ : nullptr;
  if (depth_ > 0) return outermost_at_;
  return pending_begin_ ? begin_at_ : nullptr;
}

std::u16string_view TsqlReader::open_block_word() const {
  if (depth_ == 0 || (pending_end_ && depth_ == 1)) return u"BEGIN";
  switch (frames_[0]) {
    case kTryFrame: return u"BEGIN TRY";
    case kCatchFrame: return u"BEGIN CATCH";
    case kCaseFrame: return u"CASE";
    default: return u"BEGIN";
  }
}

}  // namespace corvalen
