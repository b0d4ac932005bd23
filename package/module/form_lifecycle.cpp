// Creation, activation and closing of the form, and the server connection
// they open and close.
#include "host/components/host_settings.h"
#include "package/form/frm_arqu_mag.h"
#include "package/module/globals.h"

void TfrmArquMag::FormCreate(tk::TComponent& sender) {
  comp::TfrmPadrImportExport::FormCreate(sender);
  cdsRegistro->CreateDataSet();
  cdsRegistro75->CreateDataSet();
  netArqMag->SetConnected(true);
  depInventario->SetText("");
}

void TfrmArquMag::netArqMagBeforeConnect(tk::TComponent&) {
  // Read at every connect: a change of the host's settings reaches the next
  // opening of the form.
  netArqMag->SetPort(comp::WebPort());
  netArqMag->SetHost(comp::WebURL());
}

void TfrmArquMag::FormActivate(tk::TComponent&) {
  Refresh();
  if (cbbArquivo->OnChange) cbbArquivo->OnChange(*cbbArquivo);
}

void TfrmArquMag::FormClose(tk::TComponent& sender, tk::TCloseAction& action) {
  comp::TfrmPadrImportExport::FormClose(sender, action);
  Cli_mag04200::boIdCriado = false;
  netArqMag->SetConnected(false);
}
