// The reader finds exactly the statement starts of generated batches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/utf.h"
#include "tsql/statement_generator.h"

namespace corvalen {
namespace {

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
    const std::vector<size_t> found = ReadStatementStarts(batch.text);
    if (found != batch.starts) {
      size_t k = 0;
      while (k < found.size() && k < batch.starts.size() && found[k] == batch.starts[k]) ++k;
      const size_t at = k < batch.starts.size()
                            ? (k < found.size() ? std::min(found[k], batch.starts[k]) : batch.starts[k])
                            : found[k];
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
