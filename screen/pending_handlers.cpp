// The Export command and the paged generation are not built yet: they are
// bound so that the form definition is complete, and do nothing until then.
#include "screen/frm_arqu_mag.h"

void TfrmArquMag::sbtImportExportClick(tk::TComponent&) {}
void TfrmArquMag::AbreQuerys() {}
