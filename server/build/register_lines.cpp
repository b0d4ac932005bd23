#include "server/build/register_lines.h"

#include <cstring>
#include <stdexcept>

#include "lib/layout/document_rules.h"
#include "lib/layout/register_fields.h"

namespace server {
namespace {

std::string Ie(const std::string& ie) { return layout::WrittenStateRegistration(ie); }

// A line put together field by field in the order of its layout: each
// field is named, and its width is the one the register table gives, so the
// lines built here and the lines the checker and the readers take apart
// follow one table.
class LineOf {
 public:
  LineOf(const std::vector<layout::RegisterField>& fields, const char* prefix, TextEncoding encoding)
      : fields_(fields), line_(prefix), encoding_(encoding) {
    line_.reserve(kLineWidth);
  }
  // Text, left-aligned and blank-filled.
  LineOf& Text(const char* name, const std::string& utf8) {
    line_ += X(utf8, Next(name), encoding_);
    return *this;
  }
  // A code or counter given as digits, zero-filled; a document number keeps
  // its last digits when `keep_last`.
  LineOf& Digits(const char* name, const std::string& digits, bool keep_last = false) {
    line_ += N(digits, Next(name), keep_last);
    return *this;
  }
  // A whole number of the smallest unit; `label` names the field when it
  // does not fit.
  LineOf& Amount(const char* name, std::int64_t value, const char* label) {
    line_ += N(value, Next(name), label);
    return *this;
  }
  LineOf& Date(const char* name, const std::string& iso_date) { return Exact(name, DateField(iso_date)); }
  // The other party and the date that open the lines of a document.
  LineOf& Party(const DocumentHead& d) {
    return Digits("CNPJ", d.cnpj).Text("IE", Ie(d.ie)).Date("date", d.date).Text("UF", d.uf);
  }
  // A value already of the field's width.
  LineOf& Exact(const char* name, const std::string& value) {
    if (value.size() != Next(name)) Fault(std::string("field '") + name + "' given " + value);
    line_ += value;
    return *this;
  }
  LineOf& Exact(const char* name, char value) { return Exact(name, std::string(1, value)); }
  LineOf& Blank(const char* name) {
    line_.append(Next(name), ' ');
    return *this;
  }
  // What lies between the fields before and the next one, blank-filled.
  LineOf& Between(const std::string& text) {
    const std::size_t next = fields_.at(k_).start - 1;
    if (text.size() > next - line_.size()) Fault("the text between the fields is too long");
    line_ += text;
    line_.append(next - line_.size(), ' ');
    return *this;
  }
  std::string Done() {
    if (k_ != fields_.size() || line_.size() != kLineWidth) Fault("not every field given");
    return std::move(line_);
  }

 private:
  // The width of the next field of the layout, which must be `name`.
  std::size_t Next(const char* name) {
    if (k_ >= fields_.size() || std::strcmp(fields_[k_].name, name) != 0 ||
        fields_[k_].start != line_.size() + 1)
      Fault(std::string("field '") + name + "' out of the layout's order");
    return fields_[k_++].width;
  }
  [[noreturn]] void Fault(const std::string& what) const {
    throw std::logic_error("register " + line_.substr(0, 2) + " built wrong: " + what);
  }
  const std::vector<layout::RegisterField>& fields_;
  std::size_t k_ = 0;
  std::string line_;
  TextEncoding encoding_;
};

const std::vector<layout::RegisterField>& Fields(const char* layout) {
  return layout::RegisterLayouts().at(layout);
}

// MMAAAA of "AAAA-MM" (or of a whole date).
std::string MonthField(const std::string& iso) { return iso.substr(5, 2) + iso.substr(0, 4); }

}  // namespace

std::string RegisterLines::R10(const Informant& i, const FileHeader& h) const {
  static const auto& fields = Fields("10");
  return LineOf(fields, "10", encoding_)
      .Digits("CNPJ", i.cnpj)
      .Text("IE", Ie(i.ie))
      .Text("name", i.name)
      .Text("city", i.city)
      .Text("UF", i.uf)
      .Digits("fax", i.fax)
      .Date("first day", h.first_day)
      .Date("last day", h.last_day)
      .Exact("version", h.version)
      .Exact("nature", h.nature)
      .Exact("purpose", h.purpose)
      .Done();
}

std::string RegisterLines::R11(const Informant& i) const {
  static const auto& fields = Fields("11");
  return LineOf(fields, "11", encoding_)
      .Text("street", i.street)
      .Digits("number", i.number)
      .Text("complement", i.complement)
      .Text("district", i.district)
      .Digits("CEP", i.zip)
      .Text("contact", i.contact)
      .Digits("phone", i.phone)
      .Done();
}

std::string RegisterLines::R50(const DocumentHead& d, const Reg50Values& v) const {
  static const auto& fields = Fields("50");
  return LineOf(fields, "50", encoding_)
      .Party(d)
      .Digits("model", d.model)
      .Text("series", d.series)
      .Digits("number", d.number, true)
      .Digits("CFOP", v.cfop)
      .Exact("issuer", d.issuer)
      .Amount("total", v.total, "Valor total")
      .Amount("ICMS base", v.icms_base, "Base de cálculo do ICMS")
      .Amount("ICMS", v.icms, "Valor do ICMS")
      .Amount("exempt", v.exempt, "Isenta ou não tributada")
      .Amount("other", v.other, "Outras")
      .Amount("rate", v.rate, "Alíquota")
      .Exact("situation", d.situation)
      .Done();
}

std::string RegisterLines::R51(const DocumentHead& d, const Reg51Values& v) const {
  static const auto& fields = Fields("51");
  return LineOf(fields, "51", encoding_)
      .Party(d)
      .Text("series", d.series)
      .Digits("number", d.number, true)
      .Digits("CFOP", v.cfop)
      .Amount("total", v.total, "Valor total")
      .Amount("IPI", v.ipi, "Valor do IPI")
      .Amount("IPI exempt", v.ipi_exempt, "Isenta ou não tributada - IPI")
      .Amount("IPI other", v.ipi_other, "Outras - IPI")
      .Blank("blanks")
      .Exact("situation", d.situation)
      .Done();
}

std::string RegisterLines::R53(const DocumentHead& d, const Reg53Values& v) const {
  static const auto& fields = Fields("53");
  return LineOf(fields, "53", encoding_)
      .Party(d)
      .Digits("model", d.model)
      .Text("series", d.series)
      .Digits("number", d.number, true)
      .Digits("CFOP", v.cfop)
      .Exact("issuer", d.issuer)
      .Amount("ST base", v.st_base, "Base de cálculo do ICMS ST")
      .Amount("ICMS retained", v.st_icms, "ICMS retido")
      .Amount("expenses", v.expenses, "Despesas acessórias")
      .Exact("situation", d.situation)
      .Text("anticipation", v.anticipation)
      .Blank("blanks")
      .Done();
}

std::string RegisterLines::R54(const DocumentHead& d, const Reg54Values& v) const {
  static const auto& fields = Fields("54");
  return LineOf(fields, "54", encoding_)
      .Digits("CNPJ", d.cnpj)
      .Digits("model", d.model)
      .Text("series", d.series)
      .Digits("number", d.number, true)
      .Digits("CFOP", v.cfop)
      .Text("CST", v.cst)
      .Digits("item", v.item)
      .Text("product", v.product)
      .Amount("quantity", v.quantity, "Quantidade")
      .Amount("amount", v.amount, "Valor do produto")
      .Amount("discount", v.discount, "Valor do desconto / despesa acessória")
      .Amount("ICMS base", v.icms_base, "Base de cálculo do ICMS")
      .Amount("ST base", v.st_base, "Base de cálculo do ICMS ST")
      .Amount("IPI", v.ipi, "Valor do IPI")
      .Amount("rate", v.rate, "Alíquota do ICMS")
      .Done();
}

std::string RegisterLines::R75(const std::string& first_day, const std::string& last_day,
                               const Product& p) const {
  static const auto& fields = Fields("75");
  return LineOf(fields, "75", encoding_)
      .Date("first day", first_day)
      .Date("last day", last_day)
      .Text("product", p.code)
      .Text("NCM", p.ncm)
      .Text("description", p.description)
      .Text("unit", p.unit)
      .Amount("IPI rate", p.ipi_rate, "Alíquota do IPI")
      .Amount("ICMS rate", p.icms_rate, "Alíquota do ICMS")
      .Amount("base reduction", p.base_reduction, "Redução da base de cálculo do ICMS")
      .Amount("ST base", p.st_base, "Base de cálculo do ICMS ST")
      .Done();
}

std::string RegisterLines::R55(const Informant& i, const Reg55Values& v) const {
  static const auto& fields = Fields("55");
  return LineOf(fields, "55", encoding_)
      .Digits("CNPJ", i.cnpj)
      .Text("IE", Ie(v.substitute_ie))
      .Date("date", v.payment_date)
      .Text("UF", i.uf)
      .Text("favoured UF", v.favoured_uf)
      .Digits("bank", v.bank)
      .Digits("agency", v.agency)
      .Text("GNRE number", v.number)
      .Amount("amount", v.amount, "Valor GNRE")
      .Date("due date", v.due_date)
      .Digits("reference month", v.reference.substr(4, 2) + v.reference.substr(0, 4))
      .Text("agreement", v.agreement)
      .Done();
}

std::string RegisterLines::R60M(const EcfDay& d) const {
  static const auto& fields = Fields("60M");
  return LineOf(fields, "60M", encoding_)
      .Date("date", d.date)
      .Text("ECF serial", d.serial)
      .Amount("ECF order", d.order, "Número de ordem do equipamento")
      .Text("model", d.model)
      .Amount("first COO", d.first_coo, "COO inicial")
      .Amount("last COO", d.last_coo, "COO final")
      .Amount("CRZ", d.crz, "Contador de redução Z")
      .Amount("CRO", d.cro, "Contador de reinício de operação")
      .Amount("gross sales", d.gross, "Valor da venda bruta")
      .Amount("grand total", d.grand_total, "Totalizador geral")
      .Blank("blanks")
      .Done();
}

std::string RegisterLines::R60A(const EcfDay& d, const std::string& totaliser, std::int64_t amount) const {
  static const auto& fields = Fields("60A");
  return LineOf(fields, "60A", encoding_)
      .Date("date", d.date)
      .Text("ECF serial", d.serial)
      .Text("totaliser", totaliser)
      .Amount("amount", amount, "Valor acumulado no totalizador parcial")
      .Blank("blanks")
      .Done();
}

std::string RegisterLines::R60D(const EcfDay& d, const EcfSale& s) const {
  static const auto& fields = Fields("60D");
  return LineOf(fields, "60D", encoding_)
      .Date("date", d.date)
      .Text("ECF serial", d.serial)
      .Text("product", s.product)
      .Amount("quantity", s.quantity, "Quantidade")
      .Amount("amount", s.value, "Valor da mercadoria")
      .Amount("ICMS base", s.icms_base, "Base de cálculo do ICMS")
      .Text("totaliser", s.totaliser)
      .Amount("ICMS", s.icms, "Valor do ICMS")
      .Blank("blanks")
      .Done();
}

std::string RegisterLines::R60I(const EcfDay& d, std::int64_t coo, std::int64_t item,
                                const EcfSale& s) const {
  static const auto& fields = Fields("60I");
  return LineOf(fields, "60I", encoding_)
      .Date("date", d.date)
      .Text("ECF serial", d.serial)
      .Text("model", d.model)
      .Amount("COO", coo, "COO")
      .Amount("item", item, "Número do item")
      .Text("product", s.product)
      .Amount("quantity", s.quantity, "Quantidade")
      .Amount("amount", s.value, "Valor da mercadoria")
      .Amount("ICMS base", s.icms_base, "Base de cálculo do ICMS")
      .Text("totaliser", s.totaliser)
      .Amount("ICMS", s.icms, "Valor do ICMS")
      .Blank("blanks")
      .Done();
}

std::string RegisterLines::R60R(const std::string& month, const EcfSale& s) const {
  static const auto& fields = Fields("60R");
  return LineOf(fields, "60R", encoding_)
      .Exact("month", MonthField(month))
      .Text("product", s.product)
      .Amount("quantity", s.quantity, "Quantidade")
      .Amount("amount", s.value, "Valor da mercadoria")
      .Amount("ICMS base", s.icms_base, "Base de cálculo do ICMS")
      .Text("totaliser", s.totaliser)
      .Blank("blanks")
      .Done();
}

std::string RegisterLines::R61(const Reg61Values& v) const {
  static const auto& fields = Fields("61");
  return LineOf(fields, "61", encoding_)
      .Blank("blanks")
      .Date("date", v.date)
      .Digits("model", v.model)
      .Text("series", v.series)
      .Text("subseries", v.subseries)
      .Amount("first number", v.first, "Número inicial de ordem")
      .Amount("last number", v.last, "Número final de ordem")
      .Amount("total", v.total, "Valor total")
      .Amount("ICMS base", v.icms_base, "Base de cálculo do ICMS")
      .Amount("ICMS", v.icms, "Valor do ICMS")
      .Amount("exempt", v.exempt, "Isenta ou não tributadas")
      .Amount("other", v.other, "Outras")
      .Amount("rate", v.rate, "Alíquota")
      .Blank("blank")
      .Done();
}

std::string RegisterLines::R61R(const Reg61RValues& v) const {
  static const auto& fields = Fields("61R");
  return LineOf(fields, "61R", encoding_)
      .Exact("month", MonthField(v.month))
      .Text("product", v.product)
      .Amount("quantity", v.quantity, "Quantidade")
      .Amount("amount", v.value, "Valor bruto do produto")
      .Amount("ICMS base", v.icms_base, "Base de cálculo do ICMS")
      .Amount("rate", v.rate, "Alíquota do produto")
      .Blank("blanks")
      .Done();
}

std::string RegisterLines::R70(const DocumentHead& d, const Reg70Values& v) const {
  static const auto& fields = Fields("70");
  return LineOf(fields, "70", encoding_)
      .Party(d)
      .Digits("model", d.model)
      .Text("series", d.series)
      .Text("subseries", v.subseries)
      .Digits("number", d.number, true)
      .Digits("CFOP", v.cfop)
      .Amount("total", v.total, "Valor total do documento")
      .Amount("ICMS base", v.icms_base, "Base de cálculo do ICMS")
      .Amount("ICMS", v.icms, "Valor do ICMS")
      .Amount("exempt", v.exempt, "Isenta ou não tributada")
      .Amount("other", v.other, "Outras")
      .Exact("freight", v.freight)
      .Exact("situation", d.situation)
      .Done();
}

std::string RegisterLines::R74(const Reg74Values& v) const {
  static const auto& fields = Fields("74");
  LineOf line(fields, "74", encoding_);
  line.Date("date", v.date)
      .Text("product", v.product)
      .Amount("quantity", v.quantity, "Quantidade")
      .Amount("amount", v.value, "Valor do produto")
      .Exact("possession", v.possession);
  // Goods the informant holds itself name no other holder.
  if (v.possession == '1') {
    line.Digits("CNPJ", "").Blank("IE");
  } else {
    line.Digits("CNPJ", v.cnpj).Text("IE", Ie(v.ie));
  }
  return line.Text("UF", v.uf).Blank("blanks").Done();
}

std::string RegisterLines::R88WithoutMovement(const Informant& i, bool entries) const {
  static const auto& sme = Fields("88SME");
  static const auto& sms = Fields("88SMS");
  return LineOf(entries ? sme : sms, entries ? "88SME" : "88SMS", encoding_)
      .Digits("CNPJ", i.cnpj)
      .Text("message", entries ? "Sem Movimento de Entradas" : "Sem Movimento de Saídas")
      .Blank("blanks")
      .Done();
}

std::string RegisterLines::R88Stock(const Informant& i, const StStock& s) const {
  static const auto& fields = Fields("88STE");
  return LineOf(fields, "88STES", encoding_)
      .Digits("CNPJ", i.cnpj)
      .Date("date", s.date)
      .Text("product", s.product)
      .Amount("quantity", s.quantity, "Quantidade")
      .Amount("ICMS ST", s.st_icms, "Valor do ICMS ST")
      .Amount("own ICMS", s.own_icms, "Valor do ICMS das operações próprias")
      .Blank("blank")
      .Done();
}

std::vector<std::string> RegisterLines::R90(const Informant& i,
                                            const std::vector<std::pair<std::string, long>>& counts,
                                            long lines_before_90) const {
  static const auto& fields = Fields("90");
  constexpr std::size_t kPairsPerLine = 9;
  const std::size_t pairs = counts.size() + 1;  // the grand total "99" is the last pair
  const std::size_t lines = (pairs + kPairsPerLine - 1) / kPairsPerLine;
  if (lines > 9) throw std::logic_error("register 90 needs more than nine lines");
  std::vector<std::string> out;
  std::string body;
  std::size_t in_line = 0;
  // The pairs of type and count lie between the IE and the number of 90 lines.
  const auto close_line = [&] {
    out.push_back(
        LineOf(fields, "90", encoding_)
            .Digits("CNPJ", i.cnpj)
            .Text("IE", Ie(i.ie))
            .Between(body)
            .Amount("number of 90 lines", static_cast<std::int64_t>(lines), "Número de registros 90")
            .Done());
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
