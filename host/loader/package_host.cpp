#include "host/loader/package_host.h"

#include <unistd.h>

#include <filesystem>

#include "host/components/db_geral.h"
#include "host/components/host_settings.h"
#include "host/toolkit/application.h"

namespace host {

PackageHost::PackageHost(tk::IDialogs& dialogs, comp::TransportFactory transport) {
  tk::Application().SetDialogs(&dialogs);
  comp::SetTransportFactory(std::move(transport));
  if (!comp::dtmDBGeral) comp::dtmDBGeral = new comp::TdtmDBGeral(nullptr);
  ApplyDatabaseSettings();
}

void PackageHost::ApplyDatabaseSettings() {
  comp::dtmDBGeral->adcGeral->SetConnectionString(comp::Settings().DatabaseUrl());
  comp::dtmDBGeral->adcGeral->SetDialect(comp::DialectFromName(comp::Settings().Dialect()));
}

PackageHost::~PackageHost() {
  Unload();
  delete comp::dtmDBGeral;
  comp::dtmDBGeral = nullptr;
  comp::SetTransportFactory({});
  tk::Application().SetDialogs(nullptr);
}

std::string PackageHost::DefaultPackagePath() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  const auto dir = error ? std::filesystem::current_path() : self.parent_path();
  return (dir.parent_path() / "lib" / "Pkg_mag04200.so").string();
}

void PackageHost::Load(const std::string& path) {
  Unload();
  auto package = std::make_unique<Package>(path);
  auto* initialize = package->Entry<void()>("Initialize");
  auto* finalize = package->Entry<void()>("Finalize");
  auto* ini_proc = package->Entry<void()>("IniProc");
  initialize();
  package_ = std::move(package);
  finalize_ = finalize;
  ini_proc_ = ini_proc;
}

void PackageHost::IniProc() {
  if (!ini_proc_) throw PackageLoadError("no package is loaded");
  ini_proc_();
  tk::Application().ProcessMessages();
}

void PackageHost::Unload() {
  if (!package_) return;
  // The package's forms run code of the package: they go before it does,
  // closed as the user closes them, so that the package's own state follows
  // (a package that stays mapped keeps its globals for the next load).
  for (tk::TForm* form : tk::Application().Forms()) {
    try {
      form->Close();
    } catch (...) {
      // A form that fails to close is destroyed below all the same.
    }
  }
  tk::Application().ProcessMessages();
  tk::Application().DestroyAllForms();
  finalize_();
  package_.reset();
  ini_proc_ = finalize_ = nullptr;
}

}  // namespace host
