#include "app/corvalen_window.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "app/corvalen_form.h"
#include "app/corvalen_icon.h"
#include "platform/utf.h"
#include "platform/version_info.h"
#include "update/procedure.h"

namespace corvalen {
namespace {

// How often lines that gained progress marks are shown again: about the
// screen's rate, and never so often that laying out and painting a long line
// takes more than a 25th of the run's time.
constexpr int kListRefreshMs = 16;
constexpr int kListRefreshCostShare = 25;
constexpr int kListRefreshMaxMs = 1000;

// The layout is designed at 96 dots per inch.
constexpr int kDesignDpi = 96;

// A control's place from its position and size in twips.
QRect Place(const form::TwipRect& twips) {
  return QRect(form::ToPixels(twips.left, kDesignDpi), form::ToPixels(twips.top, kDesignDpi),
               form::ToPixels(twips.width, kDesignDpi), form::ToPixels(twips.height, kDesignDpi));
}

QColor ToQColor(form::Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

// Text to show: a byte of a file name that was not UTF-8 shows as U+FFFD.
QString ToQString(const std::u16string& text) {
  return QString::fromStdU16String(DisplayName(text));
}

// Tahoma where it is installed; otherwise the condensed DejaVu face, whose
// width is closest to Tahoma's, and any sans-serif face after that.
QFont Lettering(const form::Lettering& lettering) {
  QFont font;
  const QString face = QString::fromUtf16(form::kFace);
  if (QFontDatabase::hasFamily(face)) {
    font.setFamilies({face});
  } else {
    font.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
  }
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(lettering.points);
  font.setBold(lettering.bold);
  return font;
}

QString InitialText(const form::Control& design) { return QString::fromUtf16(design.text); }

template <class Widget>
Widget* Place(Widget* widget, const form::Control& design) {
  widget->setObjectName(QString::fromLatin1(design.name));
  widget->setGeometry(Place(design.place));
  return widget;
}

QLabel* MakeLabel(QWidget* parent, const form::Control& design) {
  auto* label = Place(new QLabel(InitialText(design), parent), design);
  label->setFont(Lettering(design.lettering));
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(
      (design.align == form::Align::kCentre ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
  // Transparent: the label paints only its text over the window.
  label->setAutoFillBackground(false);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, ToQColor(design.foreground));
  label->setPalette(palette);
  return label;
}

// A progress value as the bar takes it.
int ToBar(float value) {
  if (value >= static_cast<float>(INT_MAX)) return INT_MAX;
  return static_cast<int>(std::lround(value));
}

}  // namespace

Corvalen::Corvalen(ComponentFactory crear_componente, CorvalenOptions options)
    : module_(*this, std::move(crear_componente)),
      options_(std::move(options)),
      events_(module_, *this, options_, [](int code) { QCoreApplication::exit(code); }) {
  setObjectName(QStringLiteral("Corvalen"));
  if (!options_.config_path.empty()) module_.ConfigPathOverride = options_.config_path;
  BuildControls();
  qApp->installEventFilter(this);
  events_.Load([this] {
    lbl_app_ver_->setText(ToQString(VersionLabel()));
    FitVersionLabel();
  });
}

Corvalen::~Corvalen() {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->removeEventFilter(this);
}

void Corvalen::BuildControls() {
  using form::Design;
  using form::Id;
  setWindowTitle(QString::fromUtf16(form::kCaption));
  setWindowIcon(CorvalenIcon());
  setFixedSize(form::ToPixels(form::kClientWidth, kDesignDpi),
               form::ToPixels(form::kClientHeight, kDesignDpi));
  setFont(Lettering(form::kFormLettering));
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, ToQColor(form::kBackground));
  setPalette(palette);
  setAutoFillBackground(true);

  // Created in the order the window holds them.
  prgbar_ = Place(new QProgressBar(this), Design(Id::kPrgbar));
  prgbar_->setRange(0, form::kProgressMaxAtStart);
  prgbar_->setValue(0);
  prgbar_->setTextVisible(false);

  const form::Control& list_design = Design(Id::kList1);
  list1_ = Place(new QListWidget(this), list_design);
  list1_->setFont(Lettering(list_design.lettering));
  QPalette list_palette = list1_->palette();
  list_palette.setColor(QPalette::Base, ToQColor(list_design.background));
  list_palette.setColor(QPalette::Text, ToQColor(list_design.foreground));
  list1_->setPalette(list_palette);

  text2_ = Place(new QLineEdit(this), Design(Id::kText2));
  cmd_actualizar_ =
      Place(new QPushButton(InitialText(Design(Id::kCmdActualizar)), this), Design(Id::kCmdActualizar));
  text1_ = Place(new QLineEdit(this), Design(Id::kText1));

  lbl_status_ = MakeLabel(this, Design(Id::kLblStatus));
  lbl_status_prg_ = MakeLabel(this, Design(Id::kLblStatusPrg));
  lbl_app_ver_ = MakeLabel(this, Design(Id::kLblAppVer));
  label2_ = MakeLabel(this, Design(Id::kLabel2));
  label1_ = MakeLabel(this, Design(Id::kLabel1));

  // The header frame: a one-pixel rectangle, drawn beneath the labels.
  const form::Control& frame_design = Design(Id::kShp1);
  shp1_ = Place(new QFrame(this), frame_design);
  shp1_->setFrameShape(QFrame::Box);
  shp1_->setFrameShadow(QFrame::Plain);
  shp1_->setLineWidth(1);
  QPalette frame_palette = shp1_->palette();
  frame_palette.setColor(QPalette::WindowText, ToQColor(frame_design.foreground));
  shp1_->setPalette(frame_palette);
  shp1_->setAttribute(Qt::WA_TransparentForMouseEvents);
  shp1_->lower();

  // Those that lie outside the client area are hidden as well, so that they
  // never show or take the focus.
  for (const form::Control& design : form::kControls) {
    if (!design.visible) findChild<QWidget*>(QString::fromLatin1(design.name))->hide();
  }
  list1_->setFocus();

  refresh_timer_ = new QTimer(this);
  refresh_timer_->setSingleShot(true);
  refresh_timer_->setInterval(kListRefreshMs);
  connect(refresh_timer_, &QTimer::timeout, this, [this] { RefreshLines(); });
}

void Corvalen::RefreshLines() {
  refresh_timer_->stop();
  if (stale_lines_.empty()) return;
  QElapsedTimer cost;
  cost.start();
  for (int32_t index : stale_lines_) {
    if (index < list1_->count()) {
      list1_->item(index)->setText(ToQString(lines_[static_cast<size_t>(index)]));
    }
  }
  stale_lines_.clear();
  // Painted now, so that what a long line costs to show is known.
  list1_->viewport()->repaint();
  const qint64 interval = cost.elapsed() * kListRefreshCostShare;
  refresh_timer_->setInterval(static_cast<int>(
      std::clamp<qint64>(interval, kListRefreshMs, kListRefreshMaxMs)));
}

void Corvalen::FitVersionLabel() {
  // The designed width holds "V.0.0.0" but not every real version in every
  // face; the label widens to its text, up to the header frame's line.
  const int needed = lbl_app_ver_->fontMetrics().horizontalAdvance(lbl_app_ver_->text()) + 1;
  const int limit = shp1_->geometry().right() - lbl_app_ver_->x();
  if (needed > lbl_app_ver_->width()) {
    lbl_app_ver_->resize(std::min(needed, limit), lbl_app_ver_->height());
  }
}

void Corvalen::Activate() {
  if (isVisible()) events_.Activate();
}

bool Corvalen::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  if (event->type() == QEvent::WindowActivate && !events_.activated()) {
    // Started from the event loop, not from inside Qt's activation handling.
    QMetaObject::invokeMethod(this, [this] { Activate(); }, Qt::QueuedConnection);
  }
  return handled;
}

void Corvalen::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Where no window manager hands out activation, the first idle turn after
  // showing starts the run instead.
  if (!events_.activated()) QTimer::singleShot(0, this, [this] { Activate(); });
}

void Corvalen::closeEvent(QCloseEvent* event) {
  if (!events_.CloseRequested()) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

bool Corvalen::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == this) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (!key->isAutoRepeat() && key->key() == Qt::Key_Escape) events_.EscapeReleased();
    if (key->key() == Qt::Key_Escape) return true;
  }
  return QWidget::eventFilter(watched, event);
}

// ---- RunWindow ----

namespace {

void CheckLine(const QListWidget* list, int16_t index) {
  if (index < 0 || index >= list->count()) throw NumberedError(kErrInvalidPropertyValue);
}

}  // namespace

void Corvalen::ListClear() {
  stale_lines_.clear();
  lines_.clear();
  list1_->clear();
}

void Corvalen::ListAddItem(const std::u16string& text) {
  lines_.push_back(text);
  list1_->addItem(ToQString(text));
}

int32_t Corvalen::ListCount() const { return list1_->count(); }

std::u16string Corvalen::ListItem(int16_t index) const {
  CheckLine(list1_, index);
  return lines_[static_cast<size_t>(index)];
}

void Corvalen::SetListItem(int16_t index, const std::u16string& text) {
  CheckLine(list1_, index);
  lines_[static_cast<size_t>(index)] = text;
  list1_->item(index)->setText(ToQString(text));
  std::erase(stale_lines_, index);
}

void Corvalen::AppendToListItem(int16_t index, std::u16string_view piece) {
  CheckLine(list1_, index);
  lines_[static_cast<size_t>(index)] += piece;
  if (std::find(stale_lines_.begin(), stale_lines_.end(), index) == stale_lines_.end()) {
    stale_lines_.push_back(index);
  }
  if (!refresh_timer_->isActive()) refresh_timer_->start();
}

void Corvalen::SetListIndex(int16_t index) {
  CheckLine(list1_, index);
  list1_->setCurrentRow(index);
}

void Corvalen::SetStatusPrgCaption(const std::u16string& text) {
  lbl_status_prg_->setText(ToQString(text));
}

void Corvalen::SetStatusCaption(const std::u16string& text) {
  RefreshLines();  // the run is over: every line shows its last mark
  lbl_status_->setText(ToQString(text));
}

void Corvalen::SetProgressMax(float maximum) {
  if (!(maximum >= 1) || std::isinf(maximum)) throw NumberedError(kErrInvalidPropertyValue);
  progress_max_ = maximum;
  if (progress_value_ > maximum) progress_value_ = maximum;
  prgbar_->setMaximum(ToBar(maximum));
  prgbar_->setValue(ToBar(progress_value_));
}

void Corvalen::SetProgressValue(float value) {
  if (!(value >= 0 && value <= progress_max_)) throw NumberedError(kErrInvalidPropertyValue);
  progress_value_ = value;
  prgbar_->setValue(ToBar(value));
}

void Corvalen::MessageBox(const std::u16string& text, const std::u16string& title,
                          MessageIcon icon) {
  RefreshLines();
  QString shown = ToQString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(icon == MessageIcon::kCritical ? QMessageBox::Critical : QMessageBox::Warning,
                  ToQString(title), shown, QMessageBox::Ok, this);
  // Script texts and file names are shown as they are, never as markup.
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  if (box_hook_ && box_hook_(ShownBox{text, title, icon, &box})) return;
  box.exec();
}

void Corvalen::ClipboardClear() { QGuiApplication::clipboard()->clear(); }

void Corvalen::ClipboardSetText(const std::u16string& text) {
  QGuiApplication::clipboard()->setText(ToQString(text));
}

void Corvalen::DoEvents() {
  QCoreApplication::processEvents();
  events_.AfterEvents();
}

void Corvalen::Pause(int32_t milliseconds) {
  RefreshLines();
  if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void Corvalen::EndProgram(EndReason reason) { throw ProgramEnded{reason}; }

}  // namespace corvalen
