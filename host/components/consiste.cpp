#include "host/components/consiste.h"

#include <algorithm>
#include <stdexcept>

#include "host/components/datasets.h"
#include "host/components/net_connection.h"
#include "host/toolkit/application.h"
#include "lib/text/utf8.h"
#include "lib/wire/host_date.h"

namespace comp {

bool EmptyString(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

std::string Ajusta(const std::string& text, int width) {
  const auto begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return {};
  const std::string code = text.substr(begin, text.find_last_not_of(' ') - begin + 1);
  const auto length = static_cast<int>(::text::utf8::Length(code));
  return length >= width ? code : std::string(static_cast<std::size_t>(width - length), '0') + code;
}

void MensErro(const std::string& text, bool abort) {
  tk::Application().Dialogs().ShowMessage(tk::MessageKind::Error, text);
  if (abort) tk::Abort();
}

wire::Variant FailureReply(const std::string& message) { return wire::VariantArray{"ERRO", message}; }

wire::Variant CheckResultServ(const wire::Variant& reply, bool report, int) {
  if (reply.kind() == wire::Variant::Kind::Packet) return reply;
  std::string message = "Resposta inesperada do servidor de aplicação.";
  if (reply.kind() == wire::Variant::Kind::Array) {
    const auto& items = reply.AsArray();
    if (items.size() == 2 && items[0].kind() == wire::Variant::Kind::String &&
        items[0].AsString() == "ERRO" && items[1].kind() == wire::Variant::Kind::String) {
      message = items[1].AsString();
      if (report) MensErro(message, true);
    }
  }
  throw EServerError(message);
}

double PriDiaMes(double date) {
  const wire::CalendarDate d = wire::DecodeDate(date);
  return wire::EncodeDate(d.year, d.month, 1);
}

double UltDiaMes(int month, int year) {
  return wire::EncodeDate(year, month, wire::DaysInMonth(year, month));
}

void ActiveShowAvi(tk::TForm* form, int kind) { ActiveShowAvi(form, kind, ""); }

void ActiveShowAvi(tk::TForm* form, int kind, const std::string& text) {
  tk::Application().Dialogs().BusyShow(form ? form->Caption() : std::string(), kind, text);
}

void DeactiveShowAvi() { tk::Application().Dialogs().BusyHide(); }

tk::PickList PickListOf(const TDataSet& dataset, const std::string& title) {
  tk::PickList list;
  list.title = title;
  std::vector<const TField*> visible;
  for (const TField* f : dataset.Fields()) {
    if (!f->Visible()) continue;
    visible.push_back(f);
    list.columns.push_back({f->DisplayLabel(), f->DisplayWidth()});
  }
  for (std::size_t row = 0; row < dataset.RecordCount(); ++row) {
    std::vector<std::string> values;
    for (const TField* f : visible) values.push_back(dataset.Value(row, *f));
    list.rows.push_back(std::move(values));
  }
  return list;
}

bool PesquisaLista(TDataSource* source, const std::string& column, const std::string& title, bool,
                   std::string& selection) {
  if (!source || !source->DataSet()) throw std::invalid_argument("PesquisaLista: no data source");
  TDataSet& dataset = *source->DataSet();
  const TField& field = dataset.FieldByName(column);
  tk::PickList list = PickListOf(dataset, title);
  std::vector<std::string> current;
  for (std::size_t start = 0; !selection.empty() && start <= selection.size();) {
    const auto comma = selection.find(',', start);
    current.push_back(
        selection.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  for (std::size_t row = 0; row < dataset.RecordCount(); ++row) {
    if (std::find(current.begin(), current.end(), dataset.Value(row, field)) != current.end()) {
      list.preselected.push_back(row);
    }
  }
  const auto chosen = tk::Application().Dialogs().PickMany(list);
  if (!chosen) return false;
  std::string result;
  for (std::size_t row : *chosen) {
    if (!result.empty()) result += ',';
    result += dataset.Value(row, field);
  }
  selection = result;
  return true;
}

}  // namespace comp
