#include "host/cli/month_plan.h"

#include <algorithm>

#include "host/components/ado_query.h"
#include "host/components/client_dataset.h"
#include "host/components/db_geral.h"
#include "host/components/host_settings.h"

namespace cli {
namespace {

constexpr const char* kServerName = "Mag04200.rdmArqMag";

std::vector<std::vector<std::string>> Rows(comp::TDataSet& data, const std::vector<std::string>& fields) {
  std::vector<std::vector<std::string>> rows;
  for (data.First(); !data.Eof(); data.Next()) {
    std::vector<std::string> row;
    for (const auto& field : fields) row.push_back(data.FieldByName(field).AsString());
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<std::vector<std::string>> Query(const std::vector<std::string>& sql,
                                            const std::vector<std::pair<std::string, std::string>>& params,
                                            const std::vector<std::string>& fields) {
  if (!comp::dtmDBGeral) throw std::logic_error("the host's data module is not there");
  comp::TADOIBQuery query(nullptr, "qryLote");
  query.SetConnection(comp::dtmDBGeral->adcGeral);
  query.SetSQL(sql);
  for (const auto& [name, value] : params) query.ParamByName(name).SetAsString(value);
  query.Open();
  return Rows(query, fields);
}

}  // namespace

Lookups::Lookups() {
  const comp::HostSettings& settings = comp::Settings();
  server_.Connect(settings.ServerHost(), settings.ServerPort(), kServerName);
}

std::vector<std::vector<std::string>> Lookups::Call(const std::string& method,
                                                    const std::vector<std::string>& arguments,
                                                    const std::vector<std::string>& fields) {
  std::vector<comp::CallArgument> args;
  for (const auto& a : arguments) args.push_back({wire::Variant(a), false});
  comp::TClientDataSet data(nullptr, "cdsLote");
  for (const auto& field : fields) data.AddField(field, comp::TFieldType::ftString);
  data.SetData(server_.Call(method, args));
  return Rows(data, fields);
}

std::vector<Lookups::Company> Lookups::Companies() {
  if (companies_.empty()) {
    for (auto& row : Call("GetEmpresa", {"T"}, {"CDEMPRESA", "CDSITUCRT"}))
      companies_.push_back({row[0], row[1]});
  }
  return companies_;
}

std::string Lookups::StateTax() {
  if (!state_tax_read_) {
    for (auto& row : Call("GetImpostonfe", {"", "T"}, {"CDIMPOSTONFE", "IDORGARRECADNFE"})) {
      if (row[1] == "E") {
        state_tax_ = row[0];
        break;
      }
    }
    state_tax_read_ = true;
  }
  return state_tax_;
}

std::vector<Lookups::Registration> Lookups::LockedRegistrations(const std::string& aaaamm) {
  std::vector<Registration> found;
  for (auto& row :
       Query({"SELECT i.CDEMPRESA, i.CDINSCESTA, i.SGESTADO FROM INSCRESTAD i",
              "JOIN MAPAFISCAL m ON m.CDEMPRESA = i.CDEMPRESA AND m.CDINSCESTA = i.CDINSCESTA",
              "WHERE m.NRANOMES = :P_ANOMES AND m.IDBLOQUEADO = 'S'", "ORDER BY i.CDEMPRESA, i.CDINSCESTA"},
             {{"P_ANOMES", aaaamm}}, {"CDEMPRESA", "CDINSCESTA", "SGESTADO"})) {
    found.push_back({row[0], row[1], row[2]});
  }
  return found;
}

std::string Lookups::StateOf(const std::string& company, const std::string& registration) {
  const auto rows =
      Query({"SELECT SGESTADO FROM INSCRESTAD", "WHERE CDEMPRESA = :P_EMPRESA AND CDINSCESTA = :P_INSCESTA"},
            {{"P_EMPRESA", company}, {"P_INSCESTA", registration}}, {"SGESTADO"});
  return rows.empty() ? std::string() : rows[0][0];
}

std::vector<Lookups::Substitute> Lookups::Substitutes(const std::string& company,
                                                      const std::string& registration) {
  std::vector<Substitute> found;
  for (auto& row : Call("GetInscST", {company, registration, ""}, {"CDINSCESTAST", "SGESTADO"}))
    found.push_back({row[0], row[1]});
  return found;
}

std::vector<PlannedFile> PlanForMonth(Lookups& lookups, const std::string& month,
                                      const std::string& pattern) {
  const std::string aaaamm = YearMonthOf(month, "--todas");
  const std::string typed = aaaamm.substr(4) + "/" + aaaamm.substr(0, 4);
  std::vector<PlannedFile> plan;
  for (const auto& r : lookups.LockedRegistrations(aaaamm)) {
    PlannedFile file;
    file.options.empresa = r.company;
    file.options.inscricao = r.registration;
    file.options.de = file.options.ate = typed;
    file.options.versao = "3";
    file.options.finalidade = "1";
    file.options.nome = pattern;
    file.state = r.state;
    Complete(lookups, file);
    plan.push_back(file);
    // A tax substitute files to each state where it is registered as one.
    for (const auto& st : lookups.Substitutes(r.company, r.registration)) {
      PlannedFile substitute = file;
      substitute.options.inscricao_st = st.registration;
      substitute.state = st.state;
      plan.push_back(std::move(substitute));
    }
  }
  return plan;
}

void Complete(Lookups& lookups, PlannedFile& file) {
  ExportOptions& o = file.options;
  if (o.imposto.empty()) {
    const auto companies = lookups.Companies();
    const auto it = std::find_if(companies.begin(), companies.end(),
                                 [&](const Lookups::Company& c) { return c.code == o.empresa; });
    if (it != companies.end() && it->regime == "3") o.imposto = lookups.StateTax();
  }
  if (!file.state.empty()) return;
  if (!o.inscricao_st.empty()) {
    for (const auto& st : lookups.Substitutes(o.empresa, o.inscricao)) {
      if (st.registration == o.inscricao_st) file.state = st.state;
    }
  } else {
    file.state = lookups.StateOf(o.empresa, o.inscricao);
  }
}

}  // namespace cli
