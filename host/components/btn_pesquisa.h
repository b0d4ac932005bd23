#pragma once
// The search button: on a click it lets its OnBeforePesq handler load the
// dataset of its data source, reports EmptyError when the dataset is empty,
// otherwise shows the dataset's visible fields under their labels for the user
// to pick a row, and runs OnAfterPesq with the dataset on the chosen row.
// A button with a plain OnClick runs only that.
#include <functional>
#include <string>

#include "host/toolkit/buttons.h"

namespace comp {

class TDataSource;

// The Boolean starts true; a handler that sets it false ends the search.
using TBeforePesqEvent = std::function<void(tk::TComponent& sender, bool& proceed)>;

class TBtnPesquisa : public tk::TButtonControl {
 public:
  TBtnPesquisa(tk::TComponent* owner, std::string name);

  tk::TControl* Associate() const { return associate_; }
  void SetAssociate(tk::TControl* control) { associate_ = control; }
  TDataSource* DataSource() const { return data_source_; }
  void SetDataSource(TDataSource* source) { data_source_ = source; }
  const std::string& Title() const { return title_; }
  void SetTitle(std::string title) { title_ = std::move(title); }
  const std::string& EmptyError() const { return empty_error_; }
  void SetEmptyError(std::string text) { empty_error_ = std::move(text); }
  int NumGlyphs() const { return num_glyphs_; }
  void SetNumGlyphs(int n) { num_glyphs_ = n; }

  TBeforePesqEvent OnBeforePesq;
  tk::TNotifyEvent OnAfterPesq;

 protected:
  void DoClick() override;

 private:
  tk::TControl* associate_ = nullptr;
  TDataSource* data_source_ = nullptr;
  std::string title_;
  std::string empty_error_;
  int num_glyphs_ = 1;
};

}  // namespace comp
