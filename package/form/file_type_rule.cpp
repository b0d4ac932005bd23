// The file-type rule and the controls it drives: the state selection and the
// inventory option.
#include "package/form/frm_arqu_mag.h"
#include "package/module/globals.h"

void TfrmArquMag::cbbArquivoChange(tk::TComponent&) {
  // Only the state variants ask for a country, states and a register list;
  // the national file and the RS variant take the inventory and 88 options.
  const std::string& type = cbbArquivo->Text();
  const bool country = type != "SINTEGRA" && type != "SINTEGRA - RS";
  for (tk::TControl* c : std::initializer_list<tk::TControl*>{
           lblPais, medCodPais, sbtPescPais, lblEstado, grbEstado, rbtEstTodos, rbtEstLista, clbArquivos}) {
    c->SetEnabled(country);
  }
  ckcInventario->SetEnabled(!country);
  ckcRegistro88st->SetEnabled(!country);
  if (!ckcInventario->Enabled()) ckcInventario->SetChecked(false);
  if (!ckcRegistro88st->Enabled()) ckcRegistro88st->SetChecked(false);
  if (!country) rbtEstTodosClick(*rbtEstTodos);
}

void TfrmArquMag::rbtEstTodosClick(tk::TComponent&) {
  sbtPescEst->SetEnabled(!rbtEstTodos->Checked());
  Cli_mag04200::stEstado.clear();
}

void TfrmArquMag::rbtEstListaClick(tk::TComponent&) { sbtPescEst->SetEnabled(rbtEstLista->Checked()); }

void TfrmArquMag::ckcInventarioClick(tk::TComponent&) {
  depInventario->SetEnabled(ckcInventario->Checked());
  lblRefInve->SetEnabled(ckcInventario->Checked());
}
