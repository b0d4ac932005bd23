// mag-screenshots: opens the desktop host, walks through the magnetic-file
// screen as a user does (a company looked up, a search list, an export and
// the verdict on its file), brings a folder of documents in, checks a file
// with faults, and saves what the display shows at each step as PNG files.
// Run it under a real X server (scripts/screenshots starts Xvfb) so that the
// pictures are what a user sees.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <iostream>

#include "host/components/host_settings.h"
#include "host/qt/main_window.h"
#include "host/qt/ui_driver.h"

namespace {

namespace drive = qtfront::drive;

class Tour {
 public:
  Tour(qtfront::MainWindow& window, QString out, QString documents)
      : window_(window), out_(std::move(out)), documents_(std::move(documents)) {}

  int Run() {
    window_.OpenScreen();
    qtfront::FormView* view = window_.View("frmArquMag");
    if (!view) return Fail("the screen did not open");
    QTest::qWait(300);
    Save("01-tela-inicial.png");

    drive::Click(drive::Find(view, "medCdEmpresa"));
    drive::Type("01");
    drive::Tab();
    auto* name = drive::Find<QLineEdit>(view, "edtNmEmpresa");
    if (!drive::WaitFor([&] { return !name->text().isEmpty(); })) return Fail("no company name appeared");
    QTest::qWait(200);
    Save("02-empresa.png");

    drive::WhenModal([this](QWidget* list) {
      QTest::qWait(200);
      drive::Type("01");
      QTest::qWait(200);
      Save("03-lista-pesquisa.png");
      QTest::keyClick(list, Qt::Key_Return);
    });
    drive::Click(drive::Find(view, "btpImposto"));

    drive::Click(drive::Find(view, "edtNrInscricao"));
    drive::Type("110042490114");
    // The months open on the current one: a click and the month typed
    // replace it.
    drive::Click(drive::Find(view, "depMesInicial")->focusProxy());
    drive::Type("012026");
    drive::Tab();
    drive::Type("012026");
    drive::Tab();
    for (int i = 0; i < 3; ++i) drive::Key(Qt::Key_Down);
    drive::Tab();
    drive::Key(Qt::Key_Down);
    drive::Tab();
    drive::Type("sintegra_tour.txt");

    bool success = false;
    drive::WhenModal([this, &success](QWidget* box) {
      QTest::qWait(200);
      Save("04-sucesso.png");
      auto* message = qobject_cast<QMessageBox*>(box);
      success = message && message->text().startsWith("Exportação foi concluída com sucesso.");
      if (!success && message) std::cerr << "mag-screenshots: " << message->text().toStdString() << "\n";
      QTest::keyClick(box, Qt::Key_Return);
    });
    drive::Click(drive::Find(view, "sbtImportExport"));
    if (!success) return Fail("the export did not end with the success message");

    // The host checks the file the export wrote and says so.
    if (!drive::WaitFor([&] { return !window_.CheckingWrittenFile() && !window_.Verdict().isEmpty(); },
                        30000))
      return Fail("no verdict on the exported file");
    QTest::qWait(200);
    Save("05-veredito.png");
    if (Import() != 0 || Check(window_.VerdictPath()) != 0) return 1;
    return failed_ ? 1 : 0;
  }

 private:
  int Import() {
    qtfront::ImportWindow* w = window_.OpenImport(qtfront::ImportWindow::Mode::Documents);
    window_.Area()->activeSubWindow()->resize(900, 560);
    w->AddPaths({documents_});
    w->SetEstablishment("01", "244005621111");
    w->Start();
    if (!drive::WaitFor([&] { return !w->Running(); }, 60000)) return Fail("the import did not end");
    if (w->ResultRows()->rowCount() == 0)
      return Fail("the import gave no rows: " + w->Summary()->toPlainText().toStdString());
    QTest::qWait(200);
    Save("06-importacao.png");
    window_.Area()->activeSubWindow()->close();
    return 0;
  }

  int Check(const QString& written) {
    // The exported file with faults planted: a party's CNPJ with a wrong
    // check digit and a line cut short.
    QFile source(written);
    if (!source.open(QIODevice::ReadOnly)) return Fail("cannot read " + written.toStdString());
    QList<QByteArray> lines = source.readAll().split('\n');
    for (QByteArray& line : lines) {
      if (line.startsWith("50")) {
        line[15] = line[15] == '9' ? '0' : static_cast<char>(line[15] + 1);
        break;
      }
    }
    for (QByteArray& line : lines) {
      if (line.startsWith("54")) {
        line = line.left(100) + "\r";
        break;
      }
    }
    const QString broken = QDir(out_).filePath("arquivo-com-erros.txt");
    QFile target(broken);
    if (!target.open(QIODevice::WriteOnly) || target.write(lines.join('\n')) < 0)
      return Fail("cannot write the file");
    target.close();
    qtfront::CheckWindow* check = window_.OpenCheck(broken);
    window_.Area()->activeSubWindow()->resize(900, 560);
    if (!drive::WaitFor([&] { return check->CurrentState() == qtfront::CheckWindow::State::Checked; }, 30000))
      return Fail("the check did not end");
    check->Findings()->expandToDepth(0);
    QTest::qWait(200);
    Save("07-verificacao.png");
    return 0;
  }

  void Save(const QString& file) {
    QApplication::processEvents();
    const QRect area = window_.frameGeometry();
    const QPixmap shot =
        QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const QString path = QDir(out_).filePath(file);
    if (!shot.save(path)) {
      std::cerr << "mag-screenshots: cannot write " << path.toStdString() << "\n";
      failed_ = true;
      return;
    }
    std::cout << path.toStdString() << std::endl;
  }
  int Fail(const std::string& why) {
    std::cerr << "mag-screenshots: " << why << "\n";
    return 1;
  }

  qtfront::MainWindow& window_;
  QString out_;
  QString documents_;
  bool failed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setStyle("Fusion");

  CLI::App cli{"mag-screenshots: pictures of the magnetic-file screen in use"};
  std::string out = ".", server, database, package = host::PackageHost::DefaultPackagePath();
  cli.add_option("--out", out, "directory for the PNG files")->capture_default_str();
  cli.add_option("--server", server, "application server as HOST:PORT")->required();
  cli.add_option("--database", database, "database of the lookups")->required();
  cli.add_option("--package", package, "the screen's package")->capture_default_str();
  std::string documents = "tests/data/import";
  cli.add_option("--documents", documents, "a folder of documents to bring in")->capture_default_str();
  CLI11_PARSE(cli, argc, argv);

  const auto colon = server.rfind(':');
  comp::Settings().Override("server.host", server.substr(0, colon));
  comp::Settings().Override("server.port", server.substr(colon + 1));
  comp::Settings().Override("database.url", database);
  QDir().mkpath(QString::fromStdString(out));

  qtfront::MainWindow window(package, "/dev/null");
  window.move(0, 0);
  window.show();
  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window)) {
    std::cerr << "mag-screenshots: the window never showed\n";
    return 1;
  }
  Tour tour(window, QString::fromStdString(out), QString::fromStdString(documents));
  return tour.Run();
}
