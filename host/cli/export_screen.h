#pragma once
// The magnetic-file screen's controls, found by name in the form the package
// created: a batch front-end knows the toolkit, not the package's form class.
#include <stdexcept>
#include <string>

#include "host/components/messages.h"
#include "host/loader/package_host.h"
#include "host/toolkit/application.h"
#include "host/toolkit/buttons.h"
#include "host/toolkit/edits.h"
#include "host/toolkit/form.h"

namespace cli {

struct ExportScreen {
  explicit ExportScreen(tk::TForm& f) : form(f) {}
  tk::TForm& form;
  template <typename T>
  T& Find(const char* name) const {
    auto* found = dynamic_cast<T*>(form.FindComponent(name));
    if (!found) throw std::runtime_error(std::string("a tela não tem o controle '") + name + "' esperado");
    return *found;
  }
  tk::TComboBox& cbbArquivo = Find<tk::TComboBox>("cbbArquivo");
  tk::TCustomEdit& medCdEmpresa = Find<tk::TCustomEdit>("medCdEmpresa");
  tk::TCustomEdit& medCdImposto = Find<tk::TCustomEdit>("medCdImposto");
  tk::TCustomEdit& edtNrInscricao = Find<tk::TCustomEdit>("edtNrInscricao");
  tk::TCustomEdit& edtNrInscricaoST = Find<tk::TCustomEdit>("edtNrInscricaoST");
  tk::TCustomEdit& medLivro = Find<tk::TCustomEdit>("medLivro");
  tk::TCustomEdit& medCodPais = Find<tk::TCustomEdit>("medCodPais");
  tk::TRadioButton& rbtEstTodos = Find<tk::TRadioButton>("rbtEstTodos");
  tk::TRadioButton& rbtEstLista = Find<tk::TRadioButton>("rbtEstLista");
  tk::TControl& sbtPescEst = Find<tk::TControl>("sbtPescEst");
  tk::TCustomEdit& depMesInicial = Find<tk::TCustomEdit>("depMesInicial");
  tk::TCustomEdit& depMesFinal = Find<tk::TCustomEdit>("depMesFinal");
  tk::TComboBox& cbbVersao = Find<tk::TComboBox>("cbbVersao");
  tk::TComboBox& cbbFinalidade = Find<tk::TComboBox>("cbbFinalidade");
  tk::TCustomEdit& edtNmArquivo = Find<tk::TCustomEdit>("edtNmArquivo");
  tk::TCheckListBox& clbArquivos = Find<tk::TCheckListBox>("clbArquivos");
  tk::TCheckBox& ckcInventario = Find<tk::TCheckBox>("ckcInventario");
  tk::TCustomEdit& depInventario = Find<tk::TCustomEdit>("depInventario");
  tk::TCheckBox& ckcRegistro88st = Find<tk::TCheckBox>("ckcRegistro88st");
  tk::TControl& sbtImportExport = Find<tk::TControl>("sbtImportExport");
  comp::TMessages& msgPadrao = Find<comp::TMessages>("msgPadrao");
};

// Loads the package (its default place when `package` is empty), opens its
// screen and gives the screen's form; nullptr when the package said why not.
inline tk::TForm* OpenExportForm(host::PackageHost& host, const std::string& package) {
  host.Load(package.empty() ? host::PackageHost::DefaultPackagePath() : package);
  host.IniProc();
  for (tk::TForm* open : tk::Application().Forms()) {
    if (open->Name() == "frmArquMag") return open;
  }
  return nullptr;
}

}  // namespace cli
