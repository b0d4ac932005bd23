// mag-screen: opens the magnetic-file screen headless, as the host would, and
// prints what it shows: every control with its text, state and focus, and
// every dialog that opened on the way.
#include <cstdio>
#include <iostream>
#include <string>

#include "host/components/host_settings.h"
#include "host/loader/package_host.h"
#include "host/net/http_transport.h"
#include "host/toolkit/application.h"
#include "host/toolkit/form_dump.h"
#include "host/toolkit/headless_dialogs.h"

namespace {
void Usage(std::ostream& out) {
  out << "usage: mag-screen [--package PATH] [--settings FILE] [--set KEY=VALUE]...\n"
         "Opens the screen MAG04200 headless, connected to the application server of the settings,\n"
         "and prints its state.\n"
         "  --package PATH     the package to load (default: ../lib/Pkg_mag04200.so beside this program)\n"
         "  --settings FILE    the host's settings file (default: $MAG_SETTINGS or "
         "~/.config/mag04200/host.conf)\n"
         "  --set KEY=VALUE    override one setting (server.host, server.port, database.url, "
         "database.dialect)\n";
}
}  // namespace

int main(int argc, char** argv) {
  std::string package = host::PackageHost::DefaultPackagePath();
  std::string settings_file = comp::HostSettings::DefaultPath();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
      return argv[++i];
    };
    try {
      if (arg == "--help" || arg == "-h") {
        Usage(std::cout);
        return 0;
      } else if (arg == "--package") {
        package = value();
      } else if (arg == "--settings") {
        settings_file = value();
      } else if (arg == "--set") {
        const std::string pair = value();
        const auto eq = pair.find('=');
        if (eq == std::string::npos) throw std::invalid_argument("--set takes KEY=VALUE, not '" + pair + "'");
        comp::Settings().Override(pair.substr(0, eq), pair.substr(eq + 1));
      } else {
        throw std::invalid_argument("unknown option " + arg);
      }
    } catch (const std::exception& e) {
      std::cerr << "mag-screen: " << e.what() << "\n";
      Usage(std::cerr);
      return 2;
    }
  }

  try {
    comp::Settings().LoadFile(settings_file);
    tk::HeadlessDialogs dialogs;
    dialogs.OnEvent = [](const tk::DialogEvent& e) {
      std::cout << tk::DialogEventKindName(e.kind) << ": " << e.text << "\n";
    };
    host::PackageHost host(dialogs, net::HttpTransportFactory());
    host.Load(package);
    host.IniProc();
    for (tk::TForm* form : tk::Application().Forms()) std::cout << tk::DescribeForm(*form);
    host.Unload();
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "mag-screen: " << e.what() << "\n";
    return 2;
  }
}
