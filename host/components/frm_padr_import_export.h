#pragma once
// The host's base form for import and export screens: a data group on the
// left, a button column with the Export button on the right, a progress panel
// and the message catalogue. Closing it releases it.
#include <string>

#include "host/components/messages.h"
#include "host/toolkit/buttons.h"
#include "host/toolkit/form.h"
#include "host/toolkit/static_controls.h"

namespace comp {

class TfrmPadrImportExport : public tk::TForm {
 public:
  TfrmPadrImportExport(tk::TComponent* owner, std::string class_name, std::string name);

  tk::TLabel* lblCodTela;
  tk::TGroupBox* grbDadosRel;
  tk::TImage* Image1;
  tk::TImage* Image2;
  tk::TPanel* panMenu;
  tk::TPanel* panBotoes;
  tk::TButtonFlat* sbtImportExport;
  tk::TPanel* panProgresso;
  tk::TLabel* lblProgresso;
  tk::TProgressBar* pgbProgresso;
  TMessages* msgPadrao;

  // The base handlers; a derived form replaces them and calls these first.
  virtual void FormCreate(tk::TComponent& sender);
  virtual void FormClose(tk::TComponent& sender, tk::TCloseAction& action);
};

}  // namespace comp
