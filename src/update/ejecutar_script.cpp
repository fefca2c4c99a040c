// EjecutarScript: one script file, cut at GO lines and sent in groups.
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ansi_file.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "text/string_builder.h"
#include "update/mod_main.h"
#include "update/procedure.h"
#include "update/script_text.h"

namespace corvalen {
namespace {

constexpr char16_t kMark[] = u"\u2022";  // the progress mark "•"
constexpr char16_t kFailureTitle[] = u"\u00A1Atencion!";

}  // namespace

bool ModMain::EjecutarScript(const std::u16string& RutaScript, int32_t IndiceLista) {
  Procedure proc(kModuleModMain, u"EjecutarScript");
  // The piece index and the group text are what the failure report shows.
  // The index is 32-bit: a script may have more than 32,767 pieces.
  int32_t i = 0;
  std::u16string sql;

  auto send = [&](int32_t first_statement) {
    proc.At(first_statement);
    AppendToListLine(MainWindow(), IndiceLista, kMark);
    proc.At(first_statement + 10);
    Required(oConexion).Execute(sql);
    proc.At(first_statement + 20);
    AppendToListLine(MainWindow(), IndiceLista, kMark);
  };

  return WithErrorHandler(
      [&]() -> bool {
        proc.At(10);
        auto builder = std::make_unique<clsStringBuilder>();
        proc.At(20);  // the file handle is the reader itself
        proc.At(30);
        LineInput file(RutaScript);
        std::u16string line;
        for (;;) {
          proc.At(40);
          if (file.AtEnd()) break;
          proc.At(50);
          file.ReadLine(&line);
          proc.At(60);
          line += u"\r\n";
          builder->Append(line);
          proc.At(70);
        }
        proc.At(80);
        std::u16string texto = builder->ToString();
        // Nothing reads the builder again; giving its block up now keeps the
        // text in memory once rather than twice for the rest of the call.
        builder.reset();
        line = std::u16string();

        // Statements 90 to 170 normalise the separators and 180 cuts the
        // text at them; both are done in one pass that leaves the text as it
        // is and returns the pieces as views into it.
        proc.At(90);
        const std::vector<std::u16string_view> piezas = CutIntoPieces(texto);
        proc.At(200);
        if (piezas.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
          throw NumberedError(kErrOverflow);
        }
        const int32_t ultima = static_cast<int32_t>(piezas.size()) - 2;
        proc.At(210);
        sql.clear();
        // Where the groups close: after 21 pieces, and around every piece
        // that creates a routine or a view (see GroupPieces).
        proc.At(220);
        const std::vector<PieceGroup> grupos = GroupPieces(piezas);

        for (const PieceGroup& grupo : grupos) {
          for (size_t k = grupo.first; k <= grupo.last; ++k) {
            i = static_cast<int32_t>(k);
            proc.At(230);
            sql += piezas[k];
            sql += u"\r\n";
          }
          // The group left over after the walk is reported one past the
          // last piece to run.
          if (grupo.after_walk) i = ultima + 1;
          const int32_t first_statement = grupo.after_walk ? 350 : 280;
          send(first_statement);
          proc.At(first_statement + 30);
          sql.clear();
          proc.At(first_statement + 40);
          MainWindow().DoEvents();
        }

        proc.At(410);
        file.Close();
        proc.At(420);
        const bool result = true;
        proc.At(430);
        builder.reset();
        return result;
      },
      [&](const NumberedError& error) -> bool {
        // Each step's own failure is kept apart: the report always shows the
        // script's failure, and the program always ends without committing.
        std::u16string text = WithRollbackOutcome(error.description());  // 470
        // 480
        text += u" Actualizaci\u00F3n Cancelada. Script: ";
        text += RutaScript;
        text += u" - Linea: ";
        text += ToDecimal(i);
        text += sql;
        Attempt([&] { MainWindow().MessageBox(text, kFailureTitle, MessageIcon::kCritical); });
        Attempt([&] { MainWindow().ClipboardClear(); });        // 490
        Attempt([&] { MainWindow().ClipboardSetText(sql); });   // 500
        MainWindow().EndProgram(EndReason::kScriptFailed);      // 510
        return false;  // not reached: EndProgram never returns
      });
}

}  // namespace corvalen
