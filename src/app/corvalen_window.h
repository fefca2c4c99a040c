// The program's one window, `Corvalen`: the list of scripts, the progress
// caption and bar, the status line, and the header with title and version.
// It owns the update module, starts the update run once when first activated
// (or first idle after being shown), and ends the program on Esc once the run
// has finished.
#ifndef CORVALEN_APP_CORVALEN_WINDOW_H_
#define CORVALEN_APP_CORVALEN_WINDOW_H_

#include <QWidget>
#include <string>

#include "app/form_window.h"

class QFrame;
class QLabel;
class QListWidget;
class QProgressBar;
class QTimer;

namespace corvalen {

class Corvalen : public QWidget, public FormWindow {
  Q_OBJECT

 public:
  // Builds the window and runs its Load handling (scripts folder, empty
  // catalogue, version label). `crear_componente` makes data-access
  // component instances for the update module.
  explicit Corvalen(ComponentFactory crear_componente, CorvalenOptions options = {});
  ~Corvalen() override;
  Corvalen(const Corvalen&) = delete;
  Corvalen& operator=(const Corvalen&) = delete;

  void ClipboardClear() override;
  void ClipboardSetText(const std::u16string& text) override;

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Sees key releases of the window and its controls before the controls do.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowMessageBox(const std::u16string& text, const std::u16string& title,
                      MessageIcon icon) override;
  void ProcessEvents() override;
  void Wait(int32_t milliseconds) override;

  // The screen on the controls.
  void ShowListCleared() override;
  void ShowLineAdded(const std::u16string& text) override;
  void ShowLine(int32_t index, const std::u16string& text) override;
  void PaintLines() override;
  void ShowCurrentLine(int32_t index) override;
  void ShowStatusPrg(const std::u16string& text) override;
  void ShowStatus(const std::u16string& text) override;
  void ShowProgress(int maximum, int value) override;
  void ScheduleRefresh(int milliseconds) override;

  void BuildControls();
  // Widens the version label to its text, within the header frame.
  void FitVersionLabel();
  // Starts the Activate handling unless it has started already.
  void Activate();

  QProgressBar* prgbar_ = nullptr;
  QListWidget* list1_ = nullptr;
  QLabel* lbl_status_ = nullptr;
  QLabel* lbl_status_prg_ = nullptr;
  QLabel* lbl_app_ver_ = nullptr;
  QFrame* shp1_ = nullptr;
  QTimer* refresh_timer_ = nullptr;
};

}  // namespace corvalen

#endif  // CORVALEN_APP_CORVALEN_WINDOW_H_
