#pragma once
// The host's utility routines that screens share.
#include <string>

#include "host/toolkit/dialogs.h"
#include "lib/wire/variant.h"

namespace tk {
class TForm;
}

namespace comp {

class TDataSet;
class TDataSource;

// True for the empty text and a text of blanks only.
bool EmptyString(const std::string& text);
// A code brought to its fixed width: blanks around it dropped, then zeros in
// front up to `width` characters. A blank text gives the empty text; a longer
// code is kept whole.
std::string Ajusta(const std::string& text, int width);
// Shows the text as an error; with abort the running handler ends (silently).
void MensErro(const std::string& text, bool abort);

// A server reply that reports a failure: ["ERRO", message].
wire::Variant FailureReply(const std::string& message);
// Checks a lookup reply and gives back its data packet. A failure the server
// reported is shown and ends the handler (with `report`), or raised as an
// EServerError (without). A reply of another shape raises EServerError.
wire::Variant CheckResultServ(const wire::Variant& reply, bool report, int flags);

// First day of the date's month; last day of a month of a year.
double PriDiaMes(double date);
double UltDiaMes(int month, int year);

// The busy animation over a form; DeactiveShowAvi closes it.
void ActiveShowAvi(tk::TForm* form, int kind);
void ActiveShowAvi(tk::TForm* form, int kind, const std::string& text);
void DeactiveShowAvi();

// A pick list of a dataset's rows showing its visible fields under their labels.
tk::PickList PickListOf(const TDataSet& dataset, const std::string& title);

// Lets the user choose several rows of the data source; the chosen values of
// `column` are written into `selection` joined by ","; rows whose value the
// selection already holds start marked. When the user cancels, the selection
// stays as it was. Returns whether the user confirmed. `flag` is reserved.
bool PesquisaLista(TDataSource* source, const std::string& column, const std::string& title, bool flag,
                   std::string& selection);

}  // namespace comp
