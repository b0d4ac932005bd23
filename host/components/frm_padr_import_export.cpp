#include "host/components/frm_padr_import_export.h"

namespace comp {

TfrmPadrImportExport::TfrmPadrImportExport(tk::TComponent* owner, std::string class_name, std::string name)
    : tk::TForm(owner, std::move(class_name), std::move(name)) {
  lblCodTela = &Create<tk::TLabel>("lblCodTela");
  grbDadosRel = &Create<tk::TGroupBox>("grbDadosRel");
  Image1 = &Create<tk::TImage>("Image1");
  Image2 = &Create<tk::TImage>("Image2");
  panMenu = &Create<tk::TPanel>("panMenu");
  panBotoes = &Create<tk::TPanel>("panBotoes");
  sbtImportExport = &Create<tk::TButtonFlat>("sbtImportExport");
  panProgresso = &Create<tk::TPanel>("panProgresso");
  lblProgresso = &Create<tk::TLabel>("lblProgresso");
  pgbProgresso = &Create<tk::TProgressBar>("pgbProgresso");
  msgPadrao = &Create<TMessages>("msgPadrao");

  grbDadosRel->SetParent(this);
  Image1->SetParent(grbDadosRel);
  Image2->SetParent(grbDadosRel);
  panMenu->SetParent(this);
  lblCodTela->SetParent(panMenu);
  panBotoes->SetParent(panMenu);
  sbtImportExport->SetParent(panBotoes);
  panProgresso->SetParent(this);
  lblProgresso->SetParent(panProgresso);
  pgbProgresso->SetParent(panProgresso);

  panMenu->SetBounds(521, 0, 55, 550);
  panBotoes->SetBounds(4, 30, 47, 40);
  lblCodTela->SetBounds(1, 8, 53, 13);
  sbtImportExport->SetBounds(4, 4, 39, 32);
  panProgresso->SetBounds(0, 530, 521, 20);

  OnCreate = [this](tk::TComponent& sender) { FormCreate(sender); };
  OnClose = [this](tk::TComponent& sender, tk::TCloseAction& action) { FormClose(sender, action); };
}

void TfrmPadrImportExport::FormCreate(tk::TComponent&) {
  pgbProgresso->SetPosition(pgbProgresso->Min());
  lblProgresso->SetCaption("");
}

void TfrmPadrImportExport::FormClose(tk::TComponent&, tk::TCloseAction& action) {
  // Import and export screens hold connections and datasets: a closed screen
  // is released, never kept hidden.
  action = tk::TCloseAction::caFree;
}

}  // namespace comp
