#include "server/build/register_lines.h"

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

// MMAAAA of "AAAA-MM" (or of a whole date).
std::string MonthField(const std::string& iso) { return iso.substr(5, 2) + iso.substr(0, 4); }

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

std::string RegisterLines::R55(const Informant& i, const Reg55Values& v) const {
  return Checked("55" + Cnpj(i.cnpj) + Ie(v.substitute_ie) + DateField(v.payment_date) + X(i.uf, 2) +
                 X(v.favoured_uf, 2) + N(v.bank, 3) + N(v.agency, 4) + X(v.number, 20) +
                 N(v.amount, 13, "Valor GNRE") + DateField(v.due_date) +
                 N(v.reference.substr(4, 2) + v.reference.substr(0, 4), 6) + X(v.agreement, 30));
}

std::string RegisterLines::R60M(const EcfDay& d) const {
  return Checked("60M" + DateField(d.date) + X(d.serial, 20) +
                 N(d.order, 3, "Número de ordem do equipamento") + X(d.model, 2) +
                 N(d.first_coo, 6, "COO inicial") + N(d.last_coo, 6, "COO final") +
                 N(d.crz, 6, "Contador de redução Z") + N(d.cro, 3, "Contador de reinício de operação") +
                 N(d.gross, 16, "Valor da venda bruta") + N(d.grand_total, 16, "Totalizador geral") +
                 std::string(37, ' '));
}

std::string RegisterLines::R60A(const EcfDay& d, const std::string& totaliser, std::int64_t amount) const {
  return Checked("60A" + DateField(d.date) + X(d.serial, 20) + X(totaliser, 4) +
                 N(amount, 12, "Valor acumulado no totalizador parcial") + std::string(79, ' '));
}

std::string RegisterLines::R60D(const EcfDay& d, const EcfSale& s) const {
  return Checked("60D" + DateField(d.date) + X(d.serial, 20) + X(s.product, 14) +
                 N(s.quantity, 13, "Quantidade") + N(s.value, 16, "Valor da mercadoria") +
                 N(s.icms_base, 16, "Base de cálculo do ICMS") + X(s.totaliser, 4) +
                 N(s.icms, 13, "Valor do ICMS") + std::string(19, ' '));
}

std::string RegisterLines::R60I(const EcfDay& d, std::int64_t coo, std::int64_t item,
                                const EcfSale& s) const {
  return Checked("60I" + DateField(d.date) + X(d.serial, 20) + X(d.model, 2) + N(coo, 6, "COO") +
                 N(item, 3, "Número do item") + X(s.product, 14) + N(s.quantity, 13, "Quantidade") +
                 N(s.value, 13, "Valor da mercadoria") + N(s.icms_base, 12, "Base de cálculo do ICMS") +
                 X(s.totaliser, 4) + N(s.icms, 12, "Valor do ICMS") + std::string(16, ' '));
}

std::string RegisterLines::R60R(const std::string& month, const EcfSale& s) const {
  return Checked("60R" + MonthField(month) + X(s.product, 14) + N(s.quantity, 13, "Quantidade") +
                 N(s.value, 16, "Valor da mercadoria") + N(s.icms_base, 16, "Base de cálculo do ICMS") +
                 X(s.totaliser, 4) + std::string(54, ' '));
}

std::string RegisterLines::R61(const Reg61Values& v) const {
  return Checked("61" + std::string(28, ' ') + DateField(v.date) + N(v.model, 2) + X(v.series, 3) +
                 X(v.subseries, 2) + N(v.first, 6, "Número inicial de ordem") +
                 N(v.last, 6, "Número final de ordem") + N(v.total, 13, "Valor total") +
                 N(v.icms_base, 13, "Base de cálculo do ICMS") + N(v.icms, 12, "Valor do ICMS") +
                 N(v.exempt, 13, "Isenta ou não tributadas") + N(v.other, 13, "Outras") +
                 N(v.rate, 4, "Alíquota") + " ");
}

std::string RegisterLines::R61R(const Reg61RValues& v) const {
  return Checked("61R" + MonthField(v.month) + X(v.product, 14) + N(v.quantity, 13, "Quantidade") +
                 N(v.value, 16, "Valor bruto do produto") + N(v.icms_base, 16, "Base de cálculo do ICMS") +
                 N(v.rate, 4, "Alíquota do produto") + std::string(54, ' '));
}

std::string RegisterLines::R70(const DocumentHead& d, const Reg70Values& v) const {
  return Checked("70" + Cnpj(d.cnpj) + Ie(d.ie) + DateField(d.date) + X(d.uf, 2) + N(d.model, 2) +
                 X(d.series, 1) + X(v.subseries, 2) + N(d.number, 6, true) + N(v.cfop, 4) +
                 N(v.total, 13, "Valor total do documento") + N(v.icms_base, 14, "Base de cálculo do ICMS") +
                 N(v.icms, 14, "Valor do ICMS") + N(v.exempt, 14, "Isenta ou não tributada") +
                 N(v.other, 14, "Outras") + v.freight + d.situation);
}

std::string RegisterLines::R74(const Reg74Values& v) const {
  // Goods the informant holds itself name no other holder.
  const bool own = v.possession == '1';
  return Checked("74" + DateField(v.date) + X(v.product, 14) + N(v.quantity, 13, "Quantidade") +
                 N(v.value, 13, "Valor do produto") + v.possession +
                 (own ? std::string(14, '0') : Cnpj(v.cnpj)) + (own ? std::string(14, ' ') : Ie(v.ie)) +
                 X(v.uf, 2) + std::string(45, ' '));
}

std::string RegisterLines::R88WithoutMovement(const Informant& i, bool entries) const {
  return Checked(std::string("88") + (entries ? "SME" : "SMS") + Cnpj(i.cnpj) +
                 X(entries ? "Sem Movimento de Entradas" : "Sem Movimento de Saídas", 34) +
                 std::string(73, ' '));
}

std::string RegisterLines::R88Stock(const Informant& i, const StStock& s) const {
  return Checked("88STES" + Cnpj(i.cnpj) + DateField(s.date) + X(s.product, 60) +
                 N(s.quantity, 13, "Quantidade") + N(s.st_icms, 12, "Valor do ICMS ST") +
                 N(s.own_icms, 12, "Valor do ICMS das operações próprias") + " ");
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
