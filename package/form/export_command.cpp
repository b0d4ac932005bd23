// The Export command: the chain of checks over the screen, then the paged
// generation, then the success message.
#include "host/components/consiste.h"
#include "host/toolkit/application.h"
#include "lib/wire/file_name.h"
#include "package/form/frm_arqu_mag.h"
#include "package/form/screen_lists.h"

void TfrmArquMag::FailAt(tk::TControl& control, const std::string& key) {
  control.SetFocus();
  Report(key);
}

void TfrmArquMag::sbtImportExportClick(tk::TComponent&) {
  const std::string type = cbbArquivo->Text();
  if (comp::EmptyString(type)) FailAt(*cbbArquivo, "Arqui_Inf");
  bool known = false;
  for (const std::string& item : FileTypes()) known = known || item == type;
  if (!known) Report("Arqui_Inv");

  if (comp::EmptyString(medCdEmpresa->Text())) FailAt(*medCdEmpresa, "Empr_Inf");
  Vd_Empresa(true);

  if (comp::EmptyString(medCdImposto->Text()) && cdsEmpresaCDSITUCRT->AsString() == "3") {
    FailAt(*medCdImposto, "Impo_Inf");
  }
  Vd_Imposto(true);

  if (edtNrInscricao->Enabled() && comp::EmptyString(edtNrInscricao->Text()))
    FailAt(*edtNrInscricao, "INSCR_INF");
  Vd_Inscricao(true);
  Vd_InscricaoST();

  if (comp::EmptyString(cbbVersao->Text())) FailAt(*cbbVersao, "Versao_Inf");
  if (comp::EmptyString(cbbFinalidade->Text())) FailAt(*cbbFinalidade, "Final_Inf");
  if (comp::EmptyString(edtNmArquivo->Text())) FailAt(*edtNmArquivo, "Arq_Inf");
  if (!wire::IsSafeFileName(edtNmArquivo->Text())) FailAt(*edtNmArquivo, "Chr_Inv");

  if (clbArquivos->Enabled()) {
    bool any = false;
    for (std::size_t i = 0; i < clbArquivos->Count() && !any; ++i) any = clbArquivos->Checked(i);
    if (!any) {
      tk::MessageDlg(msgPadrao->Msg("Reg_vazio"), tk::TMsgDlgType::mtInformation, 0);
      return;
    }
  }

  Vd_Data(true);
  Vd_Estado(true);
  Vd_Livro(true);
  Vd_Inscricao(true);
  Vd_InscricaoST();
  Vd_Imposto(true);

  if (ckcInventario->Checked()) {
    if (comp::EmptyString(depInventario->Text())) FailAt(*depInventario, "DTINVE");
    depInventario->CheckValidDate();
    if (depMesFinal->GetDate() < depInventario->GetDate()) FailAt(*depInventario, "DTINVE_MENOR");
  }

  AbreQuerys();
  tk::MessageDlg(msgPadrao->Msg("Sucess"), tk::TMsgDlgType::mtInformation, 0);
}
