// The program's one window, `Corvalen`: the list of scripts, the progress
// caption and bar, the status line, and the header with title and version.
// It owns the update module, starts the update run once when first activated
// (or first idle after being shown), and ends the program on Esc once the run
// has finished.
#ifndef CORVALEN_APP_CORVALEN_WINDOW_H_
#define CORVALEN_APP_CORVALEN_WINDOW_H_

#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/window_events.h"
#include "app/window_options.h"
#include "update/mod_main.h"
#include "update/procedure.h"
#include "update/run_window.h"

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QTimer;

namespace corvalen {

// A message box about to be shown, as the window's box hook sees it.
struct ShownBox {
  std::u16string text;   // the text as the program wrote it ("\r\n" line breaks)
  std::u16string title;
  MessageIcon icon;
  QMessageBox* box;      // the configured box, not yet shown
};

// Sees every message box before it is shown; returning true answers the box
// with OK without showing it. Used by tests.
using MessageBoxHook = std::function<bool(const ShownBox& shown)>;

class Corvalen : public QWidget, public RunWindow {
  Q_OBJECT

 public:
  // Builds the window and runs its Load handling (scripts folder, empty
  // catalogue, version label). `crear_componente` makes data-access
  // component instances for the update module.
  explicit Corvalen(ComponentFactory crear_componente, CorvalenOptions options = {});
  ~Corvalen() override;
  Corvalen(const Corvalen&) = delete;
  Corvalen& operator=(const Corvalen&) = delete;

  ModMain& module() { return module_; }
  void SetMessageBoxHook(MessageBoxHook hook) { box_hook_ = std::move(hook); }

  // Whether the Activate handling has started (it starts once).
  bool run_started() const { return events_.activated(); }
  // Whether the Activate handling is still going on.
  bool running() const { return events_.running(); }
  // Whether the program has ended; then exit_code() is what the event loop returns.
  bool ended() const { return events_.ended(); }
  std::optional<int> exit_code() const { return events_.exit_code(); }

  // ---- RunWindow ----
  void ListClear() override;
  void ListAddItem(const std::u16string& text) override;
  int32_t ListCount() const override;
  std::u16string ListItem(int16_t index) const override;
  void SetListItem(int16_t index, const std::u16string& text) override;
  // Keeps the line's text here and shows it on the list at most once per
  // kListRefreshMs: laying a long line out again for every mark would make a
  // script's cost grow with the square of its groups.
  void AppendToListItem(int16_t index, std::u16string_view piece) override;
  void SetListIndex(int16_t index) override;
  void SetStatusPrgCaption(const std::u16string& text) override;
  void SetStatusCaption(const std::u16string& text) override;
  void SetProgressMax(float maximum) override;
  void SetProgressValue(float value) override;
  void MessageBox(const std::u16string& text, const std::u16string& title,
                  MessageIcon icon) override;
  void ClipboardClear() override;
  void ClipboardSetText(const std::u16string& text) override;
  // Processes pending events once; an Esc that asked to end the program
  // meanwhile ends it here.
  void DoEvents() override;
  void Pause(int32_t milliseconds) override;
  [[noreturn]] void EndProgram(EndReason reason) override;

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Sees key releases of the window and its controls before the controls do.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  // Widens the version label to its text, within the header frame.
  void FitVersionLabel();
  // Starts the Activate handling unless it has started already.
  void Activate();
  // Shows on the list every line whose text changed since it was last shown.
  void RefreshLines();

  ModMain module_;
  CorvalenOptions options_;
  WindowEvents events_;
  MessageBoxHook box_hook_;

  QProgressBar* prgbar_ = nullptr;
  QListWidget* list1_ = nullptr;
  QLineEdit* text2_ = nullptr;
  QPushButton* cmd_actualizar_ = nullptr;
  QLineEdit* text1_ = nullptr;
  QLabel* lbl_status_ = nullptr;
  QLabel* lbl_status_prg_ = nullptr;
  QLabel* lbl_app_ver_ = nullptr;
  QLabel* label2_ = nullptr;
  QLabel* label1_ = nullptr;
  QFrame* shp1_ = nullptr;

  // The text of every line of List1, which may be ahead of what the list
  // shows until the next refresh.
  std::vector<std::u16string> lines_;
  std::vector<int32_t> stale_lines_;
  QTimer* refresh_timer_ = nullptr;

  float progress_max_ = 100;
  float progress_value_ = 0;
};

}  // namespace corvalen

#endif  // CORVALEN_APP_CORVALEN_WINDOW_H_
