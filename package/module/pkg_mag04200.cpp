// The package entry: the routines a host finds by name, the module globals and
// the unit's counted start-up and shut-down.
#include "package/module/pkg_mag04200.h"

#include "host/toolkit/application.h"
#include "package/form/frm_arqu_mag.h"
#include "package/module/globals.h"
#include "package/module/package_export.h"

namespace Cli_mag04200 {

TfrmArquMag* frmArquMag = nullptr;
bool boIdCriado = false;
std::string stEstado;

namespace {
int unit_counter = 0;
}

void CriaArqMag() {
  tk::TScreen& screen = tk::Application().Screen();
  screen.SetCursor(tk::crHourGlass);
  if (!boIdCriado) {
    tk::Application().CreateForm(frmArquMag);
    boIdCriado = true;
  }
  frmArquMag->SetWindowState(tk::TWindowState::wsNormal);
  frmArquMag->Show();
  screen.SetCursor(tk::crDefault);
}

void initialization() { --unit_counter; }

void Finalization() {
  if (++unit_counter != 0) return;
  stEstado.clear();
}

}  // namespace Cli_mag04200

namespace {
void UnitInitialization() { Cli_mag04200::initialization(); }
void UnitFinalization() { Cli_mag04200::Finalization(); }

const PackageUnitEntry kUnits[] = {{"Cli_mag04200", UnitInitialization, UnitFinalization}};
const PackageInfoTable kPackageInfo = {static_cast<int>(sizeof kUnits / sizeof kUnits[0]), kUnits};
}  // namespace

extern "C" {

MAG_PACKAGE_EXPORT void IniProc(void) {
  try {
    Cli_mag04200::CriaArqMag();
  } catch (...) {
    // The host's application reports it, as it reports any error of a menu
    // command; the hourglass stays until the host resets it, as after any
    // failed creation.
    tk::Application().HandleException(std::current_exception());
  }
}

MAG_PACKAGE_EXPORT void Initialize(void) {
  for (const PackageUnitEntry& unit : kUnits) unit.initialization();
}

MAG_PACKAGE_EXPORT void Finalize(void) {
  for (int i = kPackageInfo.unit_count - 1; i >= 0; --i) kUnits[i].finalization();
}

MAG_PACKAGE_EXPORT const PackageInfoTable* GetPackageInfoTable(void) { return &kPackageInfo; }
}

// The same start-up and shut-down under the package's own names.
namespace Pkg_mag04200 {
MAG_PACKAGE_EXPORT void PackageLoad() { Initialize(); }
MAG_PACKAGE_EXPORT void PackageUnload() { Finalize(); }
}  // namespace Pkg_mag04200
