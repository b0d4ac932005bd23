#pragma once
// The magnetic-file screen "MAG04200": every control, dataset, query and data
// source of the form, its event handlers and its validators.
#include <functional>
#include <map>
#include <string>
#include <variant>

#include "host/components/ado_query.h"
#include "host/components/btn_pesquisa.h"
#include "host/components/client_dataset.h"
#include "host/components/date_edit_plus.h"
#include "host/components/frm_padr_import_export.h"
#include "host/components/misc_components.h"
#include "host/components/net_connection.h"
#include "host/toolkit/buttons.h"
#include "host/toolkit/edits.h"
#include "host/toolkit/static_controls.h"
#include "package/module/package_export.h"

class PageLoop;

class MAG_PACKAGE_EXPORT TfrmArquMag : public comp::TfrmPadrImportExport {
 public:
  explicit TfrmArquMag(tk::TComponent* owner);

  // Controls of the data group, top to bottom.
  tk::TLabel* lblArquivo;
  tk::TComboBox* cbbArquivo;
  tk::TLabel* lblEmpresa;
  tk::TMaskEdit* medCdEmpresa;
  comp::TBtnPesquisa* btpEmpresa;
  tk::TEdit* edtNmEmpresa;
  tk::TLabel* lblImposto;
  tk::TMaskEdit* medCdImposto;
  comp::TBtnPesquisa* btpImposto;
  tk::TEdit* edtNmImposto;
  tk::TLabel* lblInscricao;
  tk::TEdit* edtNrInscricao;
  comp::TBtnPesquisa* btpInscricao;
  tk::TLabel* lblInscricaoST;
  tk::TEdit* edtNrInscricaoST;
  comp::TBtnPesquisa* btpInscricaoST;
  tk::TLabel* lblLivrMag;
  tk::TMaskEdit* medLivro;
  comp::TBtnPesquisa* sbtPesqLivro;
  tk::TEdit* edtLivro;
  tk::TLabel* lblPais;
  tk::TMaskEdit* medCodPais;
  comp::TBtnPesquisa* sbtPescPais;
  tk::TEdit* edtNmPais;
  tk::TLabel* lblEstado;
  tk::TGroupBox* grbEstado;
  tk::TRadioButton* rbtEstTodos;
  tk::TRadioButton* rbtEstLista;
  comp::TBtnPesquisa* sbtPescEst;
  tk::TLabel* Label3;
  comp::TDateEditPlus* depMesInicial;
  tk::TLabel* Label4;
  comp::TDateEditPlus* depMesFinal;
  tk::TLabel* lblIdentConv;
  tk::TComboBox* cbbVersao;
  tk::TLabel* lblFinalidade;
  tk::TComboBox* cbbFinalidade;
  tk::TLabel* Label1;
  tk::TEdit* edtNmArquivo;
  tk::TCheckBox* ckcInventario;
  tk::TLabel* lblRefInve;
  comp::TDateEditPlus* depInventario;
  tk::TCheckBox* ckcRegistro88st;
  tk::TLabel* lblRegistro;
  tk::TPanel* panArquivos;
  tk::TCheckListBox* clbArquivos;

  // Lookup queries and client datasets.
  comp::TADOIBQuery* qryEstado;
  comp::TADOIBQuery* qryPais;
  comp::TADOIBQuery* qryInscrEstad;
  comp::TADOIBQuery* qryInscrMunicip;
  comp::TADOIBQuery* qryImposto;
  comp::TClientDataSet* cdsEmpresa;
  comp::TField* cdsEmpresaCDSITUCRT;
  comp::TClientDataSet* cdsImposto;
  comp::TClientDataSet* cdsInscST;
  comp::TClientDataSet* cdsLivroMag;
  comp::TClientDataSet* cdsRegistros;
  comp::TClientDataSet* cdsRegistro;
  comp::TClientDataSet* cdsRegistro75;

  comp::TDataSource* dtsEmpresa;
  comp::TDataSource* dtsImpostonfe;
  comp::TDataSource* dtsInscrEstad;
  comp::TDataSource* dtsInscrMuni;
  comp::TDataSource* dtsInscST;
  comp::TDataSource* dtsLivroMag;
  comp::TDataSource* dtsPais;
  comp::TDataSource* dtsEstado;
  comp::TDataSource* dtsImposto;

  comp::TNetConnection* netArqMag;
  comp::TSaveDialog* svdSaveExport;
  tk::TComponent* IdFTP;

  // Form lifecycle.
  void FormCreate(tk::TComponent& sender) override;
  void FormActivate(tk::TComponent& sender);
  void FormClose(tk::TComponent& sender, tk::TCloseAction& action) override;
  void netArqMagBeforeConnect(tk::TComponent& sender);

  // Company, tax and registrations.
  void medCdEmpresaChange(tk::TComponent& sender);
  void medCdEmpresaExit(tk::TComponent& sender);
  void btpEmpresaBeforePesq(tk::TComponent& sender, bool& proceed);
  void btpEmpresaAfterPesq(tk::TComponent& sender);
  void medCdImpostoChange(tk::TComponent& sender);
  void medCdImpostoExit(tk::TComponent& sender);
  void btpImpostoBeforePesq(tk::TComponent& sender, bool& proceed);
  void btpImpostoAfterPesq(tk::TComponent& sender);
  void edtNrInscricaoChange(tk::TComponent& sender);
  void edtNrInscricaoExit(tk::TComponent& sender);
  void btpInscricaoBeforePesq(tk::TComponent& sender, bool& proceed);
  void btpInscricaoAfterPesq(tk::TComponent& sender);
  void edtNrInscricaoSTExit(tk::TComponent& sender);
  void btpInscricaoSTBeforePesq(tk::TComponent& sender, bool& proceed);
  void btpInscricaoSTAfterPesq(tk::TComponent& sender);

  // Country, states, book, months, file type, inventory, key filters.
  void medCodPaisChange(tk::TComponent& sender);
  void medCodPaisExit(tk::TComponent& sender);
  void sbtPescPaisBeforePesq(tk::TComponent& sender, bool& proceed);
  void sbtPescPaisAfterPesq(tk::TComponent& sender);
  void rbtEstTodosClick(tk::TComponent& sender);
  void rbtEstListaClick(tk::TComponent& sender);
  void sbtPescEstClick(tk::TComponent& sender);
  void qryEstadoBeforeOpen(tk::TComponent& dataset);
  void depMesInicialExit(tk::TComponent& sender);
  void depMesFinalExit(tk::TComponent& sender);
  void medLivroChange(tk::TComponent& sender);
  void medLivroExit(tk::TComponent& sender);
  void sbtPesqLivroBeforePesq(tk::TComponent& sender, bool& proceed);
  void sbtPesqLivroAfterPesq(tk::TComponent& sender);
  void cbbArquivoChange(tk::TComponent& sender);
  void cbbArquivoKeyPress(tk::TComponent& sender, char32_t& key);
  void cbbVersaoKeyPress(tk::TComponent& sender, char32_t& key);
  void cbbFinalidadeKeyPress(tk::TComponent& sender, char32_t& key);
  void edtNmArquivoKeyPress(tk::TComponent& sender, char32_t& key);
  void ckcInventarioClick(tk::TComponent& sender);
  void depInventarioExit(tk::TComponent& sender);

  // The Export command and the paged generation.
  void sbtImportExportClick(tk::TComponent& sender);
  void AbreQuerys();

  // Validators: with `required` an empty field is an error.
  void Vd_Empresa(bool required);
  void Vd_Imposto(bool required);
  void Vd_Inscricao(bool required);
  void Vd_InscricaoST();
  void Vd_Pais(bool required);
  void Vd_Data(bool required);
  void Vd_Estado(bool required);
  void Vd_Livro(bool required);

  // Handlers are published by name; the form definition binds them by name.
  using NotifyMethod = void (TfrmArquMag::*)(tk::TComponent&);
  using KeyPressMethod = void (TfrmArquMag::*)(tk::TComponent&, char32_t&);
  using BeforePesqMethod = void (TfrmArquMag::*)(tk::TComponent&, bool&);
  using PublishedMethod = std::variant<NotifyMethod, KeyPressMethod, BeforePesqMethod>;
  static const std::map<std::string, PublishedMethod>& PublishedMethods();

 private:
  // The query and keys of the registration kind that the tax list's current
  // row decides (municipal for the authority "M", state otherwise).
  struct RegistrationKind {
    comp::TADOIBQuery* query;
    const char* code_param;
    const char* all_param;
    const char* field;
    const char* empty_key;
    const char* not_found_key;
  };
  RegistrationKind CurrentRegistrationKind();
  // Enables the tax code for the regime "3", the registration otherwise.
  void ApplyRegimeRule();
  // A validation failure with the catalogue text of the key.
  void Report(const std::string& key);
  // Moves the focus to the control at fault, then reports the key.
  void FailAt(tk::TControl& control, const std::string& key);
  // Checks the first reply of GetRegistro and writes its pages to the file.
  void WriteFile(const wire::VariantArray& first, PageLoop& pages);

  void DefineControls();
  void DefineData();
  void DefineSearchButtons();
  // Bind an event to the published handler of that name; throws
  // std::logic_error when no handler of that name and signature exists.
  void Bind(tk::TNotifyEvent& event, const std::string& handler);
  void Bind(tk::TKeyPressEvent& event, const std::string& handler);
  void Bind(comp::TBeforePesqEvent& event, const std::string& handler);
};
