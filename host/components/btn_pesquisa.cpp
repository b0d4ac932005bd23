#include "host/components/btn_pesquisa.h"

#include "host/components/consiste.h"
#include "host/components/datasets.h"
#include "host/toolkit/application.h"

namespace comp {

TBtnPesquisa::TBtnPesquisa(tk::TComponent* owner, std::string name)
    : tk::TButtonControl(owner, "TBtnPesquisa", std::move(name)) {
  SetHint("Pesquisar");
}

void TBtnPesquisa::DoClick() {
  if (OnClick) {
    OnClick(*this);
    return;
  }
  bool proceed = true;
  if (OnBeforePesq) OnBeforePesq(*this, proceed);
  if (!proceed) return;
  TDataSet* dataset = data_source_ ? data_source_->DataSet() : nullptr;
  if (!dataset || dataset->IsEmpty()) MensErro(empty_error_, true);
  tk::PickList list = PickListOf(*dataset, title_);
  list.preselected = {dataset->RecNo()};
  const auto chosen = tk::Application().Dialogs().PickOne(list);
  if (!chosen) return;
  dataset->MoveTo(*chosen);
  if (OnAfterPesq) OnAfterPesq(*this);
}

}  // namespace comp
