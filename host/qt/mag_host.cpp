// mag-host: the desktop application. A main window with the menu entry of
// the magnetic-file screen; the screen itself comes from its package.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QMessageBox>
#include <iostream>

#include "host/components/host_settings.h"
#include "host/loader/package_host.h"
#include "host/qt/main_window.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setStyle("Fusion");

  CLI::App cli{"mag-host: the desktop application with the magnetic-file screen"};
  std::string settings = comp::HostSettings::DefaultPath();
  std::string server, database, package = host::PackageHost::DefaultPackagePath();
  bool open = false;
  cli.add_option("--settings", settings, "settings file")->capture_default_str();
  cli.add_option("--server", server, "application server as HOST:PORT (overrides the settings)");
  cli.add_option("--database", database,
                 "database of the lookups, e.g. sqlite:/path/db (overrides the settings)");
  cli.add_option("--package", package, "the screen's package")->capture_default_str();
  cli.add_flag("--open", open, "open the magnetic-file screen at start");
  CLI11_PARSE(cli, argc, argv);

  try {
    comp::Settings().LoadFile(settings);
    if (!server.empty()) {
      const auto colon = server.rfind(':');
      if (colon == std::string::npos) throw std::runtime_error("--server expects HOST:PORT");
      comp::Settings().Override("server.host", server.substr(0, colon));
      comp::Settings().Override("server.port", server.substr(colon + 1));
      comp::Settings().ServerPort();
    }
    if (!database.empty()) comp::Settings().Override("database.url", database);
  } catch (const std::exception& e) {
    std::cerr << "mag-host: " << e.what() << "\n";
    return 2;
  }

  qtfront::MainWindow window(package, settings);
  window.show();
  if (open) window.OpenScreen();
  return QApplication::exec();
}
