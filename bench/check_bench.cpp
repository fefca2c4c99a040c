// --check's speed and peak memory: on a realistic corpus (typical update
// scripts, and batches of the statement generator with a random seed, whose
// statement starts the reader must find), and on hostile inputs (deep
// nesting, a million BEGIN, long lines, many unclosed strings, GO lines
// alone, a million distinct variables). Each input is checked in a process
// of its own, so that its peak resident memory above the process's baseline
// is its own; the bound is 3 times the file plus the run's index of pieces
// (16 bytes a piece).
//
//   check_bench            all inputs, a table of MB/s and memory; exit 1 on a miss
//   check_bench --one F    (internal) one file: "<MB/s> <peak bytes> <pieces>"
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "check/script_check.h"
#include "platform/utf.h"
#include "tsql/script_text.h"
#include "tsql/statement_generator.h"

namespace corvalen {
namespace {

constexpr size_t kFileBytes = 32u << 20;

long PeakBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss * 1024L;
}

int MeasureOne(const char* file) {
  const std::u16string path = Utf8ToUtf16(file);
  const long baseline = PeakBytes();
  double best = 1e9;
  size_t pieces = 0;
  for (int k = 0; k < 3; ++k) {
    const auto start = std::chrono::steady_clock::now();
    const ScriptCheck check = CheckScript(path);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
    pieces = check.pieces;
  }
  const double megabytes = static_cast<double>(std::filesystem::file_size(file)) / (1 << 20);
  std::printf("%.1f %ld %zu\n", megabytes / best, PeakBytes() - baseline, pieces);
  return 0;
}

// Writes `unit()` until the file holds about kFileBytes, then `tail`.
void WriteFile(const std::filesystem::path& path, const std::function<std::string()>& unit,
               const std::string& tail = "\r\nGO\r\n") {
  std::ofstream out(path, std::ios::binary);
  size_t written = 0;
  while (written < kFileBytes) {
    const std::string u = unit();
    out << u;
    written += u.size();
  }
  out << tail;
}

// Generated batches joined by GO lines; every batch's starts checked.
size_t WriteGenerated(const std::filesystem::path& path, uint64_t seed, size_t* batches) {
  StatementGenerator generator(seed);
  size_t statements = 0, misses = 0;
  *batches = 0;
  WriteFile(path, [&] {
    const GeneratedBatch batch = generator.Batch(1 + static_cast<int>(*batches % 12));
    ++*batches;
    if (ReadStatementStarts(batch.text) != batch.starts) ++misses;
    statements += batch.starts.size();
    return Utf16ToUtf8(batch.text) + "\r\nGO\r\n";
  }, "");
  if (misses > 0) std::printf("generator seed %llu: %zu batches read with other starts\n",
                              static_cast<unsigned long long>(seed), misses);
  return misses == 0 ? statements : 0;
}

int RunAll(const char* self) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "corvalen_check_bench";
  std::filesystem::create_directories(dir);
  std::mt19937_64 random(std::random_device{}());
  const uint64_t seed = random();
  size_t batches = 0;
  const size_t statements = WriteGenerated(dir / "generated.sql", seed, &batches);
  std::printf("generator: %zu forms, seed %llu, %zu batches, %zu statement starts found\n",
              StatementGenerator::FormCount(), static_cast<unsigned long long>(seed), batches,
              statements);
  size_t n = 0;
  WriteFile(dir / "typical.sql", [&] {
    ++n;
    const std::string id = std::to_string(n);
    std::string s = "-- Precio " + id +
                    "\r\nINSERT INTO dbo.Precios (Id, Articulo, Importe, Alta) VALUES (" + id +
                    ", N'Artículo " + id + "', 12.50, '2026-12-08');\r\n" +
                    "UPDATE dbo.Articulos SET Precio = 12.50 WHERE Id = " + id + ";\r\n";
    if (n % 20 == 0) s += "GO\r\n";
    return s;
  });
  WriteFile(dir / "deep_parens.sql", [] { return std::string(4096, '('); });
  WriteFile(dir / "million_begin.sql", [] { return std::string("BEGIN\r\n"); });
  WriteFile(dir / "deep_case.sql", [] { return std::string("CASE "); });
  WriteFile(dir / "long_line.sql", [] { return std::string("a+"); }, "1\r\nGO\r\n");
  WriteFile(dir / "unclosed_strings.sql", [] { return std::string("x'\r\nGO\r\n"); });
  WriteFile(dir / "go_lines.sql", [] { return std::string("GO\r\n"); });
  size_t v = 0;
  WriteFile(dir / "declarations.sql",
            [&] { return "DECLARE @v" + std::to_string(v++) + " INT\r\n"; });
  bool ok = statements > 0;
  std::printf("%-22s %10s %14s %10s\n", "input", "MB/s", "peak/file", "bound/file");
  for (const char* name : {"typical.sql", "generated.sql", "deep_parens.sql", "million_begin.sql",
                           "deep_case.sql", "long_line.sql", "unclosed_strings.sql",
                           "go_lines.sql", "declarations.sql"}) {
    const std::filesystem::path file = dir / name;
    const std::string command = std::string(self) + " --one " + file.string();
    FILE* pipe = popen(command.c_str(), "r");
    double speed = 0;
    long peak = 0;
    size_t pieces = 0;
    if (pipe == nullptr || std::fscanf(pipe, "%lf %ld %zu", &speed, &peak, &pieces) != 3) {
      ok = false;
    }
    if (pipe != nullptr) pclose(pipe);
    const double size = static_cast<double>(std::filesystem::file_size(file));
    const double bound = 3 * size + 16.0 * static_cast<double>(pieces);
    // The speed bar is for realistic scripts; the generator's batches pack a
    // comment, string or quoted name every few characters.
    const bool fits = peak <= bound && (std::string(name) != "typical.sql" || speed >= 100);
    ok = ok && fits;
    std::printf("%-22s %10.1f %14.2f %10.2f%s\n", name, speed, peak / size, bound / size,
                fits ? "" : "  <- over");
  }
  std::filesystem::remove_all(dir);
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace corvalen

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--one") return corvalen::MeasureOne(argv[2]);
  return corvalen::RunAll(argv[0]);
}
