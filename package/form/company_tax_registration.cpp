// The company, tax, registration and substitute-registration fields: their
// lookups, validators, change rules and the enabling they steer.
#include "host/components/consiste.h"
#include "package/form/frm_arqu_mag.h"
#include "package/form/handler_support.h"
#include "package/module/globals.h"
#include "package/services/lookup_call.h"

TfrmArquMag::RegistrationKind TfrmArquMag::CurrentRegistrationKind() {
  // The current row of the tax list decides: exactly "M" is municipal,
  // anything else (no row included) is a state registration.
  if (cdsImposto->FieldByName("IDORGARRECADNFE").AsString() == "M") {
    return {qryInscrMunicip, "P_INSCMUNI", "P_TINSCMUNI", "CDINSCMUNI", "InscMuni_Inf", "InscMuni_Cad"};
  }
  return {qryInscrEstad, "P_INSCESTA", "P_TINSCESTA", "CDINSCESTA", "InscEsta_Inf", "InscEsta_cad"};
}

void TfrmArquMag::Report(const std::string& key) { comp::MensErro(msgPadrao->Msg(key), true); }

void TfrmArquMag::medCdEmpresaChange(tk::TComponent&) {
  edtNmEmpresa->Clear();
  edtNrInscricao->Clear();
  edtNrInscricaoST->Clear();
}

void TfrmArquMag::Vd_Empresa(bool required) {
  FocusBackOnFailure(*medCdEmpresa, [&] {
    const std::string text = medCdEmpresa->Text();
    if (comp::EmptyString(text)) {
      if (required) Report("Empr_Inf");
      return;
    }
    // The code is written before the lookup: its change rule clears the name,
    // which the lookup then writes again.
    medCdEmpresa->SetText(comp::Ajusta(text, 2));
    WithBusyAnimation(
        "", [&] { LookupServerCall(*netArqMag, "GetEmpresa", {medCdEmpresa->Text()}, *cdsEmpresa); });
    if (cdsEmpresa->IsEmpty()) Report("Empr_Cad");
    edtNmEmpresa->SetText(cdsEmpresa->FieldByName("NMEMPRESA").AsString());
    if (cdsEmpresaCDSITUCRT->AsString() == "3") {
      for (tk::TControl* c : std::initializer_list<tk::TControl*>{
               lblImposto, medCdImposto, btpImposto, lblInscricao, edtNrInscricao, btpInscricao}) {
        c->SetEnabled(true);
      }
      return;
    }
    btpInscricao->SetDataSource(dtsInscrEstad);
    btpInscricao->SetEmptyError(msgPadrao->Msg("InscEsta"));
    lblInscricao->SetEnabled(true);
    edtNrInscricao->SetEnabled(true);
    btpInscricao->SetEnabled(true);
    lblImposto->SetEnabled(false);
    medCdImposto->Clear();
    medCdImposto->SetEnabled(false);
    edtNmImposto->Clear();
    btpImposto->SetEnabled(false);
  });
}

void TfrmArquMag::ApplyRegimeRule() {
  if (cdsEmpresaCDSITUCRT->AsString() == "3") {
    medCdImposto->SetEnabled(true);
  } else {
    edtNrInscricao->SetEnabled(true);
  }
}

void TfrmArquMag::medCdEmpresaExit(tk::TComponent&) {
  Vd_Empresa(false);
  ApplyRegimeRule();
}

void TfrmArquMag::btpEmpresaBeforePesq(tk::TComponent&, bool&) {
  WithBusyAnimation("", [&] { LookupServerCall(*netArqMag, "GetEmpresa", {"T"}, *cdsEmpresa); });
}

void TfrmArquMag::btpEmpresaAfterPesq(tk::TComponent&) {
  medCdEmpresa->SetText(cdsEmpresa->FieldByName("CDEMPRESA").AsString());
  edtNmEmpresa->SetText(cdsEmpresa->FieldByName("NMEMPRESA").AsString());
  ApplyRegimeRule();
}

void TfrmArquMag::medCdImpostoChange(tk::TComponent&) {
  edtNmImposto->Clear();
  edtNrInscricao->Clear();
}

void TfrmArquMag::medCdImpostoExit(tk::TComponent&) { Vd_Imposto(false); }

void TfrmArquMag::Vd_Imposto(bool required) {
  if (!medCdImposto->Enabled()) return;
  FocusBackOnFailure(*medCdImposto, [&] {
    const std::string text = medCdImposto->Text();
    if (comp::EmptyString(text)) {
      if (required) Report("Impo_Inf");
      return;
    }
    medCdImposto->SetText(comp::Ajusta(text, 2));
    LookupServerCall(*netArqMag, "GetImpostonfe", {medCdImposto->Text(), ""}, *cdsImposto);
    if (cdsImposto->IsEmpty()) Report("Impo_Cad");
    edtNmImposto->SetText(cdsImposto->FieldByName("SGIMPOSTONFE").AsString());
    const std::string authority = cdsImposto->FieldByName("IDORGARRECADNFE").AsString();
    if (authority.empty() || authority[0] != 'E') Report("Org_arre");
    btpInscricao->SetDataSource(dtsInscrEstad);
    btpInscricao->SetEmptyError(msgPadrao->Msg("InscEsta"));
    const bool state = authority == "E";
    lblInscricao->SetEnabled(state);
    edtNrInscricao->SetEnabled(state);
    btpInscricao->SetEnabled(state);
    lblInscricaoST->SetEnabled(lblInscricao->Enabled());
    edtNrInscricaoST->SetEnabled(edtNrInscricao->Enabled());
    btpInscricaoST->SetEnabled(btpInscricao->Enabled());
  });
}

void TfrmArquMag::btpImpostoBeforePesq(tk::TComponent&, bool&) {
  LookupServerCall(*netArqMag, "GetImpostonfe", {"", "T"}, *cdsImposto);
}

void TfrmArquMag::btpImpostoAfterPesq(tk::TComponent&) {
  medCdImposto->SetText(cdsImposto->FieldByName("CDIMPOSTONFE").AsString());
  edtNmImposto->SetText(cdsImposto->FieldByName("SGIMPOSTONFE").AsString());
}

void TfrmArquMag::edtNrInscricaoChange(tk::TComponent&) { edtNrInscricaoST->Clear(); }

void TfrmArquMag::edtNrInscricaoExit(tk::TComponent&) { Vd_Inscricao(false); }

void TfrmArquMag::btpInscricaoBeforePesq(tk::TComponent&, bool&) {
  const RegistrationKind kind = CurrentRegistrationKind();
  // The list shows the rows of the query in use: the municipal search lists
  // the municipal registrations, and the state search gets its own list back.
  if (kind.query == qryInscrMunicip) {
    btpInscricao->SetDataSource(dtsInscrMuni);
    btpInscricao->SetEmptyError(msgPadrao->Msg("InscMuni"));
  } else if (btpInscricao->DataSource() == dtsInscrMuni) {
    btpInscricao->SetDataSource(dtsInscrEstad);
    btpInscricao->SetEmptyError(msgPadrao->Msg("InscEsta"));
  }
  kind.query->Close();
  kind.query->ParamByName("P_EMPRESA").SetAsVariant(wire::Variant(medCdEmpresa->Text()));
  kind.query->ParamByName(kind.code_param).Clear();
  kind.query->ParamByName(kind.all_param).SetAsVariant(wire::Variant("T"));
  btpInscricao->SetTitle(msgPadrao->Msg(kind.query->Name()));
  kind.query->Open();
}

void TfrmArquMag::btpInscricaoAfterPesq(tk::TComponent&) {
  const RegistrationKind kind = CurrentRegistrationKind();
  edtNrInscricao->SetText(kind.query->FieldByName(kind.field).AsString());
}

void TfrmArquMag::Vd_Inscricao(bool required) {
  if (!edtNrInscricao->Enabled()) return;
  const RegistrationKind kind = CurrentRegistrationKind();
  FocusBackOnFailure(*edtNrInscricao, [&] {
    const std::string text = edtNrInscricao->Text();
    if (comp::EmptyString(text)) {
      if (required) Report(kind.empty_key);
      return;
    }
    kind.query->Close();
    kind.query->ParamByName("P_EMPRESA").SetAsVariant(wire::Variant(medCdEmpresa->Text()));
    kind.query->ParamByName(kind.all_param).Clear();
    kind.query->ParamByName(kind.code_param).SetAsVariant(wire::Variant(text));
    btpInscricao->SetTitle(msgPadrao->Msg(kind.query->Name()));
    kind.query->Open();
    if (kind.query->IsEmpty()) Report(kind.not_found_key);
  });
}

void TfrmArquMag::edtNrInscricaoSTExit(tk::TComponent&) { Vd_InscricaoST(); }

void TfrmArquMag::btpInscricaoSTBeforePesq(tk::TComponent&, bool&) {
  LookupServerCall(*netArqMag, "GetInscST", {medCdEmpresa->Text(), edtNrInscricao->Text(), ""}, *cdsInscST);
}

void TfrmArquMag::btpInscricaoSTAfterPesq(tk::TComponent&) {
  edtNrInscricaoST->SetText(cdsInscST->FieldByName("CDINSCESTAST").AsString());
}

void TfrmArquMag::Vd_InscricaoST() {
  if (!edtNrInscricaoST->Enabled() || edtNrInscricaoST->Text().empty()) return;
  FocusBackOnFailure(*edtNrInscricaoST, [&] {
    LookupServerCall(*netArqMag, "GetInscST",
                     {medCdEmpresa->Text(), edtNrInscricao->Text(), edtNrInscricaoST->Text()}, *cdsInscST);
    if (cdsInscST->IsEmpty()) Report("InscST_Cad");
  });
}
