// The desktop host on Qt's offscreen platform: real widgets driven with key
// and mouse events, the package loaded from its file, a real server and
// database behind the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>

#include "host/components/host_settings.h"
#include "host/net/http_transport.h"
#include "host/qt/busy_overlay.h"
#include "host/qt/main_window.h"
#include "host/qt/month_editor.h"
#include "host/qt/month_field.h"
#include "host/qt/pick_list_dialog.h"
#include "host/qt/settings_dialog.h"
#include "host/qt/ui_driver.h"
#include "host/toolkit/application.h"
#include "lib/layout/layout_check.h"
#include "package/form/frm_arqu_mag.h"
#include "package/module/globals.h"
#include "tests/support/demo_server.h"

namespace {

namespace drive = qtfront::drive;

// What a modal dialog showed, taken while it was open.
struct Seen {
  QString kind;  // the dialog's object name
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// A server call that takes its time, made on whichever thread calls it.
class SlowTransport : public comp::IServerTransport {
 public:
  explicit SlowTransport(std::atomic<bool>& off_ui_thread) : off_ui_thread_(off_ui_thread) {}
  void Connect(const std::string& host, int port, const std::string& name) override {
    inner_.Connect(host, port, name);
  }
  void Disconnect() override { inner_.Disconnect(); }
  wire::Variant Call(const std::string& method, std::vector<comp::CallArgument>& args) override {
    if (method == "GetEmpresa") {
      off_ui_thread_ = std::this_thread::get_id() != ui_thread_;
      std::this_thread::sleep_for(std::chrono::milliseconds(600));
    }
    return inner_.Call(method, args);
  }

 private:
  net::HttpTransport inner_;
  std::atomic<bool>& off_ui_thread_;
  std::thread::id ui_thread_ = std::this_thread::get_id();
};

class Desktop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { demo_ = std::make_unique<DemoServer>("desktop"); }
  static void TearDownTestSuite() { demo_.reset(); }

  void SetUp() override { Start(); }
  void TearDown() override { Stop(); }

  void Start(comp::TransportFactory transport = {}) {
    comp::Settings().Clear();
    comp::Settings().Override("server.host", "127.0.0.1");
    comp::Settings().Override("server.port", std::to_string(demo_->server->port()));
    comp::Settings().Override("database.url", demo_->database);
    window = std::make_unique<qtfront::MainWindow>(MAG_PACKAGE_PATH, "/dev/null", std::move(transport));
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  void Stop() {
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    comp::Settings().Clear();
  }

  // Chooses the menu entry and gives the screen's view.
  qtfront::FormView* Open() {
    window->ScreenAction()->trigger();
    view = window->View("frmArquMag");
    return view;
  }

  template <typename T = QWidget>
  T* W(const std::string& name) {
    return drive::Find<T>(view, name);
  }
  QString Text(const std::string& name) { return W<QLineEdit>(name)->text(); }
  QString FocusName() {
    if (!QApplication::focusWidget()) {
      // No window manager hands the window back the keyboard after a dialog.
      window->activateWindow();
      (void)QTest::qWaitForWindowActive(window.get());
    }
    QWidget* w = QApplication::focusWidget();
    // An editable combo box or a month field holds its edit; name the control.
    while (w && w->objectName().isEmpty()) w = w->parentWidget();
    if (w && dynamic_cast<qtfront::MirrorLineEdit*>(w) && w->parentWidget() &&
        dynamic_cast<qtfront::MonthField*>(w->parentWidget())) {
      w = w->parentWidget();
    }
    return w ? w->objectName() : QString();
  }
  // Clicks into a field (its edit for a month field) and types.
  void Fill(const std::string& name, const QString& text) {
    QWidget* widget = W(name);
    if (auto* month = dynamic_cast<qtfront::MonthField*>(widget)) widget = month->edit();
    drive::Click(widget);
    drive::Type(text);
  }
  // Answers the next message box with OK and records what it said.
  void ExpectMessage(std::vector<Seen>& seen) {
    drive::WhenModal([&seen](QWidget* box) {
      Seen s{box->objectName(), box->windowTitle(), {}, QMessageBox::NoIcon};
      if (auto* m = qobject_cast<QMessageBox*>(box)) {
        s.text = m->text();
        s.icon = m->icon();
      }
      seen.push_back(s);
      QTest::keyClick(box, Qt::Key_Return);
    });
  }

  static inline std::unique_ptr<DemoServer> demo_;
  std::unique_ptr<qtfront::MainWindow> window;
  qtfront::FormView* view = nullptr;
};

TEST_F(Desktop, TheMenuEntryOpensOneScreenAndBringsItBack) {
  ASSERT_NE(Open(), nullptr);
  QMdiSubWindow* frame = view->Frame();
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(frame->windowTitle(), "Arquivo Magnético - Sintegra");
  EXPECT_EQ(window->Area()->activeSubWindow(), frame);
  EXPECT_EQ(view->size(), QSize(576, 550));
  EXPECT_EQ(W<QComboBox>("cbbArquivo")->currentText(), "SINTEGRA");
  EXPECT_EQ(FocusName(), "cbbArquivo");
  EXPECT_EQ(W("medCdEmpresa")->geometry(), QRect(162, 35, 25, 21));
  EXPECT_EQ(W("btpEmpresa")->geometry(), QRect(193, 35, 21, 21));
  EXPECT_EQ(W("edtNmEmpresa")->geometry(), QRect(220, 35, 259, 21));
  EXPECT_EQ(W("sbtImportExport")->toolTip(), "Exportar");
  EXPECT_EQ(W("btpEmpresa")->toolTip(), "Pesquisar");
  EXPECT_TRUE(W<QLabel>("lblEmpresa")->font().bold());
  // The screen's code is shown whole inside its panel.
  QLabel* code = W<QLabel>("lblCodTela");
  EXPECT_EQ(code->text(), "MAG04200");
  EXPECT_LE(code->x() + code->fontMetrics().horizontalAdvance(code->text()), code->parentWidget()->width());
  EXPECT_LE(code->fontMetrics().height(), code->height() + 3);
  EXPECT_EQ(W("medCdEmpresa")->palette().color(QPalette::Base), QColor(255, 255, 225));
  EXPECT_EQ(W("edtNmEmpresa")->palette().color(QPalette::Disabled, QPalette::Base), QColor(240, 240, 240));
  EXPECT_EQ(W("medLivro")->palette().color(QPalette::Base), QColor(255, 255, 255));
  // The file-type rule ran when the screen became active.
  EXPECT_FALSE(W("medCodPais")->isEnabled());
  EXPECT_FALSE(W("clbArquivos")->isEnabled());
  EXPECT_FALSE(W("edtNrInscricao")->isEnabled());
  EXPECT_FALSE(W("lblInscricao")->isEnabled());

  // The second choice restores the same window and brings it to the front.
  frame->showMinimized();
  EXPECT_EQ(Cli_mag04200::frmArquMag->WindowState(), tk::TWindowState::wsMinimized);
  auto* other = window->Area()->addSubWindow(new QLabel("outra janela"));
  other->show();
  window->Area()->setActiveSubWindow(other);
  const int refreshes = Cli_mag04200::frmArquMag->RefreshCount();
  window->ScreenAction()->trigger();
  EXPECT_EQ(window->View("frmArquMag"), view);
  EXPECT_FALSE(frame->isMinimized());
  EXPECT_EQ(window->Area()->activeSubWindow(), frame);
  EXPECT_EQ(Cli_mag04200::frmArquMag->RefreshCount(), refreshes + 1);  // activated again
  EXPECT_EQ(tk::Application().Forms().size(), 1u);

  // Closing the window ends the instance; the next choice creates a new one.
  frame->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(window->View("frmArquMag"), nullptr);
  EXPECT_FALSE(Cli_mag04200::boIdCriado);
  EXPECT_EQ(window->Area()->subWindowList().size(), 1);
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(Cli_mag04200::boIdCriado);
  EXPECT_EQ(Text("medLivro"), QString(10, ' '));
}

TEST_F(Desktop, TypingACompanyAndTabShowsItsNameAndMovesOn) {
  ASSERT_NE(Open(), nullptr);
  Fill("medCdEmpresa", "a1");  // the mask refuses the letter
  EXPECT_EQ(Text("medCdEmpresa"), "1 ");
  drive::Key(Qt::Key_Backspace);
  drive::Type("01");
  // Going to another window and back is no exit from the field.
  auto* other = window->Area()->addSubWindow(new QLabel("outra janela"));
  other->show();
  window->Area()->setActiveSubWindow(other);
  window->Area()->setActiveSubWindow(view->Frame());
  EXPECT_EQ(Text("edtNmEmpresa"), "");
  EXPECT_EQ(FocusName(), "medCdEmpresa");
  drive::Tab();
  EXPECT_EQ(Text("medCdEmpresa"), "01");
  EXPECT_EQ(Text("edtNmEmpresa"), "Comércio Paulista de Alimentos Ltda");
  EXPECT_EQ(FocusName(), "medCdImposto");
  EXPECT_TRUE(W("edtNrInscricao")->isEnabled());

  // Shift+Tab goes back, Tab again leaves the company without a second lookup.
  drive::Key(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(FocusName(), "medCdEmpresa");

  std::vector<Seen> seen;
  drive::Key(Qt::Key_Backspace);
  drive::Key(Qt::Key_Backspace);
  EXPECT_EQ(Text("edtNmEmpresa"), "");  // the change rule cleared the name
  drive::Type("77");
  ExpectMessage(seen);
  drive::Tab();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "Empresa não cadastrada.  ");
  EXPECT_EQ(seen[0].icon, QMessageBox::Critical);
  EXPECT_EQ(seen[0].title, "Erro");
  EXPECT_EQ(FocusName(), "medCdEmpresa");  // the failure kept the focus
}

TEST_F(Desktop, ASearchListFiltersAndPicksWithTheKeyboardOrADoubleClick) {
  ASSERT_NE(Open(), nullptr);
  QStringList headers;
  int rows_before = 0, rows_after = 0;
  drive::WhenModal([&](QWidget* dialog) {
    auto* list = dynamic_cast<qtfront::PickListDialog*>(dialog);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->windowTitle(), "Empresa");
    for (int c = 0; c < list->Table()->columnCount(); ++c) headers << list->Table()->headerItem()->text(c);
    rows_before = list->VisibleRows();
    drive::Type("ind");  // part of a name, in any case
    rows_after = list->VisibleRows();

    drive::Key(Qt::Key_Return);
  });
  drive::Click(W("btpEmpresa"));
  EXPECT_EQ(headers, QStringList({"Código", "Nome"}));
  EXPECT_GT(rows_before, rows_after);
  EXPECT_EQ(rows_after, 1);
  EXPECT_FALSE(Text("medCdEmpresa").trimmed().isEmpty());
  EXPECT_TRUE(Text("edtNmEmpresa").contains("ind", Qt::CaseInsensitive));

  drive::WhenModal([&](QWidget* dialog) {
    auto* list = dynamic_cast<qtfront::PickListDialog*>(dialog);
    QTreeWidgetItem* row = list->Table()->topLevelItem(0);
    QWidget* viewport = list->Table()->viewport();
    // A double click comes after the press and release of its first click.
    const QPoint at = list->Table()->visualItemRect(row).center();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
  });
  drive::Click(W("btpEmpresa"));
  EXPECT_EQ(Text("medCdEmpresa"), "01");
  EXPECT_EQ(Text("edtNmEmpresa"), "Comércio Paulista de Alimentos Ltda");

  // Cancelling leaves the fields as they were.
  drive::WhenModal([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
  drive::Click(W("btpEmpresa"));
  EXPECT_EQ(Text("medCdEmpresa"), "01");
}

TEST_F(Desktop, TheStatePickerTakesSeveralStatesAndTheMonthEditorAMonth) {
  ASSERT_NE(Open(), nullptr);
  drive::Click(W<QComboBox>("cbbArquivo")->lineEdit());
  drive::Key(Qt::Key_Down);  // "DIEF - MA": the state controls open up
  EXPECT_EQ(W<QComboBox>("cbbArquivo")->currentText(), "DIEF - MA");
  EXPECT_TRUE(W("medCodPais")->isEnabled());
  EXPECT_TRUE(W("clbArquivos")->isEnabled());
  Fill("medCodPais", "1058");
  drive::Tab();
  EXPECT_EQ(Text("edtNmPais"), "Brasil");
  EXPECT_EQ(FocusName(), "rbtEstTodos");
  EXPECT_FALSE(W("sbtPescEst")->isEnabled());
  drive::Click(W("rbtEstLista"));
  EXPECT_TRUE(W<QRadioButton>("rbtEstLista")->isChecked());
  EXPECT_FALSE(W<QRadioButton>("rbtEstTodos")->isChecked());
  ASSERT_TRUE(W("sbtPescEst")->isEnabled());

  drive::WhenModal([](QWidget* dialog) {
    auto* list = dynamic_cast<qtfront::PickListDialog*>(dialog);
    ASSERT_NE(list, nullptr);
    for (const char* state : {"MG", "SP"}) {
      auto found = list->Table()->findItems(state, Qt::MatchExactly, 0);
      ASSERT_EQ(found.size(), 1);
      list->Table()->setCurrentItem(found[0]);
      QTest::keyClick(list->Table(), Qt::Key_Space);
    }
    QTest::keyClick(dialog, Qt::Key_Return);
  });
  drive::Click(W("sbtPescEst"));
  EXPECT_EQ(Cli_mag04200::stEstado, "MG,SP");

  // The month editor writes the chosen month into the field.
  auto* month = W<qtfront::MonthField>("depMesInicial");
  drive::WhenModal([](QWidget* dialog) {
    auto* editor = dynamic_cast<qtfront::MonthYearEditor*>(dialog);
    ASSERT_NE(editor, nullptr);
    editor->YearBox()->setValue(2026);
    drive::Click(editor->MonthButton(3));
  });
  drive::Click(month->button());
  EXPECT_EQ(month->edit()->text(), "03/2026");
  EXPECT_EQ(FocusName(), "depMesInicial");
  drive::Key(Qt::Key_Up);
  EXPECT_EQ(month->edit()->text(), "04/2026");
}

TEST_F(Desktop, AClickIntoAMonthFieldAndTypingReplacesTheMonthShown) {
  ASSERT_NE(Open(), nullptr);
  auto* first = W<qtfront::MonthField>("depMesInicial");
  auto* last = W<qtfront::MonthField>("depMesFinal");
  ASSERT_FALSE(first->edit()->text().contains('_'));  // it opens on the current month
  // Clicked anywhere, by the mouse, from another field: the month typed is
  // the month written, with or without its slash.
  for (const auto& [field, typed, shown] : {std::tuple{first, QString("032026"), QString("03/2026")},
                                            {last, "04/2026", "04/2026"},
                                            {first, "112025", "11/2025"}}) {
    drive::Click(W("edtNmArquivo"));
    QTest::mouseClick(field->edit(), Qt::LeftButton, {}, QPoint(field->edit()->width() - 4, 5));
    drive::Type(typed);
    EXPECT_EQ(field->edit()->text().toStdString(), shown.toStdString()) << typed.toStdString();
  }
  // A click into the field that has the focus places the caret: the year
  // alone can be retyped.
  QTest::mouseClick(first->edit(), Qt::LeftButton, {}, QPoint(2, 5));
  drive::Key(Qt::Key_Right);
  drive::Key(Qt::Key_Right);
  drive::Key(Qt::Key_Right);
  drive::Type("2026");
  EXPECT_EQ(first->edit()->text(), "11/2026");
}

TEST_F(Desktop, AnInvalidFirstMonthCanBeCorrectedAfterTheLastMonthIsFilled) {
  ASSERT_NE(Open(), nullptr);
  // Both months emptied, as a user would find them after clearing them.
  Cli_mag04200::frmArquMag->depMesInicial->Clear();
  Cli_mag04200::frmArquMag->depMesFinal->Clear();
  std::vector<Seen> seen;
  Fill("depMesInicial", "132026");
  ExpectMessage(seen);
  drive::Tab();  // the last month is still empty: the focus goes there
  EXPECT_EQ(FocusName(), "depMesFinal");
  drive::Type("012026");
  ExpectMessage(seen);
  drive::Tab();  // the first month is invalid: the focus goes back to it
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].text, "Data final deve ser informada.");
  EXPECT_EQ(seen[1].text, "Data inválida.");
  EXPECT_EQ(FocusName(), "depMesInicial");
  drive::Key(Qt::Key_Home);
  drive::Type("012026");
  drive::Tab();
  EXPECT_EQ(seen.size(), 2u);  // no further message
  EXPECT_EQ(W<qtfront::MonthField>("depMesInicial")->edit()->text(), "01/2026");
  EXPECT_EQ(FocusName(), "depMesFinal");  // the next field of the tab order
}

TEST_F(Desktop, TickingRegistersAndExportWritesTheFileAndSaysSo) {
  ASSERT_NE(Open(), nullptr);
  drive::Click(W<QComboBox>("cbbArquivo")->lineEdit());
  drive::Key(Qt::Key_Down);
  Fill("medCdEmpresa", "02");
  drive::Tab();
  drive::Tab();  // past the tax, which this company's regime leaves alone
  EXPECT_EQ(FocusName(), "edtNrInscricao");
  drive::Type("0623079040081");
  std::vector<Seen> seen;
  // The months open on the current one; emptied, the last is asked for.
  Cli_mag04200::frmArquMag->depMesInicial->Clear();
  Cli_mag04200::frmArquMag->depMesFinal->Clear();
  Fill("depMesInicial", "012026");
  ExpectMessage(seen);  // the last month is still empty
  drive::Tab();
  drive::Type("012026");
  drive::Tab();
  for (int i = 0; i < 3; ++i) drive::Key(Qt::Key_Down);
  drive::Tab();
  drive::Key(Qt::Key_Down);
  drive::Tab();
  drive::Type("dief_janeiro.txt");
  EXPECT_EQ(W<QComboBox>("cbbVersao")->currentText(), "3 - Convênio ICMS xx/04");
  EXPECT_EQ(W<QComboBox>("cbbFinalidade")->currentText(), "1 - Normal");

  // Register 50 by a click on its box, 54 by Space on the current item.
  auto* list = W<QListWidget>("clbArquivos");
  const QRect first = list->visualItemRect(list->item(0));
  drive::ClickAt(list->viewport(), QPoint(first.left() + 8, first.center().y()));
  list->setCurrentRow(3);
  drive::Key(Qt::Key_Space);
  EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
  EXPECT_EQ(list->item(3)->checkState(), Qt::Checked);
  EXPECT_TRUE(Cli_mag04200::frmArquMag->clbArquivos->Checked(0));
  EXPECT_TRUE(Cli_mag04200::frmArquMag->clbArquivos->Checked(3));
  EXPECT_FALSE(Cli_mag04200::frmArquMag->clbArquivos->Checked(1));

  ExpectMessage(seen);
  drive::Click(W("sbtImportExport"));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].text, "Data final deve ser informada.");
  EXPECT_EQ(seen[1].text, "Exportação foi concluída com sucesso.  ");
  EXPECT_EQ(seen[1].icon, QMessageBox::Information);
  const std::string file = (demo_->out / "dief_janeiro.txt").string();
  ASSERT_TRUE(std::filesystem::exists(file));
  const auto report = layout::CheckFile(file);
  EXPECT_TRUE(report.ok()) << layout::Describe(report);
}

TEST_F(Desktop, TheBusyAnimationCoversTheFormWhileTheCallRunsOffTheUserInterfaceThread) {
  Stop();
  std::atomic<bool> off_ui_thread{false};
  Start([&off_ui_thread] { return std::make_unique<SlowTransport>(off_ui_thread); });
  ASSERT_NE(Open(), nullptr);
  bool covered = false;
  int frames = 0;
  QString busy_text;
  QString typed_during_call;
  // Looks at the screen every 50 ms while the call runs.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto& busy = view->Busy();
    if (!busy.Running()) return;
    covered = busy.isVisible() && busy.geometry() == view->rect();
    busy_text = busy.Text();
    frames = std::max(frames, busy.Frames());
    if (typed_during_call.isEmpty()) {
      // The user types while the call runs: nothing reaches the form.
      QTest::keyClicks(QApplication::focusWidget(), "9");
      typed_during_call = Text("medCdEmpresa");
    }
  });
  watch.start(50);
  Fill("medCdEmpresa", "01");
  drive::Tab();
  EXPECT_TRUE(off_ui_thread);
  EXPECT_TRUE(covered);
  EXPECT_EQ(busy_text, "Aguarde...");  // the company lookup's animation has no text of its own
  EXPECT_GT(frames, 1);                // the animation turned: the window was painted during the call
  EXPECT_EQ(typed_during_call, "01");
  EXPECT_FALSE(view->Busy().isVisible());
  EXPECT_EQ(Text("edtNmEmpresa"), "Comércio Paulista de Alimentos Ltda");
  EXPECT_EQ(Text("medCdImposto").trimmed(), "");
}

// An office's server asks who is calling: the desktop asks the password of
// server.user once, before the first call, and goes on as before.
TEST_F(Desktop, AServerWithUsersGetsThePasswordOnceFromALoginDialog) {
  const auto users = (demo_->out / "usuarios").string();
  ASSERT_EQ(std::system(("echo ana-senha-123 | " + std::string(MAG_SERVER_PATH) + " user add --users " +
                         users + " ana consulta >/dev/null")
                            .c_str()),
            0);
  ServerProcess office(demo_->database, {"--users", users, "--output-dir", demo_->out.string()});
  Stop();
  Start();
  comp::Settings().Override("server.port", std::to_string(office.port()));
  comp::Settings().Override("server.user", "ana");
  int asked = 0;
  QString title;
  // The login dialog opens while the call's busy animation covers the form:
  // it is looked for by its kind among the open windows.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* input = qobject_cast<QInputDialog*>(top);
      if (!input || !input->isVisible()) continue;
      ++asked;
      title = input->windowTitle();
      EXPECT_EQ(input->textEchoMode(), QLineEdit::Password);
      input->setTextValue("ana-senha-123");
      input->accept();
    }
  });
  watch.start(20);
  ASSERT_NE(Open(), nullptr);
  Fill("medCdEmpresa", "01");
  drive::Tab();
  EXPECT_TRUE(drive::WaitFor([&] { return Text("edtNmEmpresa") == "Comércio Paulista de Alimentos Ltda"; }));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(title, "Entrar no servidor de aplicação");
  // The tax's lookup goes with the same password: no dialog.
  drive::Tab();
  EXPECT_TRUE(drive::WaitFor([&] { return !view->Busy().Running(); }));
  EXPECT_EQ(asked, 1);
  std::filesystem::remove(users);
}

TEST_F(Desktop, TheSettingsDialogStoresTheServerAndTheDatabase) {
  const auto file =
      std::filesystem::temp_directory_path() / ("mag_desktop_" + std::to_string(getpid()) + ".conf");
  std::ofstream(file) << "# kept\nserver.host = old\n";
  qtfront::SettingsDialog dialog(file.string());
  dialog.HostBox()->setText("servidor.local");
  dialog.PortBox()->setValue(9001);
  dialog.DatabaseBox()->setText("sqlite:/tmp/outro.db");
  dialog.UserBox()->setText("ana");
  dialog.TlsBox()->setChecked(true);
  dialog.AuthorityBox()->setText("/etc/mag/tls/escritorio.crt");
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(comp::Settings().ServerHost(), "servidor.local");
  EXPECT_EQ(comp::Settings().ServerPort(), 9001);
  std::stringstream text;
  text << std::ifstream(file).rdbuf();
  EXPECT_EQ(
      text.str(),
      "# kept\nserver.host = servidor.local\ndatabase.dialect = sql\ndatabase.url = sqlite:/tmp/outro.db\n"
      "server.ca = /etc/mag/tls/escritorio.crt\nserver.port = 9001\nserver.tls = sim\nserver.user = ana\n");
  EXPECT_EQ(comp::Settings().Get("server.user", ""), "ana");
  std::filesystem::remove(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setStyle("Fusion");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
