// Assembling a long script text line by line: clsStringBuilder (one Append
// per line, ToString once) against std::u16string += (the text used where it
// was built), and against std::u16string += followed by one copy of the text
// (the same hand-out that ToString makes).
//
// The script size is counted in characters of the file (one byte each in the
// ANSI file, two in UTF-16): the 100 MB case assembles 200 MB of UTF-16.
// Time comes from Google Benchmark; peak memory from a child process that
// runs the same case once and reports its maximum resident set size less that
// of an idle child (counters peak_MB, and append_peak_MB before the text is
// handed out). append_ms times the appending alone.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "text/string_builder.h"

namespace {

// 97 lines of 50 to 70 characters, CR LF included, repeated as needed.
const std::vector<std::u16string>& Lines() {
  static const std::vector<std::u16string> lines = [] {
    std::vector<std::u16string> out;
    const std::u16string filler = u"abcdefghijklmnopqrstuvwxyz0123456789";
    for (int i = 0; i < 97; ++i) {
      std::u16string line = u"INSERT INTO t VALUES (" +
                            std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) +
                            u", '";
      size_t want = 48 + static_cast<size_t>(i * 7 % 21);  // 48 .. 68 + CR LF
      while (line.size() + 3 < want) line += filler[line.size() % filler.size()];
      line += u"');";
      line += u"\r\n";
      out.push_back(std::move(line));
    }
    return out;
  }();
  return lines;
}

// Calls `sink` with successive lines until `chars` characters are passed;
// returns the number of lines.
template <typename Sink>
int64_t Feed(size_t chars, Sink&& sink) {
  const auto& lines = Lines();
  size_t total = 0;
  int64_t n = 0;
  while (total < chars) {
    const std::u16string& line = lines[static_cast<size_t>(n) % lines.size()];
    sink(line);
    total += line.size();
    ++n;
  }
  return n;
}

size_t CharsFor(const benchmark::State& state) {
  return static_cast<size_t>(state.range(0)) * 1000 * 1000;
}

std::u16string WithBuilder(size_t chars, int64_t* lines,
                           void (*after_append)() = nullptr) {
  corvalen::clsStringBuilder sb;
  *lines = Feed(chars, [&](const std::u16string& line) { sb.Append(line); });
  if (after_append != nullptr) after_append();
  return sb.ToString();
}

std::u16string WithString(size_t chars, int64_t* lines,
                          void (*after_append)() = nullptr) {
  std::u16string text;
  *lines = Feed(chars, [&](const std::u16string& line) { text += line; });
  if (after_append != nullptr) after_append();
  return text;
}

// The std::u16string text handed out as a copy, as ToString hands out the
// builder's content: the same final copy on top of the += growth.
std::u16string WithStringCopy(size_t chars, int64_t* lines,
                              void (*after_append)() = nullptr) {
  std::u16string text = WithString(chars, lines, after_append);
  std::u16string copy(text);
  benchmark::DoNotOptimize(text.data());
  return copy;
}

long MaxRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

long g_append_peak_kb = 0;
void NoteAppendPeak() { g_append_peak_kb = MaxRssKb(); }

using Clock = std::chrono::steady_clock;
Clock::time_point g_append_done;
void NoteAppendDone() { g_append_done = Clock::now(); }

struct Peak {
  double append_mb = 0;
  double total_mb = 0;
};

// Runs `build(chars)` once in a child process; `build` null measures an idle
// child, the baseline subtracted from the others.
Peak PeakOf(std::u16string (*build)(size_t, int64_t*, void (*)()),
            size_t chars) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    long peaks[2] = {0, 0};
    if (build != nullptr) {
      int64_t lines = 0;
      std::u16string text = build(chars, &lines, &NoteAppendPeak);
      benchmark::DoNotOptimize(text.data());
      peaks[0] = g_append_peak_kb;
    }
    peaks[1] = MaxRssKb();
    if (build == nullptr) peaks[0] = peaks[1];
    ssize_t written = write(fds[1], peaks, sizeof peaks);
    _exit(written == sizeof peaks ? 0 : 1);
  }
  close(fds[1]);
  long peaks[2] = {0, 0};
  ssize_t got = read(fds[0], peaks, sizeof peaks);
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  if (got != sizeof peaks) return {};
  return {peaks[0] / 1024.0, peaks[1] / 1024.0};
}

using Build = std::u16string (*)(size_t, int64_t*, void (*)());

const int64_t kSizes[] = {10, 100};  // script sizes in millions of characters

// Peaks are measured before any benchmark runs, in children of a process
// whose heap is still clean: a parent that has already freed large blocks
// would hand its children resident pages that hide part of the peak.
struct PeakTable {
  Peak builder[2];
  Peak string[2];
  Peak string_copy[2];
};
PeakTable g_peaks;

void MeasurePeaks() {
  Lines();
  double idle = PeakOf(nullptr, 0).total_mb;
  for (int i = 0; i < 2; ++i) {
    size_t chars = static_cast<size_t>(kSizes[i]) * 1000 * 1000;
    for (auto [table, build] : {std::pair{g_peaks.builder, Build{&WithBuilder}},
                                {g_peaks.string, Build{&WithString}},
                                {g_peaks.string_copy, Build{&WithStringCopy}}}) {
      Peak p = PeakOf(build, chars);
      table[i] = {p.append_mb - idle, p.total_mb - idle};
    }
  }
}

void Run(benchmark::State& state, Build build, const Peak* peaks) {
  const size_t chars = CharsFor(state);
  int64_t lines = 0;
  double append_seconds = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    std::u16string text = build(chars, &lines, &NoteAppendDone);
    append_seconds += std::chrono::duration<double>(g_append_done - start).count();
    benchmark::DoNotOptimize(text.data());
    benchmark::ClobberMemory();
  }
  // The appending alone, before the text is handed out: its time per line
  // stays flat from 10 to 100 MB when Append is amortized constant time.
  const double per_iteration = append_seconds / static_cast<double>(state.iterations());
  state.counters["append_ms"] = per_iteration * 1e3;
  state.counters["append_ns_per_line"] = per_iteration * 1e9 / static_cast<double>(lines);
  const Peak& peak = peaks[state.range(0) == kSizes[0] ? 0 : 1];
  state.SetItemsProcessed(state.iterations() * lines);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(chars) * 2);
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["append_peak_MB"] = peak.append_mb;
  state.counters["peak_MB"] = peak.total_mb;
  state.counters["text_MB"] = static_cast<double>(chars) * 2 / (1024.0 * 1024.0);
}

void BM_Builder(benchmark::State& state) {
  Run(state, &WithBuilder, g_peaks.builder);
}
void BM_U16String(benchmark::State& state) {
  Run(state, &WithString, g_peaks.string);
}
void BM_U16StringCopy(benchmark::State& state) {
  Run(state, &WithStringCopy, g_peaks.string_copy);
}

BENCHMARK(BM_Builder)->Arg(kSizes[0])->Arg(kSizes[1])
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_U16String)->Arg(kSizes[0])->Arg(kSizes[1])
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_U16StringCopy)->Arg(kSizes[0])->Arg(kSizes[1])
    ->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  MeasurePeaks();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
