#include "app/form_window.h"

#include <utility>

#include "app/corvalen_form.h"

namespace corvalen {

FormWindow::FormWindow(ComponentFactory crear_componente, CorvalenOptions options,
                       std::function<void(int)> quit)
    : ScreenModel(form::kProgressMaxAtStart),
      module_(*this, std::move(crear_componente)),
      options_(std::move(options)),
      events_(module_, *this, options_, std::move(quit)) {
  if (!options_.config_path.empty()) module_.ConfigPathOverride = options_.config_path;
}

void FormWindow::MessageBox(const std::u16string& text, const std::u16string& title,
                            MessageIcon icon) {
  RefreshLines();
  if (box_hook_ && box_hook_(BoxRequest{text, title, icon})) return;
  ShowMessageBox(text, title, icon);
}

void FormWindow::DoEvents() {
  ProcessEvents();
  events_.AfterEvents();
}

void FormWindow::Pause(int32_t milliseconds) {
  RefreshLines();
  if (milliseconds > 0) Wait(milliseconds);
}

}  // namespace corvalen
