#include "server/rpc/file_request_check.h"

#include <cmath>
#include <cstdio>
#include <set>

#include "lib/text/utf8.h"
#include "lib/wire/file_name.h"
#include "lib/wire/host_date.h"
#include "server/rpc/state_file_types.h"

namespace server {
namespace {

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::string IsoDate(const wire::CalendarDate& d) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", d.year, d.month, d.day);
  return buffer;
}

const std::vector<std::string> kFileTypes = {"SINTEGRA",      "DIEF - MA",     "DIEF - PI",
                                             "SINTEGRA - MS", "SINTEGRA - RJ", "SINTEGRA - RS"};

// The checks of a file request that end in the status "PARAM": the values
// are well-formed but do not describe a file that can be built. Returns why,
// for the server's log, or "" for a request that can be built.
std::string RefusalOf(sql::Session& s, const wire::RegistroRequest& a, FileRequest& r) {
  const auto exists = [&](const std::string& text, const std::vector<sql::Param>& params) {
    return !s.Query(text, params).rows.empty();
  };
  r.mask = a.mask;
  if (r.mask.size() != 12 || r.mask.find_first_not_of("SN") != std::string::npos)
    return "the register mask is not 12 characters S or N";
  const std::string tax = Trim(a.tax);
  r.company = a.company;
  r.registration = a.registration;
  r.substitute = Trim(a.substitute);
  if (r.company.empty() || r.registration.empty()) return "no company or no registration";
  if (!exists("SELECT 1 FROM INSCRESTAD WHERE CDEMPRESA = :E AND CDINSCESTA = :I",
              {{"E", r.company}, {"I", r.registration}})) {
    return "company " + r.company + " has no registration " + r.registration;
  }
  if (!tax.empty() && !exists("SELECT 1 FROM IMPOSTONFE WHERE CDIMPOSTONFE = :T", {{"T", tax}}))
    return "no tax " + tax;
  if (!r.substitute.empty() &&
      !exists("SELECT 1 FROM INSCRSUBST WHERE CDEMPRESA = :E AND CDINSCESTA = :I AND CDINSCESTAST = :S",
              {{"E", r.company}, {"I", r.registration}, {"S", r.substitute}})) {
    return "registration " + r.registration + " has no substitute registration " + r.substitute;
  }

  const double first = a.first_day;
  const double last = a.last_day;
  if (!std::isfinite(first) || !std::isfinite(last) || first < 1 || last > 2958465 || first > last)
    return "the period's days are out of range or reversed";
  const auto d1 = wire::DecodeDate(first);
  const auto d2 = wire::DecodeDate(last);
  if (d1.day != 1 || d2.day != wire::DaysInMonth(d2.year, d2.month))
    return "the period does not run from the 1st of a month to the last day of a month";
  r.first_day = IsoDate(d1);
  r.last_day = IsoDate(d2);

  const std::string country = Trim(a.country);
  if (!country.empty() && !exists("SELECT 1 FROM PAIS WHERE CDPAIS = :P", {{"P", country}}))
    return "no country " + country;
  // The chosen states: two capital letters each, separated by commas, none
  // twice, each a state of the country when one is given.
  const std::string states = a.states;
  std::set<std::string> seen;
  for (std::size_t start = 0; !states.empty() && start <= states.size();) {
    const auto comma = states.find(',', start);
    const std::string uf =
        states.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (uf.size() != 2 || uf.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos ||
        !seen.insert(uf).second) {
      return "the state list '" + states + "' is malformed";
    }
    if (!country.empty() &&
        !exists("SELECT 1 FROM ESTADO WHERE CDPAIS = :P AND SGESTADO = :U", {{"P", country}, {"U", uf}})) {
      return "country " + country + " has no state " + uf;
    }
    r.states.push_back(uf);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }

  const std::string version = a.version;
  const std::string purpose = a.purpose;
  if (version.size() != 1 || std::string("123").find(version[0]) == std::string::npos)
    return "the convention version is not 1, 2 or 3";
  if (purpose.size() != 1 || std::string("1235").find(purpose[0]) == std::string::npos)
    return "the purpose is not 1, 2, 3 or 5";
  r.version = version[0];
  r.purpose = purpose[0];

  const std::string file_name = a.file_name;
  if (Trim(file_name).empty() || ::text::utf8::Length(file_name) > 50 || !wire::IsSafeFileName(file_name))
    return "the file name is empty, longer than 50 characters or not a plain name";
  r.file_type = a.file_type;
  bool known_type = false;
  for (const auto& t : kFileTypes) known_type = known_type || t == r.file_type;
  if (!known_type) return "no file type '" + r.file_type + "'";
  r.book = Trim(a.book);
  if (!r.book.empty() && !exists("SELECT 1 FROM LIVROMAG WHERE CDLIVROMAG = :L", {{"L", r.book}}))
    return "no magnetic book " + r.book;
  const double inventory = a.inventory;
  if (!std::isfinite(inventory) || inventory < 0 || inventory > 2958465)
    return "the inventory day is out of range";
  // 30 and 31 December 1899 (host dates 0 and 1) stand for "no inventory date".
  if (inventory >= 2) r.inventory_day = IsoDate(wire::DecodeDate(inventory));
  return {};
}

// Every month of the period needs its fiscal map locked.
bool MapsLocked(sql::Session& s, const FileRequest& r) {
  int year = std::stoi(r.first_day.substr(0, 4));
  int month = std::stoi(r.first_day.substr(5, 2));
  const int last = std::stoi(r.last_day.substr(0, 4)) * 12 + std::stoi(r.last_day.substr(5, 2));
  for (; year * 12 + month <= last; month == 12 ? (month = 1, ++year) : ++month) {
    char period[8];
    std::snprintf(period, sizeof period, "%04d%02d", year, month);
    const auto rows = s.Query(
        "SELECT IDBLOQUEADO FROM MAPAFISCAL WHERE CDEMPRESA = :E AND CDINSCESTA = :I AND NRANOMES = :P",
        {{"E", r.company}, {"I", r.registration}, {"P", period}});
    if (rows.rows.empty() || rows.rows[0][0].value_or("") != "S") return false;
  }
  return true;
}

}  // namespace

std::variant<FileRequest, Refusal> CheckFileRequest(sql::Session& session,
                                                    const wire::RegistroRequest& call) {
  FileRequest file;
  if (std::string refusal = RefusalOf(session, call, file); !refusal.empty())
    return Refusal{"PARAM", std::move(refusal)};
  if (!MapsLocked(session, file)) return Refusal{"MP_BLOQ", {}};
  if (file.version != '3') {
    // Only the current structure is built, and the validators take no
    // other for a period from 2004 on.
    const std::string v(1, file.version);
    return Refusal{file.first_day >= "2004-01-01"
                       ? "A estrutura do convênio " + v + " não vale para períodos a partir de 2004; use 3."
                       : "A estrutura do convênio " + v + " não é gerada por este servidor; use 3.",
                   {}};
  }
  if (std::string rule = StateRule(file, SelectRegisters(file.file_type, file.mask)); !rule.empty())
    return Refusal{std::move(rule), {}};
  return file;
}

}  // namespace server
