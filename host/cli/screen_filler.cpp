#include "host/cli/screen_filler.h"

#include <algorithm>

namespace cli {
namespace {

bool Blank(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

}  // namespace

bool ScreenFiller::Run(const ExportOptions& o) {
  RefuseBeforeTyping(o, f_);
  try {
    return Fill(o);
  } catch (const FocusKept&) {
    // The message was shown once; a person fixes the field first.
    return false;
  }
}

bool ScreenFiller::Fill(const ExportOptions& o) {
  if (!o.tipo.empty()) {
    const auto& items = f_.cbbArquivo.Items();
    user_.Choose(f_.cbbArquivo,
                 static_cast<int>(std::find(items.begin(), items.end(), o.tipo) - items.begin()));
  }
  RefuseInapplicable(o);
  Field(f_.medCdEmpresa, o.empresa, "--empresa");
  Field(f_.medCdImposto, o.imposto, "--imposto");
  Field(f_.edtNrInscricao, o.inscricao, "--inscricao");
  Field(f_.edtNrInscricaoST, o.inscricao_st, "--inscricao-st");
  Field(f_.medLivro, o.livro, "--livro");
  Field(f_.medCodPais, o.pais, "--pais", "o país");
  if (!o.estados.empty()) {
    if (o.estados == "todos") {
      user_.Click(f_.rbtEstTodos);
    } else {
      user_.Click(f_.rbtEstLista);
      dialogs_.ScriptPick(tk::PickAnswer::Values(SplitList(o.estados)));
      user_.Click(f_.sbtPescEst);
    }
  }
  Field(f_.depMesInicial, o.de, "--de");
  Field(f_.depMesFinal, o.ate, "--ate");
  if (!o.versao.empty())
    user_.Choose(f_.cbbVersao, ItemStartingWith(f_.cbbVersao.Items(), o.versao, "--versao"));
  if (!o.finalidade.empty()) {
    user_.Choose(f_.cbbFinalidade, ItemStartingWith(f_.cbbFinalidade.Items(), o.finalidade, "--finalidade"));
  }
  Field(f_.edtNmArquivo, o.nome, "--nome");
  if (!o.registros.empty()) {
    for (std::size_t row : RegisterRows(o.registros)) {
      if (!f_.clbArquivos.Checked(row)) user_.Toggle(f_.clbArquivos, row);
    }
  }
  if (!o.inventario.empty()) {
    if (!f_.ckcInventario.Checked()) user_.Click(f_.ckcInventario);
    Field(f_.depInventario, o.inventario, "--inventario");
  }
  if (o.registro_88st && !f_.ckcRegistro88st.Checked()) user_.Click(f_.ckcRegistro88st);
  return user_.Click(f_.sbtImportExport);
}

void ScreenFiller::RefuseInapplicable(const ExportOptions& o) const {
  if (!o.pais.empty()) Enabled(f_.medCodPais, "--pais", "o país");
  if (!o.estados.empty()) Enabled(f_.rbtEstLista, "--estados", "a lista de estados");
  if (!o.registros.empty()) Enabled(f_.clbArquivos, "--registros", "a lista de registros");
  if (!o.inventario.empty()) Enabled(f_.ckcInventario, "--inventario", "o inventário");
  if (o.registro_88st) Enabled(f_.ckcRegistro88st, "--registro-88st", "a opção do registro 88");
}

// An option that names a control the screen has disabled would be dropped
// without a word: it is refused, naming what disabled it.
void ScreenFiller::Enabled(const tk::TControl& control, const char* option, const char* what) const {
  if (control.EffectivelyEnabled()) return;
  throw UsageError(std::string(option) + ": " + WhyDisabled(control, what));
}

void ScreenFiller::Field(tk::TCustomEdit& field, const std::string& text, const char* option,
                         const char* what) {
  if (text.empty()) return;
  if (!field.CanFocus()) Enabled(field, option, what);
  if (!user_.Fill(field, text)) return;
  if (!user_.Tab() && user_.form().ActiveControl() == &field) throw FocusKept{};
}

std::string ScreenFiller::WhyDisabled(const tk::TControl& field, const char* what) const {
  const std::string company = f_.medCdEmpresa.Text();
  const std::string tax = f_.medCdImposto.Text();
  if (&field == &f_.medCdImposto) {
    return "a empresa " + company + " não é do regime que informa o imposto; a tela desabilita o campo";
  }
  if (&field == &f_.edtNrInscricao || &field == &f_.edtNrInscricaoST) {
    if (Blank(company)) return "o campo só se abre depois da empresa (--empresa)";
    if (!f_.medCdImposto.EffectivelyEnabled()) {
      return "o regime da empresa " + company + " não tem inscrição do substituto; a tela desabilita o campo";
    }
    if (Blank(tax)) return "o campo só se abre depois do imposto (--imposto)";
    return "o imposto " + tax + " não é de órgão estadual; a tela desabilita o campo";
  }
  if (!f_.cbbArquivo.Text().empty() &&
      (&field == &f_.medCodPais || &field == &f_.rbtEstLista || &field == &f_.clbArquivos ||
       &field == &f_.ckcInventario || &field == &f_.ckcRegistro88st)) {
    return std::string(what) + " não se aplica ao tipo " + f_.cbbArquivo.Text();
  }
  return "o campo está desabilitado na tela";
}

}  // namespace cli
