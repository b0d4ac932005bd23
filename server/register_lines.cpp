#include "server/register_lines.h"

#include <stdexcept>

namespace server {
namespace {

std::string Checked(std::string line) {
  if (line.size() != kLineWidth) {
    throw std::logic_error("register " + line.substr(0, 2) + " built with " + std::to_string(line.size()) +
                           " positions");
  }
  return line;
}

// A party without a CNPJ (foreign, or a person without CPF) gets zeros.
std::string Cnpj(const std::string& cnpj) { return N(cnpj, 14); }

}  // namespace

std::string RegisterLines::Ie(const std::string& ie) const {
  // Digits only, no punctuation; "ISENTO" for a party without one.
  std::string digits;
  for (char c : ie) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return X(ie == "ISENTO" || digits.empty() ? std::string("ISENTO") : digits, 14);
}

std::string RegisterLines::R10(const Informant& i, const FileHeader& h) const {
  return Checked("10" + Cnpj(i.cnpj) + Ie(i.ie) + X(i.name, 35) + X(i.city, 30) + X(i.uf, 2) + N(i.fax, 10) +
                 DateField(h.first_day) + DateField(h.last_day) + h.version + h.nature + h.purpose);
}

std::string RegisterLines::R11(const Informant& i) const {
  return Checked("11" + X(i.street, 34) + N(i.number, 5) + X(i.complement, 22) + X(i.district, 15) +
                 N(i.zip, 8) + X(i.contact, 28) + N(i.phone, 12));
}

std::string RegisterLines::R50(const DocumentHead& d, const Reg50Values& v) const {
  return Checked("50" + Cnpj(d.cnpj) + Ie(d.ie) + DateField(d.date) + X(d.uf, 2) + N(d.model, 2) +
                 X(d.series, 3) + N(d.number, 6, true) + N(v.cfop, 4) + d.issuer +
                 N(v.total, 13, "Valor total") + N(v.icms_base, 13, "Base de cálculo do ICMS") +
                 N(v.icms, 13, "Valor do ICMS") + N(v.exempt, 13, "Isenta ou não tributada") +
                 N(v.other, 13, "Outras") + N(v.rate, 4, "Alíquota") + d.situation);
}

std::string RegisterLines::R51(const DocumentHead& d, const Reg51Values& v) const {
  return Checked("51" + Cnpj(d.cnpj) + Ie(d.ie) + DateField(d.date) + X(d.uf, 2) + X(d.series, 3) +
                 N(d.number, 6, true) + N(v.cfop, 4) + N(v.total, 13, "Valor total") +
                 N(v.ipi, 13, "Valor do IPI") + N(v.ipi_exempt, 13, "Isenta ou não tributada - IPI") +
                 N(v.ipi_other, 13, "Outras - IPI") + std::string(20, ' ') + d.situation);
}

std::string RegisterLines::R53(const DocumentHead& d, const Reg53Values& v) const {
  return Checked("53" + Cnpj(d.cnpj) + Ie(d.ie) + DateField(d.date) + X(d.uf, 2) + N(d.model, 2) +
                 X(d.series, 3) + N(d.number, 6, true) + N(v.cfop, 4) + d.issuer +
                 N(v.st_base, 13, "Base de cálculo do ICMS ST") + N(v.st_icms, 13, "ICMS retido") +
                 N(v.expenses, 13, "Despesas acessórias") + d.situation + X(v.anticipation, 1) +
                 std::string(29, ' '));
}

std::string RegisterLines::R54(const DocumentHead& d, const Reg54Values& v) const {
  return Checked(
      "54" + Cnpj(d.cnpj) + N(d.model, 2) + X(d.series, 3) + N(d.number, 6, true) + N(v.cfop, 4) +
      X(v.cst, 3) + N(v.item, 3) + X(v.product, 14) + N(v.quantity, 11, "Quantidade") +
      N(v.amount, 12, "Valor do produto") + N(v.discount, 12, "Valor do desconto / despesa acessória") +
      N(v.icms_base, 12, "Base de cálculo do ICMS") + N(v.st_base, 12, "Base de cálculo do ICMS ST") +
      N(v.ipi, 12, "Valor do IPI") + N(v.rate, 4, "Alíquota do ICMS"));
}

std::string RegisterLines::R75(const std::string& first_day, const std::string& last_day,
                               const Product& p) const {
  return Checked("75" + DateField(first_day) + DateField(last_day) + X(p.code, 14) + X(p.ncm, 8) +
                 X(p.description, 53) + X(p.unit, 6) + N(p.ipi_rate, 5, "Alíquota do IPI") +
                 N(p.icms_rate, 4, "Alíquota do ICMS") +
                 N(p.base_reduction, 5, "Redução da base de cálculo do ICMS") +
                 N(p.st_base, 13, "Base de cálculo do ICMS ST"));
}

std::vector<std::string> RegisterLines::R90(const Informant& i,
                                            const std::vector<std::pair<std::string, long>>& counts,
                                            long lines_before_90) const {
  constexpr std::size_t kPairsPerLine = 9;
  const std::size_t pairs = counts.size() + 1;  // the grand total "99" is the last pair
  const std::size_t lines = (pairs + kPairsPerLine - 1) / kPairsPerLine;
  if (lines > 9) throw std::logic_error("register 90 needs more than nine lines");
  std::vector<std::string> out;
  std::string body;
  std::size_t in_line = 0;
  const auto close_line = [&] {
    body.append(95 - body.size(), ' ');
    out.push_back(Checked("90" + Cnpj(i.cnpj) + Ie(i.ie) + body + std::to_string(lines)));
    body.clear();
    in_line = 0;
  };
  for (const auto& [type, count] : counts) {
    body += N(type, 2) + N(count, 8);
    if (++in_line == kPairsPerLine) close_line();
  }
  body += "99" + N(lines_before_90 + static_cast<long>(lines), 8);
  close_line();
  return out;
}

}  // namespace server
