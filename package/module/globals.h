#pragma once
// The module's globals and entries, qualified by the unit that owns them.
#include <string>

#include "package/module/package_export.h"

class TfrmArquMag;

namespace Cli_mag04200 {

// The form instance (null while none exists).
MAG_PACKAGE_EXPORT extern TfrmArquMag* frmArquMag;
// True while a form instance exists.
MAG_PACKAGE_EXPORT extern bool boIdCriado;
// The states chosen in the state picker. It belongs to the module, not to the
// form: closing the form keeps it; unloading the module empties it.
MAG_PACKAGE_EXPORT extern std::string stEstado;

// Creates the form once and shows it; later calls bring the same window back.
MAG_PACKAGE_EXPORT void CriaArqMag();

// The unit's start-up and shut-down. Calls are counted: the shut-down that
// brings the count back to zero releases the state list.
MAG_PACKAGE_EXPORT void initialization();
MAG_PACKAGE_EXPORT void Finalization();

}  // namespace Cli_mag04200
