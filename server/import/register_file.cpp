#include "server/import/register_file.h"

#include <fstream>

#include "lib/text/utf8.h"
#include "lib/wire/latin1.h"
#include "server/import/imported_document.h"

namespace server::import {
namespace {

std::string Field(const std::string& line, std::size_t at, std::size_t width) {
  std::string text = line.substr(at, width);
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}
std::int64_t Number(const std::string& line, std::size_t at, std::size_t width) {
  return std::stoll(line.substr(at, width));
}
std::string Date(const std::string& line, std::size_t at) {
  return line.substr(at, 4) + "-" + line.substr(at + 4, 2) + "-" + line.substr(at + 6, 2);
}

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
    const auto day_of = [&](const char* what) -> PrinterDay& {
      if (file.days.empty() || file.days.back().date != Date(line, 3) ||
          file.days.back().serial != Field(line, 11, 20))
        throw ImportRefused("linha " + std::to_string(number) + ": o " + what +
                            " não segue o 60M do seu dia e ECF");
      return file.days.back();
    };
    if (type == "10") {
      file.cnpj = line.substr(2, 14);
      file.ie = Field(line, 16, 14);
      file.first_day = Date(line, 107);
      file.last_day = Date(line, 115);
    } else if (sub == "60M") {
      PrinterDay d;
      d.line = number;
      d.date = Date(line, 3);
      d.serial = Field(line, 11, 20);
      d.order = Number(line, 31, 3);
      d.model = Field(line, 34, 2);
      d.first_coo = Number(line, 36, 6);
      d.last_coo = Number(line, 42, 6);
      d.crz = Number(line, 48, 6);
      d.cro = Number(line, 54, 3);
      d.gross = Number(line, 57, 16);
      d.grand_total = Number(line, 73, 16);
      file.days.push_back(d);
      file.rebuilt.emplace_back(number, line);
    } else if (sub == "60A") {
      day_of("60A").totals.emplace_back(Field(line, 31, 4), Number(line, 35, 12));
      file.rebuilt.emplace_back(number, line);
    } else if (sub == "60I") {
      PrinterItem i;
      i.coo = Number(line, 33, 6);
      i.item = Number(line, 39, 3);
      i.product = Text(Field(line, 42, 14));
      i.quantity = Number(line, 56, 13);
      i.value = Number(line, 69, 13);
      i.icms_base = Number(line, 82, 12);
      i.totaliser = Field(line, 94, 4);
      i.icms = Number(line, 98, 12);
      day_of("60I").items.push_back(i);
      file.rebuilt.emplace_back(number, line);
    } else if (sub == "60D" || sub == "60R") {
      file.rebuilt.emplace_back(number, line);
    } else if (sub == "61R") {
      ConsumerMonthItem i;
      i.line = number;
      i.month = line.substr(5, 4) + "-" + line.substr(3, 2);
      i.product = Text(Field(line, 9, 14));
      i.quantity = Number(line, 23, 13);
      i.value = Number(line, 36, 16);
      i.icms_base = Number(line, 52, 16);
      i.rate = Number(line, 68, 4);
      file.consumer_items.push_back(i);
      file.rebuilt.emplace_back(number, line);
    } else if (type == "61") {
      ConsumerDay d;
      d.line = number;
      d.date = Date(line, 30);
      d.model = line.substr(38, 2);
      d.series = Field(line, 40, 3);
      d.subseries = Field(line, 43, 2);
      d.first = Number(line, 45, 6);
      d.last = Number(line, 51, 6);
      d.total = Number(line, 57, 13);
      d.icms_base = Number(line, 70, 13);
      d.icms = Number(line, 83, 12);
      d.exempt = Number(line, 95, 13);
      d.other = Number(line, 108, 13);
      d.rate = Number(line, 121, 4);
      file.consumer_days.push_back(d);
      file.rebuilt.emplace_back(number, line);
    } else if (type == "75") {
      ProductLine p;
      p.code = Text(Field(line, 18, 14));
      p.ncm = Field(line, 32, 8);
      p.description = Text(Field(line, 40, 53));
      p.unit = Text(Field(line, 93, 6));
      p.ipi_rate = Number(line, 99, 5);
      p.icms_rate = Number(line, 104, 4);
      p.reduction = Number(line, 108, 5);
      p.st_base = Number(line, 113, 13);
      file.products.push_back(p);
    } else if (with_notes && type == "50") {
      const std::string key =
          line.substr(2, 14) + line.substr(40, 2) + line.substr(42, 3) + line.substr(45, 6);
      if (note_of.emplace(key, file.notes.size()).second) {
        MergedNote n;
        n.line = number;
        n.cnpj = line.substr(2, 14);
        n.ie = Field(line, 16, 14);
        n.date = Date(line, 30);
        n.uf = line.substr(38, 2);
        n.model = line.substr(40, 2);
        n.series = Field(line, 42, 3);
        n.number = std::to_string(Number(line, 45, 6));
        n.issuer = line[55];
        n.situation = line[125];
        file.notes.push_back(n);
      }
      file.notes[note_of[key]].lines.push_back(
          {number, line.substr(51, 4), Number(line, 56, 13), Number(line, 69, 13), Number(line, 82, 13),
           Number(line, 95, 13), Number(line, 108, 13), Number(line, 121, 4)});
      file.rebuilt.emplace_back(number, line);
    } else if (with_notes && type == "51") {
      // 51 carries no model: its document is the one of 50 with its party,
      // series and number.
      const std::string party = line.substr(2, 14), series = line.substr(40, 3), doc = line.substr(43, 6);
      MergedNote* found = nullptr;
      for (const auto& [key, index] : note_of) {
        if (key.compare(0, 14, party) == 0 && key.compare(16, 3, series) == 0 && key.compare(19, 6, doc) == 0)
          found = &file.notes[index];
      }
      if (!found)
        throw ImportRefused("linha " + std::to_string(number) + ": o 51 não tem o 50 do seu documento");
      found->ipi_split[line.substr(49, 4)] = {Number(line, 79, 13), Number(line, 92, 13)};
      file.rebuilt.emplace_back(number, line);
    } else if (with_notes && type == "53") {
      MergedNote& n =
          note(line.substr(2, 14) + line.substr(40, 2) + line.substr(42, 3) + line.substr(45, 6), "53");
      n.anticipation = Field(line, 96, 1);
      file.rebuilt.emplace_back(number, line);
    } else if (with_notes && type == "54") {
      MergedNote& n =
          note(line.substr(2, 14) + line.substr(16, 2) + line.substr(18, 3) + line.substr(21, 6), "54");
      const std::string item = Field(line, 34, 3);
      const std::int64_t charge = Number(line, 74, 12);
      if (item == "991") {
        n.freight = charge;
      } else if (item == "992") {
        n.insurance = charge;
      } else if (item == "999") {
        n.other_charges = charge;
      } else {
        NoteItem i;
        i.line = number;
        i.cfop = line.substr(27, 4);
        i.cst = Field(line, 31, 3);
        i.item = Number(line, 34, 3);
        i.product = Text(Field(line, 37, 14));
        i.quantity = Number(line, 51, 11);
        i.value = Number(line, 62, 12);
        i.discount = charge;
        i.icms_base = Number(line, 86, 12);
        i.st_base = Number(line, 98, 12);
        i.ipi = Number(line, 110, 12);
        i.rate = Number(line, 122, 4);
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
