#pragma once
// The host side of the package: it sets up the application object with a dialogs
// backend, the shared data module and the server transport, loads the package,
// starts its units and calls IniProc. The desktop host, the batch front-end and
// the tests use it.
#include <memory>
#include <string>

#include "host/components/net_connection.h"
#include "host/loader/package_loader.h"
#include "host/toolkit/dialogs.h"

namespace host {

class PackageHost {
 public:
  // The dialogs backend is not owned and must outlive the host. Settings are
  // read from comp::Settings() as they stand.
  explicit PackageHost(tk::IDialogs& dialogs, comp::TransportFactory transport = {});
  ~PackageHost();
  PackageHost(const PackageHost&) = delete;
  PackageHost& operator=(const PackageHost&) = delete;

  // Points the shared data module at the database of the settings as they
  // stand now; the next lookup opens it.
  static void ApplyDatabaseSettings();

  // The package next to the running program: <dir>/../lib/Pkg_mag04200.so.
  static std::string DefaultPackagePath();

  // Loads the package and starts its units. Throws PackageLoadError.
  void Load(const std::string& path);
  bool Loaded() const { return package_ != nullptr; }
  // Calls the package's IniProc (errors reach the application's dialogs).
  void IniProc();
  // Destroys the package's forms, shuts its units down and unloads it.
  void Unload();
  const Package& package() const { return *package_; }

 private:
  std::unique_ptr<Package> package_;
  void (*ini_proc_)() = nullptr;
  void (*finalize_)() = nullptr;
};

}  // namespace host
