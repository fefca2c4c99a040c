// ObtenerListadoSql: the script catalogue.
#include <array>

#include "platform/folder_search.h"
#include "platform/numbered_error.h"
#include "platform/path.h"
#include "platform/version_info.h"
#include "update/mod_main.h"
#include "update/procedure.h"

namespace corvalen {
namespace {

// The six families in run order; the category word is also the entity name.
constexpr std::array<const char16_t*, 6> kFamilies = {
    u"CATALOGOS", u"INTERNOS", u"NCM", u"SYSTABLAS", u"HISTORIAL", u"PERSONAL"};

}  // namespace

bool IsScriptName(std::u16string_view name) {
  for (const char16_t* family : kFamilies) {
    if (WildcardMatch(std::u16string(family) + u"_*.sql", name)) return true;
  }
  return false;
}

std::vector<std::u16string> Categorias() { return {kFamilies.begin(), kFamilies.end()}; }

void ModMain::ObtenerListadoSql() {
  Procedure proc(kModuleModMain, u"ObtenerListadoSql");
  WithErrorHandler(
      [&] {
        int32_t n = 0;
        FolderSearch search;
        for (size_t family = 0; family < kFamilies.size(); ++family) {
          // Each family runs statements 10..100 with 100 added per family.
          const int32_t base = static_cast<int32_t>(family) * 100;
          const std::u16string categoria_familia = kFamilies[family];
          std::u16string pattern = CarpetaScripts;
          pattern += kPathSeparator;
          pattern += categoria_familia + u"_*.sql";

          proc.At(base + 10);
          // An unknown folder (ProgramFolder() found none) would make the
          // pattern "/CATALOGOS_*.sql": never search the root instead.
          if (CarpetaScripts.empty()) throw NumberedError(kErrPathNotFound);
          std::u16string archivo = search.First(pattern);
          for (;;) {
            proc.At(base + 20);
            if (archivo.empty()) break;
            proc.At(base + 30);
            std::u16string categoria = categoria_familia;
            proc.At(base + 40);
            if (n == INT32_MAX) throw NumberedError(kErrOverflow);
            ++n;
            proc.At(base + 50);
            ListadoSql.resize(static_cast<size_t>(n) + 1);
            proc.At(base + 60);
            ListadoSql[static_cast<size_t>(n)].Archivo = archivo;
            proc.At(base + 70);
            ListadoSql[static_cast<size_t>(n)].Categoria = categoria;
            proc.At(base + 80);
            archivo.clear();
            proc.At(base + 90);
            categoria.clear();
            proc.At(base + 100);
            archivo = search.Next();
          }
        }
      },
      [&](const NumberedError& error) {
        run_record.end_cause = proc.Report(error.description());
        MainWindow().MessageBox(run_record.end_cause, VersionTitle(), MessageIcon::kExclamation);
        MainWindow().EndProgram(EndReason::kFailure);
      });
}

}  // namespace corvalen
