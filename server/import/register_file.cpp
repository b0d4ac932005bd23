#include "server/import/register_file.h"

#include <fstream>

#include "lib/layout/register_fields.h"
#include "lib/text/utf8.h"
#include "lib/wire/latin1.h"
#include "server/import/imported_document.h"

namespace server::import {
namespace {

// Text of the file as the tables keep it (UTF-8): a byte that does not
// start valid UTF-8 is read as ISO-8859-1, as other systems write accents.
std::string Text(const std::string& bytes) {
  return ::text::utf8::IsValid(bytes) ? bytes : wire::Latin1ToUtf8(bytes);
}

}  // namespace

RegisterFile ReadRegisterFile(const std::string& path, bool with_notes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ImportRefused("o arquivo não pode ser lido");
  RegisterFile file;
  long number = 0;
  // A document is its party, model, series and number as written.
  std::map<std::string, std::size_t> note_of;
  const auto note = [&](const std::string& key, const char* type) -> MergedNote& {
    const auto found = note_of.find(key);
    if (found == note_of.end())
      throw ImportRefused("linha " + std::to_string(number) + ": o " + type +
                          " não tem o 50 do seu documento");
    return file.notes[found->second];
  };
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() < 126) continue;  // the checker has refused such a file
    const std::string type = line.substr(0, 2);
    const std::string sub = line.substr(0, 3);
    const layout::RegisterLine r(line);
    // A document is its party, model, series and number as written.
    const auto document = [&] { return r.Raw("CNPJ") + r.Raw("model") + r.Raw("series") + r.Raw("number"); };
    const auto day_of = [&](const char* what) -> PrinterDay& {
      if (file.days.empty() || file.days.back().date != r.Date("date") ||
          file.days.back().serial != r.Text("ECF serial"))
        throw ImportRefused("linha " + std::to_string(number) + ": o " + what +
                            " não segue o 60M do seu dia e ECF");
      return file.days.back();
    };
    if (type == "10") {
      file.cnpj = r.Raw("CNPJ");
      file.ie = r.Text("IE");
      file.first_day = r.Date("first day");
      file.last_day = r.Date("last day");
    } else if (sub == "60M") {
      PrinterDay d;
      d.line = number;
      d.date = r.Date("date");
      d.serial = r.Text("ECF serial");
      d.order = r.Number("ECF order");
      d.model = r.Text("model");
      d.first_coo = r.Number("first COO");
      d.last_coo = r.Number("last COO");
      d.crz = r.Number("CRZ");
      d.cro = r.Number("CRO");
      d.gross = r.Number("gross sales");
      d.grand_total = r.Number("grand total");
      file.days.push_back(d);
      file.rebuilt.emplace_back(number, line);
    } else if (sub == "60A") {
      day_of("60A").totals.emplace_back(r.Text("totaliser"), r.Number("amount"));
      file.rebuilt.emplace_back(number, line);
    } else if (sub == "60I") {
      PrinterItem i;
      i.coo = r.Number("COO");
      i.item = r.Number("item");
      i.product = Text(r.Text("product"));
      i.quantity = r.Number("quantity");
      i.value = r.Number("amount");
      i.icms_base = r.Number("ICMS base");
      i.totaliser = r.Text("totaliser");
      i.icms = r.Number("ICMS");
      day_of("60I").items.push_back(i);
      file.rebuilt.emplace_back(number, line);
    } else if (sub == "60D" || sub == "60R") {
      file.rebuilt.emplace_back(number, line);
    } else if (sub == "61R") {
      ConsumerMonthItem i;
      i.line = number;
      const std::string month = r.Raw("month");  // MMAAAA
      i.month = month.substr(2, 4) + "-" + month.substr(0, 2);
      i.product = Text(r.Text("product"));
      i.quantity = r.Number("quantity");
      i.value = r.Number("amount");
      i.icms_base = r.Number("ICMS base");
      i.rate = r.Number("rate");
      file.consumer_items.push_back(i);
      file.rebuilt.emplace_back(number, line);
    } else if (type == "61") {
      ConsumerDay d;
      d.line = number;
      d.date = r.Date("date");
      d.model = r.Raw("model");
      d.series = r.Text("series");
      d.subseries = r.Text("subseries");
      d.first = r.Number("first number");
      d.last = r.Number("last number");
      d.total = r.Number("total");
      d.icms_base = r.Number("ICMS base");
      d.icms = r.Number("ICMS");
      d.exempt = r.Number("exempt");
      d.other = r.Number("other");
      d.rate = r.Number("rate");
      file.consumer_days.push_back(d);
      file.rebuilt.emplace_back(number, line);
    } else if (type == "75") {
      ProductLine p;
      p.code = Text(r.Text("product"));
      p.ncm = r.Text("NCM");
      p.description = Text(r.Text("description"));
      p.unit = Text(r.Text("unit"));
      p.ipi_rate = r.Number("IPI rate");
      p.icms_rate = r.Number("ICMS rate");
      p.reduction = r.Number("base reduction");
      p.st_base = r.Number("ST base");
      file.products.push_back(p);
    } else if (with_notes && type == "50") {
      const std::string key = document();
      if (note_of.emplace(key, file.notes.size()).second) {
        MergedNote n;
        n.line = number;
        n.cnpj = r.Raw("CNPJ");
        n.ie = r.Text("IE");
        n.date = r.Date("date");
        n.uf = r.Raw("UF");
        n.model = r.Raw("model");
        n.series = r.Text("series");
        n.number = std::to_string(r.Number("number"));
        n.issuer = r.Raw("issuer")[0];
        n.situation = r.Raw("situation")[0];
        file.notes.push_back(n);
      }
      file.notes[note_of[key]].lines.push_back({number, r.Raw("CFOP"), r.Number("total"),
                                                r.Number("ICMS base"), r.Number("ICMS"), r.Number("exempt"),
                                                r.Number("other"), r.Number("rate")});
      file.rebuilt.emplace_back(number, line);
    } else if (with_notes && type == "51") {
      // 51 carries no model: its document is the one of 50 with its party,
      // series and number.
      const std::string party = r.Raw("CNPJ"), series = r.Raw("series"), doc = r.Raw("number");
      MergedNote* found = nullptr;
      for (const auto& [key, index] : note_of) {
        if (key.compare(0, 14, party) == 0 && key.compare(16, 3, series) == 0 && key.compare(19, 6, doc) == 0)
          found = &file.notes[index];
      }
      if (!found)
        throw ImportRefused("linha " + std::to_string(number) + ": o 51 não tem o 50 do seu documento");
      found->ipi_split[r.Raw("CFOP")] = {r.Number("IPI exempt"), r.Number("IPI other")};
      file.rebuilt.emplace_back(number, line);
    } else if (with_notes && type == "53") {
      MergedNote& n = note(document(), "53");
      n.anticipation = r.Text("anticipation");
      file.rebuilt.emplace_back(number, line);
    } else if (with_notes && type == "54") {
      MergedNote& n = note(document(), "54");
      const std::string item = r.Raw("item");
      const std::int64_t charge = r.Number("discount");  // the charge's value on lines 991-999
      if (item == "991") {
        n.freight = charge;
      } else if (item == "992") {
        n.insurance = charge;
      } else if (item == "999") {
        n.other_charges = charge;
      } else {
        NoteItem i;
        i.line = number;
        i.cfop = r.Raw("CFOP");
        i.cst = r.Text("CST");
        i.item = r.Number("item");
        i.product = Text(r.Text("product"));
        i.quantity = r.Number("quantity");
        i.value = r.Number("amount");
        i.discount = charge;
        i.icms_base = r.Number("ICMS base");
        i.st_base = r.Number("ST base");
        i.ipi = r.Number("IPI");
        i.rate = r.Number("rate");
        n.items.push_back(i);
      }
      file.rebuilt.emplace_back(number, line);
    } else if (type != "11" && type != "90") {
      ++file.left_out[type == "88" ? line.substr(0, 5) : type];
    }
  }
  if (file.cnpj.empty()) throw ImportRefused("o arquivo não tem o registro 10");
  return file;
}

}  // namespace server::import
