// The country, the state selection, the magnetic book, the reference months,
// the inventory month and the key filters of the file name and the lists.
#include <algorithm>

#include "host/components/consiste.h"
#include "lib/wire/file_name.h"
#include "package/form/frm_arqu_mag.h"
#include "package/form/handler_support.h"
#include "package/module/globals.h"
#include "package/services/lookup_call.h"

void TfrmArquMag::medCodPaisChange(tk::TComponent&) {
  edtNmPais->Clear();
  Cli_mag04200::stEstado.clear();
  rbtEstTodos->SetChecked(true);
}

void TfrmArquMag::medCodPaisExit(tk::TComponent&) { Vd_Pais(false); }

void TfrmArquMag::Vd_Pais(bool) {
  // Emptiness is judged on the text as typed, before the adjustment.
  const std::string text = medCodPais->Text();
  const bool empty = comp::EmptyString(text);
  medCodPais->SetText(comp::Ajusta(text, 4));
  FocusBackOnFailure(*medCodPais, [&] {
    if (empty) return;
    qryPais->Close();
    qryPais->ParamByName("P_CDPAIS").SetAsString(medCodPais->Text());
    qryPais->Open();
    if (qryPais->IsEmpty()) Report("COD_NAO_CAD");
  });
  edtNmPais->SetText(empty ? std::string() : qryPais->FieldByName("NMPAIS").AsString());
}

void TfrmArquMag::sbtPescPaisBeforePesq(tk::TComponent&, bool&) {
  qryPais->Close();
  qryPais->ParamByName("P_CDPAIS").Clear();
  qryPais->Open();
}

void TfrmArquMag::sbtPescPaisAfterPesq(tk::TComponent&) {
  // The code first: its change rule clears the name, which comes after.
  medCodPais->SetText(qryPais->FieldByName("CDPAIS").AsString());
  edtNmPais->SetText(qryPais->FieldByName("NMPAIS").AsString());
}

void TfrmArquMag::sbtPescEstClick(tk::TComponent&) {
  FocusBackOnFailure(*medCodPais, [&] {
    qryEstado->Close();
    qryEstado->Open();
    if (comp::EmptyString(medCodPais->Text())) Report("INFO_COD_PAIS");
    comp::PesquisaLista(dtsEstado, "SGESTADO", msgPadrao->Msg("Estado"), false, Cli_mag04200::stEstado);
  });
}

void TfrmArquMag::qryEstadoBeforeOpen(tk::TComponent&) {
  qryEstado->ParamByName("P_CDPAIS").SetAsString(medCodPais->Text());
}

void TfrmArquMag::Vd_Estado(bool required) {
  if (required && comp::EmptyString(Cli_mag04200::stEstado) && rbtEstLista->Checked()) {
    rbtEstLista->SetFocus();
    Report("Est_Info");
  }
}

void TfrmArquMag::Vd_Data(bool required) {
  if (comp::EmptyString(depMesInicial->Text())) {
    depMesInicial->SetFocus();
    Report("DTINICIAL_INF");
  }
  if (comp::EmptyString(depMesFinal->Text())) {
    depMesFinal->SetFocus();
    Report("DTFINAL");
  }
  // An invalid month takes the focus before it is reported, whichever month
  // was being left: kept in the other one, the user could never correct it.
  for (comp::TDateEditPlus* month : {depMesInicial, depMesFinal}) {
    if (!month->IsValidDate()) month->SetFocus();
    month->CheckValidDate();
  }
  if (required && !(depMesFinal->GetDate() >= depMesInicial->GetDate())) {
    depMesInicial->SetFocus();
    Report("Dt_inv");
  }
}

void TfrmArquMag::depMesInicialExit(tk::TComponent&) { Vd_Data(false); }

void TfrmArquMag::depMesFinalExit(tk::TComponent&) { Vd_Data(false); }

void TfrmArquMag::medLivroChange(tk::TComponent&) { edtLivro->Clear(); }

void TfrmArquMag::medLivroExit(tk::TComponent&) { Vd_Livro(false); }

void TfrmArquMag::Vd_Livro(bool) {
  const std::string text = medLivro->Text();
  const bool empty = comp::EmptyString(text);
  FocusBackOnFailure(*medLivro, [&] {
    medLivro->SetText(comp::Ajusta(text, 10));
    // Called on every run, an empty field included; an empty book is never
    // reported.
    LookupServerCall(*netArqMag, "GetLivroMag", {medLivro->Text(), ""}, *cdsLivroMag);
    if (cdsLivroMag->IsEmpty() && !empty) Report("Livro_cad");
  });
  medLivro->SetText(cdsLivroMag->FieldByName("CDLIVROMAG").AsString());
  edtLivro->SetText(cdsLivroMag->FieldByName("NMLIVROMAG").AsString());
}

void TfrmArquMag::sbtPesqLivroBeforePesq(tk::TComponent&, bool&) {
  WithBusyAnimation(msgPadrao->Msg("Carg_Livro"), [&] {
    LookupServerCall(*netArqMag, "GetLivroMag", {"", "T"}, *cdsLivroMag);
  });
}

void TfrmArquMag::sbtPesqLivroAfterPesq(tk::TComponent&) {
  medLivro->SetText(cdsLivroMag->FieldByName("CDLIVROMAG").AsString());
  edtLivro->SetText(cdsLivroMag->FieldByName("NMLIVROMAG").AsString());
}

void TfrmArquMag::depInventarioExit(tk::TComponent&) { depInventario->CheckValidDate(); }

void TfrmArquMag::edtNmArquivoKeyPress(tk::TComponent&, char32_t& key) {
  if (wire::IsForbiddenInFileName(key)) Report("Chr_Inv");
}

// The lists are set by choosing an item; no typed character reaches them.
void TfrmArquMag::cbbArquivoKeyPress(tk::TComponent&, char32_t& key) { key = U'\0'; }
void TfrmArquMag::cbbVersaoKeyPress(tk::TComponent&, char32_t& key) { key = U'\0'; }
void TfrmArquMag::cbbFinalidadeKeyPress(tk::TComponent&, char32_t& key) { key = U'\0'; }
