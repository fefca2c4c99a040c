// What the run's check after each group (Connection::CheckTransaction: the
// count, the identity and the mode in one round trip) costs on SQL Server's
// protocol: the real FreeTDS driver against the TDS test server over
// loopback. One script of 2,100 one-row INSERT pieces, sent with
// PiecesPerCall 1 (2,100 calls) and 21 (100 calls), with and without the
// check after each call. Reported: time per script; the difference between
// the two rows of one PiecesPerCall is the check's cost.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "db/odbc_connection.h"
#include "platform/utf.h"
#include "tests/tds/tds_test_server.h"

namespace corvalen {
namespace {

constexpr int kPieces = 2100;

void BM_TdsScript(benchmark::State& state) {
  const int pieces_per_call = static_cast<int>(state.range(0));
  const bool check = state.range(1) != 0;
  testing::TdsTestServer server;
  auto db = OpenOdbcConnection(Utf8ToUtf16(server.ConnectionString("NCM")), {});
  std::u16string call;
  for (int i = 0; i < pieces_per_call; ++i) call += u"INSERT INTO t VALUES (1)\r\n";
  for (auto _ : state) {
    db->BeginTrans();
    for (int sent = 0; sent < kPieces; sent += pieces_per_call) {
      db->Execute(call);
      if (check) benchmark::DoNotOptimize(db->CheckTransaction());
    }
    db->CommitTrans();
  }
  state.counters["calls"] = kPieces / pieces_per_call;
}
BENCHMARK(BM_TdsScript)
    ->ArgNames({"pieces_per_call", "check"})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({21, 0})
    ->Args({21, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvalen

BENCHMARK_MAIN();
