#pragma once
// A host without a screen: it sets up the application object with a dialogs
// backend, the shared data module and the server transport, loads the package,
// starts its units and calls IniProc. The batch front-end and the tests use it.
#include <memory>
#include <string>

#include "host/components/net_connection.h"
#include "host/loader/package_loader.h"
#include "host/toolkit/dialogs.h"

namespace host {

class HeadlessHost {
 public:
  // The dialogs backend is not owned and must outlive the host. Settings are
  // read from comp::Settings() as they stand.
  explicit HeadlessHost(tk::IDialogs& dialogs, comp::TransportFactory transport = {});
  ~HeadlessHost();
  HeadlessHost(const HeadlessHost&) = delete;
  HeadlessHost& operator=(const HeadlessHost&) = delete;

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
