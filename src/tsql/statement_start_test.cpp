// The reader finds exactly the statement starts of generated batches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/utf.h"
#include "tsql/statement_generator.h"
#include "tsql/tsql_reader.h"

namespace corvalen {
namespace {

struct Starts {
  const char16_t* base;
  std::vector<size_t> at;
  void Token(const TsqlToken& t) {
    if (t.statement) at.push_back(static_cast<size_t>(t.text.data() - base));
  }
  void Comment(const char16_t*, const char16_t*) {}
};

// The text around `at`, for a failure's message.
std::string Around(const std::u16string& text, size_t at) {
  const size_t from = at > 60 ? at - 60 : 0;
  return Utf16ToUtf8(text.substr(from, at - from)) + "<<HERE>>" + Utf16ToUtf8(text.substr(at, 60));
}

TEST(StatementStartTest, TheReaderFindsEveryGeneratedStatementStart) {
  ASSERT_GE(StatementGenerator::FormCount(), 60u);
  StatementGenerator generator(20261208);
  size_t statements = 0;
  for (int script = 0; script < 10000; ++script) {
    const GeneratedBatch batch = generator.Batch(1 + script % 12);
    TsqlReader reader;
    Starts found{batch.text.data(), {}};
    reader.Read(batch.text, found);
    if (found.at != batch.starts) {
      size_t k = 0;
      while (k < found.at.size() && k < batch.starts.size() && found.at[k] == batch.starts[k]) ++k;
      const size_t at = k < batch.starts.size()
                            ? (k < found.at.size() ? std::min(found.at[k], batch.starts[k]) : batch.starts[k])
                            : found.at[k];
      FAIL() << "script " << script << ": the reader's starts differ at\n" << Around(batch.text, at);
    }
    for (size_t k = 0; k + 1 < batch.text.size(); ++k) {
      const bool line_start = k == 0 || batch.text[k - 1] == u'\n' || batch.text[k - 1] == u'\r';
      ASSERT_FALSE(line_start && (batch.text[k] | 0x20) == u'g' && (batch.text[k + 1] | 0x20) == u'o')
          << Around(batch.text, k);
    }
    statements += batch.starts.size();
  }
  RecordProperty("statement_starts", static_cast<int>(statements));
  EXPECT_GT(statements, 80000u);
}

}  // namespace
}  // namespace corvalen
