// Random T-SQL batches that know where each of their statements starts: the
// proof that the reader's statement grammar (tsql_reader.h) is T-SQL's and
// not a list of examples. Used by the tests (a fixed seed) and the
// benchmark (a random one).
#ifndef CORVALEN_TSQL_STATEMENT_GENERATOR_H_
#define CORVALEN_TSQL_STATEMENT_GENERATOR_H_

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace corvalen {

struct GeneratedBatch {
  std::u16string text;
  // Where the reader must see a statement start (TsqlToken::statement), in
  // text order: each statement's first token, and the BEGIN, END and ELSE
  // of blocks and IF.
  std::vector<size_t> starts;
};

// Where TsqlReader sees a statement start in `text`, in text order: what
// GeneratedBatch::starts is compared with.
std::vector<size_t> ReadStatementStarts(std::u16string_view text);

class StatementGenerator {
 public:
  explicit StatementGenerator(uint64_t seed) : random_(seed) {}
  StatementGenerator(const StatementGenerator&) = delete;
  StatementGenerator& operator=(const StatementGenerator&) = delete;

  // A batch of `statements` top-level statements drawn from every form,
  // joined with and without ';' where T-SQL allows both; comments, strings,
  // quoted names and line breaks wherever a blank may stand, and no line
  // that begins with the letters "go".
  GeneratedBatch Batch(int statements);

  // How many statement forms the generator draws from.
  static size_t FormCount();

 private:
  // Where a statement stands: first in the batch, first in a block or a
  // body (nothing to join to), or after another statement.
  enum Place { kBatchStart, kBlockStart, kAfter };
  void Statement(int depth, Place place, bool simple_only);
  void Template(const char* pattern, int depth);
  void Token(std::u16string_view token, bool start);
  void Separator();
  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }

  std::mt19937_64 random_;
  GeneratedBatch batch_;
  bool needs_semicolon_ = false;  // the statement before must be ended by ';'
};

}  // namespace corvalen

#endif  // CORVALEN_TSQL_STATEMENT_GENERATOR_H_
