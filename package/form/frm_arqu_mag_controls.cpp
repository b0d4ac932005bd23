// The visual part of the form definition: every control of the screen with
// its caption, list, mask, length, colour, enabled state, tab order, position
// and size, and the handlers bound to it by name.
#include <string>

#include "lib/text/utf8.h"
#include "package/form/frm_arqu_mag.h"
#include "package/form/message_catalogue.h"
#include "package/form/screen_lists.h"

namespace {

constexpr int kEntryLeft = 162;
constexpr int kLabelLeft = 6;
constexpr int kRowHeight = 21;
constexpr int kButtonSize = 21;

template <typename T>
T* Place(TfrmArquMag& form, const std::string& name, tk::TWinControl* parent, int left, int top, int width,
         int height) {
  T* control = &form.Create<T>(name);
  control->SetParent(parent);
  control->SetBounds(left, top, width, height);
  return control;
}

// Labels size themselves to their bold caption (about 7 pixels a character).
tk::TLabel* PlaceLabel(TfrmArquMag& form, const std::string& name, tk::TWinControl* parent, int left, int top,
                       const std::string& caption) {
  auto* label = Place<tk::TLabel>(form, name, parent, left, top,
                                  7 * static_cast<int>(::text::utf8::Length(caption)), 13);
  label->SetCaption(caption);
  label->SetBold(true);
  return label;
}

void Configure(comp::TBtnPesquisa& button, tk::TControl* associate, const std::string& title,
               comp::TDataSource* source, const std::string& empty_error) {
  button.SetAssociate(associate);
  button.SetTitle(title);
  button.SetDataSource(source);
  button.SetEmptyError(empty_error);
  button.SetHint("Pesquisar");
  button.SetNumGlyphs(2);
}

void ConfigureMonth(comp::TDateEditPlus& field, int tab_order) {
  field.SetShowDia(false);
  field.SaveTime = false;
  field.EditStyle = comp::TDateEditPlus::TEditStyle::desUpDown;
  field.FocusButton = false;
  field.ValidDateColor = tk::TColor::clBlue;
  field.NomeSemana = {"Domingo", "Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado"};
  field.ButtonBitmapSize = 16;
  field.SetColor(tk::TColor::clInfoBk);
  field.SetTabOrder(tab_order);
}

void Entry(tk::TControl& control, tk::TColor color, int tab_order, bool enabled = true) {
  control.SetColor(color);
  control.SetTabOrder(tab_order);
  control.SetEnabled(enabled);
}

}  // namespace

void TfrmArquMag::DefineControls() {
  using tk::TColor;
  SetCaption("Arquivo Magnético - Sintegra");
  SetFormStyle(tk::TFormStyle::fsMDIChild);
  SetBounds(380, 132, 576, 550);
  SetClientSize(576, 550);

  lblCodTela->SetCaption("MAG04200");
  grbDadosRel->SetBounds(0, 0, 521, 550);
  Image1->SetBounds(532, 8, 16, 16);
  Image2->SetBounds(532, 28, 16, 16);
  panMenu->SetBounds(521, 0, 55, 550);
  sbtImportExport->SetHint("Exportar");
  Bind(sbtImportExport->OnClick, "sbtImportExportClick");
  panProgresso->SetBounds(481, 561, 479, 20);
  panProgresso->SetAlignment(tk::TPanel::Align::alNone);
  lblProgresso->SetBounds(257, 3, 0, 13);
  pgbProgresso->SetBounds(pgbProgresso->Bounds().left, 19, 477, 0);
  pgbProgresso->SetVisible(false);
  msgPadrao->SetEntries(MessageCatalogue());

  tk::TWinControl* group = grbDadosRel;
  const auto row = [](int top) { return top + 3; };

  lblArquivo = PlaceLabel(*this, "lblArquivo", group, kLabelLeft, row(10), "Arquivo a Exportar");
  cbbArquivo = Place<tk::TComboBox>(*this, "cbbArquivo", group, kEntryLeft, 10, 319, kRowHeight);
  cbbArquivo->SetItems(FileTypes());
  cbbArquivo->SetText("SINTEGRA");
  Entry(*cbbArquivo, TColor::clInfoBk, 0);

  lblEmpresa = PlaceLabel(*this, "lblEmpresa", group, kLabelLeft, row(35), "Empresa");
  medCdEmpresa = Place<tk::TMaskEdit>(*this, "medCdEmpresa", group, kEntryLeft, 35, 25, kRowHeight);
  medCdEmpresa->SetEditMask("99;0; ");
  medCdEmpresa->SetMaxLength(2);
  Entry(*medCdEmpresa, TColor::clInfoBk, 1);
  btpEmpresa = Place<comp::TBtnPesquisa>(*this, "btpEmpresa", group, 193, 35, kButtonSize, kButtonSize);
  edtNmEmpresa = Place<tk::TEdit>(*this, "edtNmEmpresa", group, 220, 35, 259, kRowHeight);
  Entry(*edtNmEmpresa, TColor::clBtnFace, 21, false);

  lblImposto = PlaceLabel(*this, "lblImposto", group, kLabelLeft, row(60), "Imposto");
  medCdImposto = Place<tk::TMaskEdit>(*this, "medCdImposto", group, kEntryLeft, 60, 25, kRowHeight);
  medCdImposto->SetEditMask("99;0; ");
  medCdImposto->SetMaxLength(2);
  Entry(*medCdImposto, TColor::clInfoBk, 2);
  btpImposto = Place<comp::TBtnPesquisa>(*this, "btpImposto", group, 193, 60, kButtonSize, kButtonSize);
  edtNmImposto = Place<tk::TEdit>(*this, "edtNmImposto", group, 220, 60, 259, kRowHeight);
  Entry(*edtNmImposto, TColor::clBtnFace, 14, false);

  lblInscricao = PlaceLabel(*this, "lblInscricao", group, kLabelLeft, row(85), "Inscrição Estadual");
  lblInscricao->SetEnabled(false);
  edtNrInscricao = Place<tk::TEdit>(*this, "edtNrInscricao", group, kEntryLeft, 85, 170, kRowHeight);
  edtNrInscricao->SetMaxLength(16);
  Entry(*edtNrInscricao, TColor::clInfoBk, 3, false);
  btpInscricao = Place<comp::TBtnPesquisa>(*this, "btpInscricao", group, 338, 85, kButtonSize, kButtonSize);
  btpInscricao->SetEnabled(false);

  lblInscricaoST =
      PlaceLabel(*this, "lblInscricaoST", group, kLabelLeft, row(110), "Inscrição do Substituto ");
  lblInscricaoST->SetEnabled(false);
  edtNrInscricaoST = Place<tk::TEdit>(*this, "edtNrInscricaoST", group, kEntryLeft, 110, 170, kRowHeight);
  edtNrInscricaoST->SetMaxLength(16);
  Entry(*edtNrInscricaoST, TColor::clWindow, 4, false);
  btpInscricaoST =
      Place<comp::TBtnPesquisa>(*this, "btpInscricaoST", group, 338, 110, kButtonSize, kButtonSize);
  btpInscricaoST->SetEnabled(false);

  lblLivrMag = PlaceLabel(*this, "lblLivrMag", group, kLabelLeft, row(135), "Livro Magnético");
  medLivro = Place<tk::TMaskEdit>(*this, "medLivro", group, kEntryLeft, 135, 84, kRowHeight);
  medLivro->SetEditMask("9999999999;1; ");
  medLivro->SetMaxLength(10);
  medLivro->SetText(std::string(10, ' '));
  Entry(*medLivro, TColor::clWindow, 5);
  sbtPesqLivro = Place<comp::TBtnPesquisa>(*this, "sbtPesqLivro", group, 249, 135, kButtonSize, kButtonSize);
  edtLivro = Place<tk::TEdit>(*this, "edtLivro", group, 273, 135, 205, kRowHeight);
  Entry(*edtLivro, TColor::clBtnFace, 15, false);

  lblPais = PlaceLabel(*this, "lblPais", group, kLabelLeft, row(160), "País");
  medCodPais = Place<tk::TMaskEdit>(*this, "medCodPais", group, kEntryLeft, 160, 40, kRowHeight);
  medCodPais->SetEditMask("9999;0; ");
  medCodPais->SetMaxLength(4);
  Entry(*medCodPais, TColor::clWindow, 6);
  sbtPescPais = Place<comp::TBtnPesquisa>(*this, "sbtPescPais", group, 207, 160, kButtonSize, kButtonSize);
  edtNmPais = Place<tk::TEdit>(*this, "edtNmPais", group, 233, 160, 246, kRowHeight);
  edtNmPais->SetMaxLength(30);
  edtNmPais->SetReadOnly(true);
  Entry(*edtNmPais, TColor::clBtnFace, 17, false);

  lblEstado = PlaceLabel(*this, "lblEstado", group, kLabelLeft, 197, "Estado");
  grbEstado = Place<tk::TGroupBox>(*this, "grbEstado", group, kEntryLeft, 181, 318, 36);
  grbEstado->SetTabOrder(7);
  rbtEstTodos = Place<tk::TRadioButton>(*this, "rbtEstTodos", grbEstado, 15, 13, 60, 17);
  rbtEstTodos->SetCaption("Todos");
  rbtEstTodos->SetBold(true);
  rbtEstTodos->SetTabOrder(1);
  rbtEstTodos->SetChecked(true);
  rbtEstLista = Place<tk::TRadioButton>(*this, "rbtEstLista", grbEstado, 147, 13, 50, 17);
  rbtEstLista->SetCaption("Lista");
  rbtEstLista->SetBold(true);
  rbtEstLista->SetTabOrder(2);
  sbtPescEst = Place<comp::TBtnPesquisa>(*this, "sbtPescEst", grbEstado, 204, 10, kButtonSize, kButtonSize);
  sbtPescEst->SetEnabled(false);

  Label3 = PlaceLabel(*this, "Label3", group, kLabelLeft, row(220), "Referência");
  depMesInicial = Place<comp::TDateEditPlus>(*this, "depMesInicial", group, kEntryLeft, 220, 100, kRowHeight);
  ConfigureMonth(*depMesInicial, 8);
  Label4 = PlaceLabel(*this, "Label4", group, 270, row(220), "a");
  depMesFinal = Place<comp::TDateEditPlus>(*this, "depMesFinal", group, 284, 220, 100, kRowHeight);
  ConfigureMonth(*depMesFinal, 9);

  lblIdentConv = PlaceLabel(*this, "lblIdentConv", group, kLabelLeft, row(245), "Identificação do Convênio");
  cbbVersao = Place<tk::TComboBox>(*this, "cbbVersao", group, kEntryLeft, 245, 202, kRowHeight);
  cbbVersao->SetItems(ConventionVersions());
  Entry(*cbbVersao, TColor::clInfoBk, 10);

  lblFinalidade = PlaceLabel(*this, "lblFinalidade", group, kLabelLeft, row(270), "Finalidade do Arquivo");
  cbbFinalidade = Place<tk::TComboBox>(*this, "cbbFinalidade", group, kEntryLeft, 270, 202, kRowHeight);
  cbbFinalidade->SetItems(FilePurposes());
  Entry(*cbbFinalidade, TColor::clInfoBk, 11);

  Label1 = PlaceLabel(*this, "Label1", group, kLabelLeft, row(295), "Nome do Arquivo");
  edtNmArquivo = Place<tk::TEdit>(*this, "edtNmArquivo", group, kEntryLeft, 295, 250, kRowHeight);
  edtNmArquivo->SetMaxLength(50);
  Entry(*edtNmArquivo, TColor::clInfoBk, 12);

  ckcInventario = Place<tk::TCheckBox>(*this, "ckcInventario", group, 7, 324, 201, 17);
  ckcInventario->SetCaption("Gera Registro de Inventário");
  ckcInventario->SetBold(true);
  ckcInventario->SetTabOrder(24);
  lblRefInve = PlaceLabel(*this, "lblRefInve", group, 227, 324, "Referência");
  lblRefInve->SetEnabled(false);
  depInventario = Place<comp::TDateEditPlus>(*this, "depInventario", group, 298, 321, 100, kRowHeight);
  ConfigureMonth(*depInventario, 25);
  depInventario->SetEnabled(false);

  ckcRegistro88st = Place<tk::TCheckBox>(*this, "ckcRegistro88st", group, 7, 345, 330, 17);
  ckcRegistro88st->SetCaption("Gera Registro 88 - Informações Substituição Tributária");
  ckcRegistro88st->SetBold(true);
  ckcRegistro88st->SetTabOrder(26);

  lblRegistro = PlaceLabel(*this, "lblRegistro", group, kLabelLeft, 365, "Registro de");
  panArquivos = Place<tk::TPanel>(*this, "panArquivos", group, 3, 381, 505, 163);
  panArquivos->SetBevel(false);
  panArquivos->SetTabOrder(18);
  clbArquivos = Place<tk::TCheckListBox>(*this, "clbArquivos", panArquivos, 0, 0, 502, 162);
  clbArquivos->SetItems(RegisterItems());
  clbArquivos->SetItemHeight(13);
  clbArquivos->SetTabOrder(0);

  Bind(OnActivate, "FormActivate");
  Bind(cbbArquivo->OnChange, "cbbArquivoChange");
  Bind(cbbArquivo->OnKeyPress, "cbbArquivoKeyPress");
  Bind(medCdEmpresa->OnChange, "medCdEmpresaChange");
  Bind(medCdEmpresa->OnExit, "medCdEmpresaExit");
  Bind(medCdImposto->OnChange, "medCdImpostoChange");
  Bind(medCdImposto->OnExit, "medCdImpostoExit");
  Bind(edtNrInscricao->OnChange, "edtNrInscricaoChange");
  Bind(edtNrInscricao->OnExit, "edtNrInscricaoExit");
  Bind(edtNrInscricaoST->OnExit, "edtNrInscricaoSTExit");
  Bind(medLivro->OnChange, "medLivroChange");
  Bind(medLivro->OnExit, "medLivroExit");
  Bind(medCodPais->OnChange, "medCodPaisChange");
  Bind(medCodPais->OnExit, "medCodPaisExit");
  Bind(rbtEstTodos->OnClick, "rbtEstTodosClick");
  Bind(rbtEstLista->OnClick, "rbtEstListaClick");
  Bind(depMesInicial->OnExit, "depMesInicialExit");
  Bind(depMesFinal->OnExit, "depMesFinalExit");
  Bind(cbbVersao->OnKeyPress, "cbbVersaoKeyPress");
  Bind(cbbFinalidade->OnKeyPress, "cbbFinalidadeKeyPress");
  Bind(edtNmArquivo->OnKeyPress, "edtNmArquivoKeyPress");
  Bind(ckcInventario->OnClick, "ckcInventarioClick");
  Bind(depInventario->OnExit, "depInventarioExit");
}

void TfrmArquMag::DefineSearchButtons() {
  Configure(*btpEmpresa, medCdEmpresa, "Empresa", dtsEmpresa, "Não há empresa cadastrada.");
  Bind(btpEmpresa->OnBeforePesq, "btpEmpresaBeforePesq");
  Bind(btpEmpresa->OnAfterPesq, "btpEmpresaAfterPesq");
  Configure(*btpImposto, medCdImposto, "Imposto", dtsImpostonfe, "Não há imposto cadastrado.");
  Bind(btpImposto->OnBeforePesq, "btpImpostoBeforePesq");
  Bind(btpImposto->OnAfterPesq, "btpImpostoAfterPesq");
  Configure(*btpInscricao, edtNrInscricao, "Inscrição", dtsInscrEstad,
            "Não há inscrição cadastrada para a empresa informada.");
  Bind(btpInscricao->OnBeforePesq, "btpInscricaoBeforePesq");
  Bind(btpInscricao->OnAfterPesq, "btpInscricaoAfterPesq");
  Configure(*btpInscricaoST, edtNrInscricaoST, "Inscrição", dtsInscST,
            "Não há inscrição do substituto cadastrada para a empresa e inscrição estadual informadas.");
  Bind(btpInscricaoST->OnBeforePesq, "btpInscricaoSTBeforePesq");
  Bind(btpInscricaoST->OnAfterPesq, "btpInscricaoSTAfterPesq");
  Configure(*sbtPesqLivro, medLivro, "Livro Magnético", dtsLivroMag, "Não há livro magnético");
  Bind(sbtPesqLivro->OnBeforePesq, "sbtPesqLivroBeforePesq");
  Bind(sbtPesqLivro->OnAfterPesq, "sbtPesqLivroAfterPesq");
  Configure(*sbtPescPais, medCodPais, "País", dtsPais, "Não há país cadastrado.");
  Bind(sbtPescPais->OnBeforePesq, "sbtPescPaisBeforePesq");
  Bind(sbtPescPais->OnAfterPesq, "sbtPescPaisAfterPesq");
  Configure(*sbtPescEst, rbtEstLista, "Estado", dtsEstado, "Não há estado cadastrado.");
  Bind(sbtPescEst->OnClick, "sbtPescEstClick");
}
