#include "app/corvalen_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
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
#include <QElapsedTimer>
#include <sqlite3.h>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/corvalen_form.h"
#include "db/qv_main.h"
#include "platform/numbered_error.h"
#include "platform/path.h"
#include "platform/version_info.h"
#include "tests/fakes/recording_connection.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen {
namespace {

// One QApplication for the whole binary, on the offscreen platform.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "corvalen_window_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kQt =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

constexpr int kTimedOut = -99;

// Runs the event loop until something leaves it, or gives up after `timeout_ms`.
int RunEventLoop(int timeout_ms = 5000) {
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(kTimedOut); });
  guard.start(timeout_ms);
  return QApplication::exec();
}

// Processes events until `done` holds or `timeout_ms` has passed.
template <class Predicate>
bool ProcessUntil(Predicate done, int timeout_ms = 5000) {
  for (int waited = 0; waited < timeout_ms; waited += 5) {
    if (done()) return true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(5);
  }
  return done();
}

void ReleaseKey(QWidget* target, int key) {
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &release);
}

void PostKeyRelease(QWidget* target, int key) {
  QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
}

ComponentFactory ThrowingFactory() {
  return []() -> std::shared_ptr<DataAccessComponent> {
    throw NumberedError(kErrCannotCreateObject);
  };
}

// A scripts folder of its own for each test.
using TempFolder = corvalen::testing::TempFolder;

using Box = BoxRequest;

class CorvalenTest : public ::testing::Test {
 protected:
  // A window on its own scripts folder whose run is `run` (nothing when empty).
  std::unique_ptr<Corvalen> MakeWindow(UpdateRun run = [](ModMain&, RunWindow&) {}) {
    CorvalenOptions options;
    options.scripts_folder = folder_.Utf16();
    options.run = std::move(run);
    auto window = std::make_unique<Corvalen>(ThrowingFactory(), std::move(options));
    AnswerBoxes(*window);
    return window;
  }
  void AnswerBoxes(Corvalen& window) {
    window.SetMessageBoxHook([this](const BoxRequest& box) {
      boxes_.push_back(box);
      return true;
    });
  }
  // Shows the window and waits until its Activate handling is over.
  void ShowAndRun(Corvalen& window) {
    window.show();
    ASSERT_TRUE(ProcessUntil([&] { return window.run_started() && !window.running(); }));
  }
  template <class T>
  static T* Control(Corvalen& window, const char* name) {
    T* control = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }

  TempFolder folder_;
  std::vector<Box> boxes_;
};

// ---- Look ----

TEST_F(CorvalenTest, WindowAsDesigned) {
  auto window = MakeWindow();
  EXPECT_EQ(window->objectName(), "Corvalen");
  EXPECT_EQ(window->windowTitle(), "Corvalen");
  EXPECT_EQ(window->size(), QSize(form::ToPixels(form::kClientWidth, 96),
                                  form::ToPixels(form::kClientHeight, 96)));
  EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the layout is fixed";
  EXPECT_EQ(window->palette().color(QPalette::Window),
            QColor(form::kBackground.red, form::kBackground.green, form::kBackground.blue));
  EXPECT_TRUE(window->autoFillBackground());
  QList<QSize> sizes = window->windowIcon().availableSizes();
  for (int size : {16, 24, 32, 48}) EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
}

// Every control as the form's table describes it: kind, place (twips at 96
// dpi), initial text, lettering, colours and alignment.
TEST_F(CorvalenTest, EveryControlAsTheFormDescribesIt) {
  auto window = MakeWindow();
  const auto qt_kind = [](form::Kind kind) {
    switch (kind) {
      case form::Kind::kProgressBar: return "QProgressBar";
      case form::Kind::kListBox: return "QListWidget";
      case form::Kind::kTextBox: return "QLineEdit";
      case form::Kind::kPushButton: return "QPushButton";
      case form::Kind::kLabel: return "QLabel";
      case form::Kind::kRectangle: return "QFrame";
    }
    return "";
  };
  const auto colour = [](form::Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); };
  const auto pixels = [](int twips) { return form::ToPixels(twips, 96); };
  const bool has_tahoma = QFontDatabase::hasFamily("Tahoma");
  for (const form::Control& design : form::kControls) {
    SCOPED_TRACE(design.name);
    QWidget* control = Control<QWidget>(*window, design.name);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(control->inherits(qt_kind(design.kind)));
    const QRect place(pixels(design.place.left), pixels(design.place.top),
                      pixels(design.place.width), pixels(design.place.height));
    if (design.name == std::string("Lbl_AppVer")) {
      // It widens to show the whole version, within the header frame.
      EXPECT_EQ(control->pos(), place.topLeft());
      EXPECT_EQ(control->height(), place.height());
      EXPECT_GE(control->width(), place.width());
      auto* label = static_cast<QLabel*>(control);
      EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
      EXPECT_LT(control->geometry().right(), Control<QWidget>(*window, "Shp1")->geometry().right());
    } else {
      EXPECT_EQ(control->geometry(), place);
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
      if (design.name != std::string("Lbl_AppVer")) {
        EXPECT_EQ(label->text(), design.text);
      }
      EXPECT_DOUBLE_EQ(label->font().pointSizeF(), design.lettering.points);
      EXPECT_EQ(label->font().bold(), design.lettering.bold);
      EXPECT_EQ(label->palette().color(QPalette::WindowText), colour(design.foreground));
      EXPECT_EQ((label->alignment() & Qt::AlignHCenter) != 0, design.align == form::Align::kCentre);
      EXPECT_FALSE(label->autoFillBackground()) << "transparent";
      const QString family = QFontInfo(label->font()).family();
      EXPECT_TRUE(has_tahoma ? family == "Tahoma" : family.contains("Sans")) << family.toStdString();
    }
    if (auto* button = qobject_cast<QPushButton*>(control)) {
      EXPECT_EQ(button->text(), design.text);
    }
    if (auto* frame = qobject_cast<QFrame*>(control); frame && design.kind == form::Kind::kRectangle) {
      EXPECT_EQ(frame->frameShape(), QFrame::Box);
      EXPECT_EQ(frame->palette().color(QPalette::WindowText), colour(design.foreground));
      // Beneath the title and the version it encloses.
      EXPECT_EQ(window->children().indexOf(frame), 0);
    }
  }
  auto* list = Control<QListWidget>(*window, "List1");
  const form::Control& list_design = form::Design(form::Id::kList1);
  EXPECT_DOUBLE_EQ(list->font().pointSizeF(), list_design.lettering.points);
  EXPECT_EQ(list->palette().color(QPalette::Base), colour(list_design.background));
  EXPECT_EQ(list->count(), 0);
  auto* bar = Control<QProgressBar>(*window, "prgbar");
  EXPECT_EQ(bar->maximum(), form::kProgressMaxAtStart);
}

TEST_F(CorvalenTest, ControlsOutsideTheClientAreaAreNeverVisible) {
  auto window = MakeWindow([](ModMain&, RunWindow& frm) {
    frm.ListAddItem(u"CATALOGOS_a.sql");
    frm.DoEvents();
  });
  ShowAndRun(*window);
  for (const form::Control& design : form::kControls) {
    QWidget* control = Control<QWidget>(*window, design.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->isVisible(), design.visible) << design.name;
    EXPECT_EQ(window->rect().contains(control->geometry()), design.visible) << design.name;
    EXPECT_EQ(window->rect().intersects(control->geometry()), design.visible) << design.name;
    EXPECT_FALSE(!design.visible && control->hasFocus()) << design.name;
  }
}

// ---- Load ----

TEST_F(CorvalenTest, LoadTakesTheFolderEmptiesTheCatalogueAndShowsTheVersion) {
  auto window = MakeWindow();
  EXPECT_EQ(window->module().CarpetaScripts, folder_.Utf16());
  EXPECT_EQ(window->module().ListadoSql.size(), 1u) << "only the never-used element 0";
  EXPECT_EQ(window->module().Finalizado, kFalse);
  EXPECT_EQ(Control<QLabel>(*window, "Lbl_AppVer")->text().toStdU16String(), u"v." CORVALEN_VERSION);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_FALSE(window->run_started()) << "nothing runs before the window is shown";
}

TEST_F(CorvalenTest, WithoutAFolderTheScriptsAreInTheProgramsFolder) {
  Corvalen window(ThrowingFactory());
  EXPECT_FALSE(window.module().CarpetaScripts.empty());
  EXPECT_EQ(window.module().CarpetaScripts, ProgramFolder());
}

// ---- Activate ----

// Swallows the window's activation, as a display without a window manager does.
class NoActivation : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    return event->type() == QEvent::WindowActivate;
  }
};

TEST_F(CorvalenTest, RunStartsOnceEvenWithoutActivation) {
  int runs = 0;
  bool visible_at_start = false;
  Corvalen* self = nullptr;
  auto window = MakeWindow([&](ModMain&, RunWindow&) {
    ++runs;
    visible_at_start = self->isVisible();
  });
  self = window.get();
  NoActivation no_activation;
  window->installEventFilter(&no_activation);
  window->show();
  ASSERT_TRUE(ProcessUntil([&] { return runs > 0; }, 3000));
  ProcessUntil([] { return false; }, 100);
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(visible_at_start);
}

TEST_F(CorvalenTest, RunStartsOnceWhateverActivationsFollow) {
  int runs = 0;
  auto window = MakeWindow([&](ModMain&, RunWindow& frm) {
    ++runs;
    frm.DoEvents();  // activations arriving during the run start nothing
  });
  window->show();
  QEvent activate(QEvent::WindowActivate);
  QCoreApplication::sendEvent(window.get(), &activate);
  ASSERT_TRUE(ProcessUntil([&] { return runs > 0 && !window->running(); }));
  QCoreApplication::sendEvent(window.get(), &activate);
  window->hide();
  window->show();
  QCoreApplication::sendEvent(window.get(), &activate);
  ProcessUntil([] { return false; }, 100);
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(window->ended());
}

TEST_F(CorvalenTest, FailureInTheRunShowsTheApplicationErrorBoxAndKeepsTheWindow) {
  auto window = MakeWindow([](ModMain&, RunWindow&) { throw NumberedError(kErrObjectNotSet); });
  ShowAndRun(*window);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text,
            u"Object variable or With block variable not set\r\n"
            u"in CorvalenSQL.Corvalen.Form_Activate at line 20");
  EXPECT_EQ(boxes_[0].title, u"Application Error");
  EXPECT_EQ(boxes_[0].icon, MessageIcon::kExclamation);
  EXPECT_FALSE(window->ended());
  // Finalizado is still false: Esc does not end the program.
  ReleaseKey(Control<QListWidget>(*window, "List1"), Qt::Key_Escape);
  EXPECT_FALSE(window->ended());
  // Closing it by hand ends with the failure's code, not with 0.
  EXPECT_TRUE(window->close());
  EXPECT_EQ(window->exit_code(), 4);
}

TEST_F(CorvalenTest, ClosingAfterARunWithErrorsEndsWithItsCode) {
  auto window = MakeWindow([](ModMain& module, RunWindow&) {
    module.HuboErrores = kTrue;
    module.Finalizado = kTrue;
  });
  ShowAndRun(*window);
  EXPECT_TRUE(window->close());
  EXPECT_EQ(window->exit_code(), 1);
}

// ---- Esc and the end of the program ----

TEST_F(CorvalenTest, EscWhileTheRunIsGoingDoesNothing) {
  bool went_on = false;
  QWidget* list = nullptr;
  auto window = MakeWindow([&](ModMain&, RunWindow& frm) {
    PostKeyRelease(list, Qt::Key_Escape);
    frm.DoEvents();
    went_on = true;
  });
  list = Control<QListWidget>(*window, "List1");
  window->show();
  ASSERT_TRUE(ProcessUntil([&] { return window->run_started() && !window->running(); }));
  EXPECT_TRUE(went_on);
  ReleaseKey(window.get(), Qt::Key_Escape);
  EXPECT_FALSE(window->ended());
  EXPECT_FALSE(window->exit_code().has_value());
}

TEST_F(CorvalenTest, WindowStaysWhileTheRunNeedsIt) {
  bool closed_during_run = true;
  Corvalen* self = nullptr;
  auto window = MakeWindow([&](ModMain&, RunWindow&) { closed_during_run = self->close(); });
  self = window.get();
  ShowAndRun(*window);
  EXPECT_FALSE(closed_during_run);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->close()) << "after the run the window closes";
}

TEST_F(CorvalenTest, EscAfterARunWithErrorsEndsTheProgram) {
  auto journal = std::make_shared<testing::Journal>();
  auto window = MakeWindow([&](ModMain& module, RunWindow&) {
    module.oConexion = std::make_shared<testing::RecordingConnection>("c", journal);
    module.HuboErrores = kTrue;
    module.Finalizado = kTrue;
  });
  QListWidget* list = Control<QListWidget>(*window, "List1");
  window->show();
  ASSERT_TRUE(ProcessUntil([&] { return window->run_started() && !window->running(); }));
  ReleaseKey(list, Qt::Key_A);
  ReleaseKey(list, Qt::Key_Return);
  EXPECT_FALSE(window->ended()) << "only Esc ends the program";

  QTimer::singleShot(20, list, [list] { ReleaseKey(list, Qt::Key_Escape); });
  EXPECT_EQ(RunEventLoop(), 1);
  EXPECT_TRUE(window->ended());
  EXPECT_EQ(window->exit_code(), 1);
  EXPECT_EQ(window->module().oConexion, nullptr);
  EXPECT_EQ(*journal, (testing::Journal{"c.released"}));
}

TEST_F(CorvalenTest, EscDuringTheLastPassOfARunEndsItWithoutCommitting) {
  auto journal = std::make_shared<testing::Journal>();
  bool went_on = false;
  QWidget* list = nullptr;
  auto window = MakeWindow([&](ModMain& module, RunWindow& frm) {
    auto connection = std::make_shared<testing::RecordingConnection>("c", journal);
    module.oConexion = connection;
    connection->BeginTrans();
    module.Finalizado = kTrue;
    PostKeyRelease(list, Qt::Key_Escape);
    frm.DoEvents();
    went_on = true;
    connection->CommitTrans();
  });
  list = Control<QListWidget>(*window, "List1");
  window->show();
  EXPECT_EQ(RunEventLoop(), 0) << "Esc after a run without errors";
  EXPECT_TRUE(window->ended());
  EXPECT_FALSE(went_on);
  EXPECT_EQ(*journal, (testing::Journal{"c.BeginTrans", "c.released (rolled back)"}));
}

TEST_F(CorvalenTest, EndOfProgramInsideTheRunLeavesTheEventLoopWithItsCode) {
  auto journal = std::make_shared<testing::Journal>();
  int runs = 0;
  auto window = MakeWindow([&](ModMain& module, RunWindow& frm) {
    ++runs;
    auto connection = std::make_shared<testing::RecordingConnection>("c", journal);
    module.oConexion = connection;
    connection->BeginTrans();
    frm.EndProgram(EndReason::kScriptFailed);
  });
  window->show();
  EXPECT_EQ(RunEventLoop(), 2);
  EXPECT_TRUE(window->ended());
  EXPECT_EQ(*journal, (testing::Journal{"c.BeginTrans", "c.released (rolled back)"}));

  // Once ended, nothing starts again and Esc does nothing more.
  window->module().Finalizado = kTrue;
  ReleaseKey(window.get(), Qt::Key_Escape);
  QEvent activate(QEvent::WindowActivate);
  QCoreApplication::sendEvent(window.get(), &activate);
  ProcessUntil([] { return false; }, 50);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(window->exit_code(), 2);
}

// ---- The window's operations for the run ----

TEST_F(CorvalenTest, TheScreenOnTheControls) {
  auto window = MakeWindow();
  auto* list = Control<QListWidget>(*window, "List1");
  window->ListAddItem(u"CATALOGOS_ñandú.sql");
  window->ListAddItem(u"NCM_<b>.sql");
  window->SetListIndex(1);
  EXPECT_EQ(list->currentRow(), 1);
  // Appended marks are kept at once and shown at the next refresh.
  window->AppendToListItem(1, u" \u2022 OK.");
  EXPECT_EQ(window->line(1), u"NCM_<b>.sql \u2022 OK.");
  ASSERT_TRUE(ProcessUntil([&] { return list->item(1)->text().endsWith(u" OK."); }));
  EXPECT_EQ(list->item(1)->text().toStdU16String(), u"NCM_<b>.sql \u2022 OK.");
  EXPECT_EQ(list->item(0)->text().toStdU16String(), u"CATALOGOS_ñandú.sql");

  window->SetStatusPrgCaption(u"Ejecutando actualización 3 de 12");
  window->SetStatusCaption(u"Se han producido errores , pulse [Esc] para salir.");
  EXPECT_EQ(Control<QLabel>(*window, "Lbl_StatusPrg")->text(), "Ejecutando actualización 3 de 12");
  EXPECT_EQ(Control<QLabel>(*window, "Lbl_Status")->text(),
            "Se han producido errores , pulse [Esc] para salir.");
  auto* bar = Control<QProgressBar>(*window, "prgbar");
  window->SetProgressMax(12);
  window->SetProgressValue(3);
  EXPECT_EQ(bar->maximum(), 12);
  EXPECT_EQ(bar->value(), 3);
  EXPECT_THROW(window->SetProgressValue(std::nanf("")), NumberedError);
  EXPECT_EQ(bar->value(), 3);
  window->ListClear();
  EXPECT_EQ(list->count(), 0);
}

TEST_F(CorvalenTest, ModalMessageBoxAnsweredThroughTheScreen) {
  auto window = MakeWindow();
  window->SetMessageBoxHook(nullptr);
  window->show();
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    buttons = static_cast<int>(box->buttons().size());
    box->button(QMessageBox::Ok)->click();
  });
  poll.start(10);
  window->MessageBox(u"Error estableciendo conexion con la entidad NCM en el archivo <NCM_a.sql>",
                     VersionTitle(), MessageIcon::kCritical);
  EXPECT_EQ(title.toStdU16String(), VersionTitle());
  EXPECT_EQ(text, "Error estableciendo conexion con la entidad NCM en el archivo <NCM_a.sql>");
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(buttons, 1);
  // A handler's report: exclamation, and its CR LF shown as one line break.
  window->MessageBox(u"Overflow\r\nin CorvalenSQL.Corvalen.Form_Load at line 20",
                     u"Application Error", MessageIcon::kExclamation);
  poll.stop();
  EXPECT_EQ(text, "Overflow\nin CorvalenSQL.Corvalen.Form_Load at line 20");
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(buttons, 1);
}

TEST_F(CorvalenTest, ClipboardHoldsThePlainText) {
  auto window = MakeWindow();
  QClipboard* clipboard = QGuiApplication::clipboard();
  window->ClipboardClear();
  EXPECT_TRUE(clipboard->text().isEmpty());
  const std::u16string failing = u"INSERT INTO t VALUES ('año')\r\nGO\r\n<x>";
  window->ClipboardSetText(failing);
  EXPECT_EQ(clipboard->text().toStdU16String(), failing);
  window->ClipboardClear();
  EXPECT_TRUE(clipboard->text().isEmpty());
}

// ---- Whole runs ----

// The module's own run, on a folder of scripts and a configuration that puts
// every entity on an SQLite file beside it.
class CorvalenRunTest : public CorvalenTest {
 protected:
  CorvalenRunTest() {
    folder_.Write("erp.db", "");  // an empty file is an empty SQLite database
    folder_.Write("quorvexconfig.ini",
                  "[CATALOGOS]\nProvider=sqlite\nConnection=erp.db\n"
                  "[NCM]\nProvider=sqlite\nConnection=erp.db\n");
  }
  std::unique_ptr<Corvalen> MakeRunWindow(ComponentFactory factory) {
    CorvalenOptions options;
    options.scripts_folder = folder_.Utf16();
    options.config_path = folder_.Utf16() + u"/quorvexconfig.ini";
    auto window = std::make_unique<Corvalen>(std::move(factory), std::move(options));
    AnswerBoxes(*window);
    return window;
  }
  // The number of rows of a query's first column, or -1 when it fails.
  int Count(const char* query) {
    sqlite3* db = nullptr;
    const std::string file = (std::filesystem::path(folder_.Utf16()) / "erp.db").string();
    int result = -1;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* statement = nullptr;
      if (sqlite3_prepare_v2(db, query, -1, &statement, nullptr) == SQLITE_OK &&
          sqlite3_step(statement) == SQLITE_ROW) {
        result = sqlite3_column_int(statement, 0);
      }
      sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return result;
  }
  static std::vector<QString> Lines(Corvalen& window) {
    std::vector<QString> lines;
    auto* list = Control<QListWidget>(window, "List1");
    for (int i = 0; i < list->count(); ++i) lines.push_back(list->item(i)->text());
    return lines;
  }
};

TEST_F(CorvalenRunTest, GoodRunShowsTheOutcomesAndEndsByItselfAfterThePause) {
  folder_.Write("CATALOGOS_uno.sql", "CREATE TABLE monedas (codigo TEXT);\r\nGO\r\n"
                                     "INSERT INTO monedas VALUES ('MXN');\r\nGO\r\n");
  folder_.Write("ncm_dos.sql", "CREATE TABLE aranceles (codigo TEXT);\r\nGO\r\n");
  folder_.Write("leeme.txt", "no script\n");
  auto window = MakeRunWindow(QVMainFactory());
  window->show();
  QElapsedTimer timer;
  timer.start();
  EXPECT_EQ(RunEventLoop(15000), 0);
  EXPECT_GE(timer.elapsed(), 2900) << "the completion caption stays for three seconds";
  EXPECT_TRUE(boxes_.empty());
  std::vector<QString> lines = Lines(*window);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].startsWith(QString::fromUtf8("CATALOGOS_uno.sql \u2022"))) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].endsWith(" OK.")) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].startsWith("ncm_dos.sql")) << lines[1].toStdString();
  EXPECT_FALSE(lines[1].startsWith(QString::fromUtf8("ncm_dos.sql \u2022 ")));
  EXPECT_TRUE(lines[1].endsWith(" OK.")) << lines[1].toStdString();
  EXPECT_EQ(Control<QLabel>(*window, "Lbl_StatusPrg")->text(),
            QString::fromUtf8("Ejecutando actualización 2 de 2"));
  EXPECT_EQ(Control<QLabel>(*window, "Lbl_Status")->text(),
            QString::fromUtf8("Actualizacion completada, esta ventana se cerrará automaticamente."));
  EXPECT_EQ(Control<QProgressBar>(*window, "prgbar")->maximum(), 2);
  EXPECT_EQ(Control<QProgressBar>(*window, "prgbar")->value(), 2);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM monedas"), 1) << "committed";
  EXPECT_EQ(Count("SELECT COUNT(*) FROM aranceles"), 0) << "committed";
}

TEST_F(CorvalenRunTest, FailedScriptIsReportedLeftOnTheClipboardAndEndsTheProgram) {
  folder_.Write("CATALOGOS_uno.sql", "CREATE TABLE monedas (codigo TEXT);\r\nGO\r\n");
  folder_.Write("NCM_dos.sql", "INSERT INTO no_existe VALUES (1);\r\nGO\r\n");
  folder_.Write("NCM_tres.sql", "CREATE TABLE nunca (x TEXT);\r\nGO\r\n");
  QGuiApplication::clipboard()->clear();
  auto window = MakeRunWindow(QVMainFactory());
  window->show();
  EXPECT_EQ(RunEventLoop(15000), 2);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].icon, MessageIcon::kCritical);
  EXPECT_TRUE(QGuiApplication::clipboard()->text().contains("INSERT INTO no_existe"));
  std::vector<QString> lines = Lines(*window);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[0].endsWith(" OK."));
  EXPECT_FALSE(lines[1].endsWith(" OK."));
  EXPECT_EQ(lines[2], "NCM_tres.sql") << "never reached";
  EXPECT_EQ(window->module().oConexion, nullptr) << "released at the end";
  EXPECT_EQ(Count("SELECT COUNT(*) FROM monedas"), 0) << "the earlier script stays committed";
  EXPECT_EQ(Count("SELECT COUNT(*) FROM nunca"), -1) << "the later script never ran";
}

TEST_F(CorvalenRunTest, EntitiesThatCannotConnectLeaveTheWindowWaitingForEsc) {
  folder_.Write("NCM_tres.SQL", "SELECT 3;\r\nGO\r\n");
  folder_.Write("CATALOGOS_uno.sql", "SELECT 1;\r\nGO\r\n");
  folder_.Write("ncm_dos.sql", "SELECT 2;\r\nGO\r\n");
  auto window = MakeRunWindow(ThrowingFactory());
  ShowAndRun(*window);
  EXPECT_FALSE(window->ended());
  std::vector<QString> lines = Lines(*window);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "CATALOGOS_uno.sql ERROR!");
  EXPECT_EQ(lines[1], "ncm_dos.sql ERROR!");
  EXPECT_EQ(lines[2], "NCM_tres.SQL ERROR!");
  EXPECT_EQ(Control<QLabel>(*window, "Lbl_Status")->text(),
            "Se han producido errores , pulse [Esc] para salir.");
  EXPECT_EQ(Control<QProgressBar>(*window, "prgbar")->value(), 3);
  ASSERT_FALSE(boxes_.empty());
  for (const Box& box : boxes_) EXPECT_EQ(box.title, VersionTitle());
  EXPECT_EQ(boxes_.back().icon, MessageIcon::kCritical);

  QWidget* list = Control<QListWidget>(*window, "List1");
  QTimer::singleShot(20, list, [list] { ReleaseKey(list, Qt::Key_Escape); });
  EXPECT_EQ(RunEventLoop(), 1);
}

}  // namespace
}  // namespace corvalen
