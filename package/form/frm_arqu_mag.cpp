#include "package/form/frm_arqu_mag.h"

#include <stdexcept>

TfrmArquMag::TfrmArquMag(tk::TComponent* owner)
    : comp::TfrmPadrImportExport(owner, "TfrmArquMag", "frmArquMag") {
  DefineControls();
  DefineData();
  DefineSearchButtons();
  // A child window of the host is visible as soon as it is created.
  SetVisible(true);
}

const std::map<std::string, TfrmArquMag::PublishedMethod>& TfrmArquMag::PublishedMethods() {
  using F = TfrmArquMag;
  static const std::map<std::string, PublishedMethod> methods = {
      {"FormActivate", NotifyMethod{&F::FormActivate}},
      {"netArqMagBeforeConnect", NotifyMethod{&F::netArqMagBeforeConnect}},
      {"medCdEmpresaChange", NotifyMethod{&F::medCdEmpresaChange}},
      {"medCdEmpresaExit", NotifyMethod{&F::medCdEmpresaExit}},
      {"btpEmpresaBeforePesq", BeforePesqMethod{&F::btpEmpresaBeforePesq}},
      {"btpEmpresaAfterPesq", NotifyMethod{&F::btpEmpresaAfterPesq}},
      {"medCdImpostoChange", NotifyMethod{&F::medCdImpostoChange}},
      {"medCdImpostoExit", NotifyMethod{&F::medCdImpostoExit}},
      {"btpImpostoBeforePesq", BeforePesqMethod{&F::btpImpostoBeforePesq}},
      {"btpImpostoAfterPesq", NotifyMethod{&F::btpImpostoAfterPesq}},
      {"edtNrInscricaoChange", NotifyMethod{&F::edtNrInscricaoChange}},
      {"edtNrInscricaoExit", NotifyMethod{&F::edtNrInscricaoExit}},
      {"btpInscricaoBeforePesq", BeforePesqMethod{&F::btpInscricaoBeforePesq}},
      {"btpInscricaoAfterPesq", NotifyMethod{&F::btpInscricaoAfterPesq}},
      {"edtNrInscricaoSTExit", NotifyMethod{&F::edtNrInscricaoSTExit}},
      {"btpInscricaoSTBeforePesq", BeforePesqMethod{&F::btpInscricaoSTBeforePesq}},
      {"btpInscricaoSTAfterPesq", NotifyMethod{&F::btpInscricaoSTAfterPesq}},
      {"medCodPaisChange", NotifyMethod{&F::medCodPaisChange}},
      {"medCodPaisExit", NotifyMethod{&F::medCodPaisExit}},
      {"sbtPescPaisBeforePesq", BeforePesqMethod{&F::sbtPescPaisBeforePesq}},
      {"sbtPescPaisAfterPesq", NotifyMethod{&F::sbtPescPaisAfterPesq}},
      {"rbtEstTodosClick", NotifyMethod{&F::rbtEstTodosClick}},
      {"rbtEstListaClick", NotifyMethod{&F::rbtEstListaClick}},
      {"sbtPescEstClick", NotifyMethod{&F::sbtPescEstClick}},
      {"qryEstadoBeforeOpen", NotifyMethod{&F::qryEstadoBeforeOpen}},
      {"depMesInicialExit", NotifyMethod{&F::depMesInicialExit}},
      {"depMesFinalExit", NotifyMethod{&F::depMesFinalExit}},
      {"medLivroChange", NotifyMethod{&F::medLivroChange}},
      {"medLivroExit", NotifyMethod{&F::medLivroExit}},
      {"sbtPesqLivroBeforePesq", BeforePesqMethod{&F::sbtPesqLivroBeforePesq}},
      {"sbtPesqLivroAfterPesq", NotifyMethod{&F::sbtPesqLivroAfterPesq}},
      {"cbbArquivoChange", NotifyMethod{&F::cbbArquivoChange}},
      {"cbbArquivoKeyPress", KeyPressMethod{&F::cbbArquivoKeyPress}},
      {"cbbVersaoKeyPress", KeyPressMethod{&F::cbbVersaoKeyPress}},
      {"cbbFinalidadeKeyPress", KeyPressMethod{&F::cbbFinalidadeKeyPress}},
      {"edtNmArquivoKeyPress", KeyPressMethod{&F::edtNmArquivoKeyPress}},
      {"ckcInventarioClick", NotifyMethod{&F::ckcInventarioClick}},
      {"depInventarioExit", NotifyMethod{&F::depInventarioExit}},
      {"sbtImportExportClick", NotifyMethod{&F::sbtImportExportClick}},
  };
  return methods;
}

namespace {
template <typename Method>
Method Published(const std::string& handler) {
  const auto& methods = TfrmArquMag::PublishedMethods();
  const auto it = methods.find(handler);
  if (it == methods.end()) throw std::logic_error("TfrmArquMag publishes no handler '" + handler + "'");
  const Method* method = std::get_if<Method>(&it->second);
  if (!method) throw std::logic_error("handler '" + handler + "' does not fit the event it is bound to");
  return *method;
}
}  // namespace

void TfrmArquMag::Bind(tk::TNotifyEvent& event, const std::string& handler) {
  const auto method = Published<NotifyMethod>(handler);
  event = [this, method](tk::TComponent& sender) { (this->*method)(sender); };
}

void TfrmArquMag::Bind(tk::TKeyPressEvent& event, const std::string& handler) {
  const auto method = Published<KeyPressMethod>(handler);
  event = [this, method](tk::TComponent& sender, char32_t& key) { (this->*method)(sender, key); };
}

void TfrmArquMag::Bind(comp::TBeforePesqEvent& event, const std::string& handler) {
  const auto method = Published<BeforePesqMethod>(handler);
  event = [this, method](tk::TComponent& sender, bool& proceed) { (this->*method)(sender, proceed); };
}
