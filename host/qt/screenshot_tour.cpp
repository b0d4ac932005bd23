// mag-screenshots: opens the desktop host, walks through the magnetic-file
// screen as a user does (a company looked up, a search list, an export) and
// saves what the display shows at each step as PNG files. Run it under a real
// X server (scripts/screenshots starts Xvfb) so that the pictures are what a
// user sees.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QDir>
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
  Tour(qtfront::MainWindow& window, QString out) : window_(window), out_(std::move(out)) {}

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
    drive::Click(drive::Find(view, "depMesInicial")->focusProxy());
    drive::Type("012026");
    // Leaving the first month while the last is empty is reported; the user
    // closes the message and goes on.
    drive::WhenModal([](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); });
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
    return failed_ ? 1 : 0;
  }

 private:
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
  Tour tour(window, QString::fromStdString(out));
  return tour.Run();
}
