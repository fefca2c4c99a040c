// Throughput and peak memory of EjecutarScript on large generated scripts:
// reading and decoding (Windows-1252), the string builder, normalising the
// separators, cutting into pieces, the look-ahead and grouping. The database
// and the window do nothing, so what is measured is the function's own work.
//
// Each script has lines of about 50 bytes with accented letters, a GO line
// after every 9 statement lines, and a CREATE PROCEDURE piece every 500
// pieces. Reported: input MB/s, peak resident memory of the call (MB) and its
// ratio to the file's size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/connection.h"
#include "platform/ansi_file.h"
#include "platform/utf.h"
#include "update/mod_main.h"
#include "update/run_window.h"
#include "check/script_check.h"
#include "tsql/script_reader.h"
#include "tsql/script_text.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;

class NullConnection : public Connection {
 public:
  int32_t BeginTrans() override { return 1; }
  void CommitTrans() override {}
  void RollbackTrans() override {}
  void Execute(const std::u16string& text) override { bytes_sent += text.size(); }
  size_t bytes_sent = 0;
};

class NullWindow : public RunWindow {
 public:
  void ListClear() override {}
  void ListAddItem(const std::u16string&) override {}
  void AppendToListItem(int16_t, std::u16string_view) override {}
  void ScriptEnded(int16_t) override {}
  void SetListIndex(int16_t) override {}
  void SetStatusPrgCaption(const std::u16string&) override {}
  void SetStatusCaption(const std::u16string&) override {}
  void SetProgressMax(float) override {}
  void SetProgressValue(float) override {}
  void MessageBox(const std::u16string& text, const std::u16string&, MessageIcon) override {
    std::fprintf(stderr, "%s\n", Utf16ToUtf8(text).c_str());
  }
  void ClipboardClear() override {}
  void ClipboardSetText(const std::u16string&) override {}
  void DoEvents() override {}
  void Pause(int32_t) override {}
  [[noreturn]] void EndProgram(EndReason reason) override { throw ProgramEnded{reason}; }
};

// Writes a script of about `megabytes` MiB; `separator` is the GO line's text.
void WriteScript(const fs::path& path, int64_t megabytes, const std::string& separator) {
  const int64_t target = megabytes << 20;
  std::ofstream out(path, std::ios::binary);
  std::string buffer;
  int64_t written = 0;
  for (int64_t piece = 0; written < target; ++piece) {
    if (piece % 500 == 499) {
      buffer += "CREATE PROCEDURE dbo.proc_" + std::to_string(piece) + " AS\r\nBEGIN\r\n";
      for (int k = 0; k < 6; ++k) buffer += "  UPDATE cuentas SET saldo = saldo + 1 WHERE id = 7;\r\n";
      buffer += "END\r\n";
    } else {
      for (int k = 0; k < 9; ++k) {
        // 1252 bytes: e9 = é, f1 = ñ, 80 = €.
        buffer += "INSERT INTO clientes VALUES (" + std::to_string(piece * 10 + k) +
                  ", 'Pe\xf1" "alosa Jos\xe9', 12.5, '\x80');\r\n";
      }
    }
    buffer += separator + "\r\n";
    if (buffer.size() > (1 << 20)) {
      out << buffer;
      written += static_cast<int64_t>(buffer.size());
      buffer.clear();
    }
  }
  out << buffer;
}

// A script shaped like real update scripts, of about `megabytes` MiB, in
// Windows-1252: stored procedures with long bodies (blocks, TRY/CATCH, CASE,
// variables, comments, N'...' strings with accents), table changes followed
// by updates, and data pieces; a GO line every few lines.
void WriteRealisticScript(const fs::path& path, int64_t megabytes) {
  const int64_t target = megabytes << 20;
  std::ofstream out(path, std::ios::binary);
  std::string b;
  int64_t written = 0;
  for (int64_t n = 0; written < target; ++n) {
    const std::string id = std::to_string(n);
    switch (n % 4) {
      case 0:
        b += "/* Procedimiento de cierre " + id + "\r\n   Autor: Jos\xe9 Pe\xf1" "a\r\n"
             "   Cambios: versi\xf3n inicial */\r\n"
             "CREATE PROCEDURE dbo.cerrar_periodo_" + id + " @desde date, @hasta date AS\r\n"
             "BEGIN\r\n  SET NOCOUNT ON;\r\n  DECLARE @total money = 0, @filas int;\r\n"
             "  BEGIN TRY\r\n    BEGIN TRAN;\r\n";
        for (int k = 0; k < 12; ++k) {
          b += "    UPDATE dbo.movimientos SET estado = CASE WHEN importe > 0 THEN 'C' ELSE 'D' "
               "END, nota = N'Cierre autom\xe1tico ''" + std::to_string(k) + "''' -- revisar\r\n"
               "     WHERE fecha BETWEEN @desde AND @hasta AND [tipo de cuenta] = " +
               std::to_string(k) + ";\r\n";
        }
        b += "    SELECT @total = SUM(importe), @filas = COUNT(*) FROM dbo.movimientos;\r\n"
             "    COMMIT;\r\n  END TRY\r\n  BEGIN CATCH\r\n    IF @@TRANCOUNT > 0 ROLLBACK;\r\n"
             "    THROW;\r\n  END CATCH\r\nEND\r\nGO\r\n";
        break;
      case 1:
        b += "IF COL_LENGTH('dbo.clientes', 'saldo_" + id + "') IS NULL\r\n"
             "  ALTER TABLE dbo.clientes ADD saldo_" + id + " money NOT NULL DEFAULT 0;\r\nGO\r\n"
             "UPDATE dbo.clientes SET saldo_" + id + " = 0 WHERE activo = 1; -- inicial\r\nGO\r\n";
        break;
      default:
        for (int k = 0; k < 6; ++k) {
          b += "INSERT INTO dbo.clientes (id, nombre, ciudad) VALUES (" + id + std::to_string(k) +
               ", N'Pe\xf1" "alosa Jos\xe9 ''El Se\xf1or''', 'M\xe1laga'); /* alta */\r\n";
          if (k % 3 == 2) b += "GO\r\n";
        }
        break;
    }
    if (b.size() > (1 << 20)) {
      out << b;
      written += static_cast<int64_t>(b.size());
      b.clear();
    }
  }
  out << b;
}

// Scripts are generated once per size and separator and removed at exit.
const fs::path& Script(int64_t megabytes, const std::string& separator) {
  struct Files {
    std::map<std::string, fs::path> paths;
    ~Files() {
      for (auto& entry : paths) {
        std::error_code ec;
        fs::remove(entry.second, ec);
      }
    }
  };
  static Files files;
  const std::string key = std::to_string(megabytes) + separator;
  auto it = files.paths.find(key);
  if (it == files.paths.end()) {
    fs::path path = fs::temp_directory_path() /
                    ("corvalen-bench-" + std::to_string(getpid()) + "-" + key + ".sql");
    if (separator == "real") {
      WriteRealisticScript(path, megabytes);
    } else {
      WriteScript(path, megabytes, separator);
    }
    it = files.paths.emplace(key, path).first;
  }
  return it->second;
}

// Peak resident set since the last reset, in bytes (Linux).
void ResetPeakResident() {
  std::ofstream("/proc/self/clear_refs") << "5";
}
int64_t PeakResident() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmHWM:") {
      int64_t kilobytes = 0;
      status >> kilobytes;
      return kilobytes * 1024;
    }
    std::string rest;
    std::getline(status, rest);
  }
  return 0;
}

void BM_EjecutarScript(benchmark::State& state) {
  const int64_t megabytes = state.range(0);
  const std::string separator = state.range(1) == 0 ? "GO" : "go";
  const fs::path& path = Script(megabytes, separator);
  const int64_t file_size = static_cast<int64_t>(fs::file_size(path));
  const std::u16string ruta = Utf8ToUtf16(path.string());

  NullWindow window;
  int64_t peak = 0;
  size_t sent = 0;
  // One untimed pass first: the first touch of memory the process has never
  // used is paid once per process (on a fresh virtual machine it costs more
  // than the work itself) and would otherwise be charged to whichever size
  // runs first.
  {
    ModMain module(window, nullptr);
    module.oConexion = std::make_shared<NullConnection>();
    module.EjecutarScript(ruta, 0);
  }
  for (auto _ : state) {
    ModMain module(window, nullptr);
    auto connection = std::make_shared<NullConnection>();
    module.oConexion = connection;
    ResetPeakResident();
    const int64_t before = PeakResident();
    bool ok = module.EjecutarScript(ruta, 0);
    benchmark::DoNotOptimize(ok);
    peak = std::max(peak, PeakResident() - before);
    sent = connection->bytes_sent;
  }
  state.SetBytesProcessed(state.iterations() * file_size);
  state.counters["file_MB"] = static_cast<double>(file_size) / (1 << 20);
  state.counters["peak_MB"] = static_cast<double>(peak) / (1 << 20);
  state.counters["peak_per_file"] = static_cast<double>(peak) / static_cast<double>(file_size);
  state.counters["sent_MB"] = static_cast<double>(sent * 2) / (1 << 20);
}

// {size in MiB, 0 = "GO" separators, 1 = "go" separators (every one replaced)}
BENCHMARK(BM_EjecutarScript)
    ->Args({10, 0})
    ->Args({100, 0})
    ->Args({100, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The same steps without the string builder and its copy: the lines go into
// one text buffer that is reused between iterations, so this shows what the
// reading, decoding, cutting, look-ahead and grouping cost on their own.
void BM_ReadCutAndGroupWithoutBuilder(benchmark::State& state) {
  const int64_t megabytes = state.range(0);
  const fs::path& path = Script(megabytes, "GO");
  const int64_t file_size = static_cast<int64_t>(fs::file_size(path));
  const std::u16string ruta = Utf8ToUtf16(path.string());
  // Room for the whole text, touched once before the timing starts.
  std::u16string texto(static_cast<size_t>(file_size) + (1 << 20), u' ');
  std::u16string sql;
  for (auto _ : state) {
    texto.clear();
    LineInput file(ruta);
    std::u16string line;
    while (!file.AtEnd()) {
      file.ReadLine(&line);
      texto += line;
      texto += u"\r\n";
    }
    const std::vector<std::u16string_view> piezas = CutIntoPieces(texto);
    size_t sent = 0;
    for (const PieceGroup& group : GroupPieces(piezas)) {
      for (size_t k = group.first; k <= group.last; ++k) {
        sql += piezas[k];
        sql += u"\r\n";
      }
      sent += sql.size();
      sql.clear();
    }
    benchmark::DoNotOptimize(sent);
  }
  state.SetBytesProcessed(state.iterations() * file_size);
}

BENCHMARK(BM_ReadCutAndGroupWithoutBuilder)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The run's own reading and cutting (what --check shares with it), then
// --check on the same script: its speed must stay at least half of this.
void BM_ReadAndCut(benchmark::State& state) {
  const fs::path& path = Script(state.range(0), "GO");
  const std::u16string ruta = Utf8ToUtf16(path.string());
  for (auto _ : state) {
    const std::u16string texto = ReadScriptText(ruta);
    const std::vector<std::u16string_view> piezas = CutIntoPieces(texto);
    benchmark::DoNotOptimize(GroupPieces(piezas).size());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(path)));
}
BENCHMARK(BM_ReadAndCut)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);

// --check on a script: MB/s of the file, and the peak resident memory it
// adds in proportion to the file's size. {size in MiB, 0 = the script above,
// 1 = the realistic one}.
void BM_CheckScript(benchmark::State& state) {
  const fs::path& path = Script(state.range(0), state.range(1) == 0 ? "GO" : "real");
  const int64_t file_size = static_cast<int64_t>(fs::file_size(path));
  const std::u16string ruta = Utf8ToUtf16(path.string());
  size_t findings = 0;
  int64_t peak = 0;
  CheckScript(ruta);  // first touch of the memory, untimed
  for (auto _ : state) {
    ResetPeakResident();
    const int64_t before = PeakResident();
    const ScriptCheck check = CheckScript(ruta);
    findings = check.findings.size();
    benchmark::DoNotOptimize(check.groups.size());
    peak = std::max(peak, PeakResident() - before);
  }
  state.SetBytesProcessed(state.iterations() * file_size);
  state.counters["findings"] = static_cast<double>(findings);
  state.counters["peak_per_file"] = static_cast<double>(peak) / static_cast<double>(file_size);
}
BENCHMARK(BM_CheckScript)->Args({100, 0})->Args({100, 1})->Unit(benchmark::kMillisecond)->Iterations(3);

// The run on the realistic script: reading, cutting, grouping, and the
// check that no call ends inside a comment or a string.
void BM_EjecutarRealisticScript(benchmark::State& state) {
  const fs::path& path = Script(state.range(0), "real");
  const std::u16string ruta = Utf8ToUtf16(path.string());
  NullWindow window;
  for (auto _ : state) {
    ModMain module(window, nullptr);
    module.oConexion = std::make_shared<NullConnection>();
    benchmark::DoNotOptimize(module.EjecutarScript(ruta, 0));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(path)));
}
BENCHMARK(BM_EjecutarRealisticScript)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace corvalen

BENCHMARK_MAIN();
