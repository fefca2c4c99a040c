#include "app/corvalen_window.h"

#include <QApplication>
#include <QClipboard>
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
#include <utility>

#include "app/corvalen_form.h"
#include "app/corvalen_icon.h"
#include "platform/utf.h"
#include "platform/version_info.h"
#include "update/procedure.h"

namespace corvalen {
namespace {

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

}  // namespace

Corvalen::Corvalen(ComponentFactory crear_componente, CorvalenOptions options)
    : FormWindow(std::move(crear_componente), std::move(options),
                 [](int code) { QCoreApplication::exit(code); }) {
  setObjectName(QStringLiteral("Corvalen"));
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

  Place(new QLineEdit(this), Design(Id::kText2));
  Place(new QPushButton(InitialText(Design(Id::kCmdActualizar)), this), Design(Id::kCmdActualizar));
  Place(new QLineEdit(this), Design(Id::kText1));

  lbl_status_ = MakeLabel(this, Design(Id::kLblStatus));
  lbl_status_prg_ = MakeLabel(this, Design(Id::kLblStatusPrg));
  lbl_app_ver_ = MakeLabel(this, Design(Id::kLblAppVer));
  MakeLabel(this, Design(Id::kLabel2));
  MakeLabel(this, Design(Id::kLabel1));

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
  connect(refresh_timer_, &QTimer::timeout, this, [this] { RefreshLines(); });
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

// ---- The screen on the controls ----

void Corvalen::ShowListCleared() { list1_->clear(); }

void Corvalen::ShowLineAdded(const std::u16string& text) { list1_->addItem(ToQString(text)); }

void Corvalen::ShowLine(int32_t index, const std::u16string& text) {
  list1_->item(index)->setText(ToQString(text));
}

void Corvalen::PaintLines() { list1_->viewport()->repaint(); }

void Corvalen::ShowCurrentLine(int32_t index) { list1_->setCurrentRow(index); }

void Corvalen::ShowStatusPrg(const std::u16string& text) {
  lbl_status_prg_->setText(ToQString(text));
}

void Corvalen::ShowStatus(const std::u16string& text) { lbl_status_->setText(ToQString(text)); }

void Corvalen::ShowProgress(int maximum, int value) {
  prgbar_->setMaximum(maximum);
  prgbar_->setValue(value);
}

void Corvalen::ScheduleRefresh(int milliseconds) { refresh_timer_->start(milliseconds); }

// ---- What the run needs beyond the screen ----

void Corvalen::ShowMessageBox(const std::u16string& text, const std::u16string& title,
                              MessageIcon icon) {
  QString shown = ToQString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(icon == MessageIcon::kCritical ? QMessageBox::Critical : QMessageBox::Warning,
                  ToQString(title), shown, QMessageBox::Ok, this);
  // Script texts and file names are shown as they are, never as markup.
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void Corvalen::ClipboardClear() { QGuiApplication::clipboard()->clear(); }

void Corvalen::ClipboardSetText(const std::u16string& text) {
  QGuiApplication::clipboard()->setText(ToQString(text));
}

void Corvalen::ProcessEvents() { QCoreApplication::processEvents(); }

void Corvalen::Wait(int32_t milliseconds) {
  QThread::msleep(static_cast<unsigned long>(milliseconds));
}

}  // namespace corvalen
