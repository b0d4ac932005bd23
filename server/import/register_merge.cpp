#include "server/import/register_merge.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "lib/layout/document_numbers.h"
#include "lib/layout/layout_check.h"
#include "lib/wire/block_codec.h"
#include "server/build/document_rows.h"
#include "server/build/file_builder.h"
#include "server/build/register_models.h"
#include "server/db/schema.h"
#include "server/import/dfe_store.h"
#include "server/store/fiscal_tables.h"

namespace server::import {
namespace {

std::string Num(std::int64_t v) { return std::to_string(v); }

const char* const kPeriod = " CDEMPRESA = :EMP AND CDINSCESTA = :IE AND ";

class LinesOf final : public LineSink {
 public:
  void Line(const std::string& line) override { lines.push_back(line); }
  void Block(std::int64_t, const std::string& packed) override {
    for (std::string& line : wire::UnpackLines(packed)) lines.push_back(std::move(line));
  }
  std::vector<std::string> lines;
};

void WriteNotes(sql::Session& s, const Informant& who, const RegisterFile& file, MergeSummary& summary);

// The rows of the file, written through `s`. In the scratch database the
// earlier merges and the clashes find nothing.
MergeSummary WriteRows(sql::Session& s, const Informant& who, const RegisterFile& file) {
  MergeSummary summary;
  FiscalTables tables(s);
  const std::vector<sql::Param> period{
      {"EMP", who.company}, {"IE", who.registration}, {"INI", file.first_day}, {"FIM", file.last_day}};
  // What an earlier merge of the period brought goes first.
  const auto forget = [&](const char* table, const char* key, const char* date,
                          std::initializer_list<const char*> children) {
    const std::string merged =
        std::string(" WHERE") + kPeriod + date + " BETWEEN :INI AND :FIM AND IDARQUIVO = 'S'";
    for (const char* child : children)
      s.Execute(std::string("DELETE FROM ") + child + " WHERE " + key + " IN (SELECT " + key + " FROM " +
                    table + merged + ")",
                period);
    s.Execute(std::string("DELETE FROM ") + table + merged, period);
  };
  forget("ECFREDUCAOZ", "NRSEQREDZ", "DTMOVIMENTO", {"ECFITEM", "ECFTOTALIZADOR"});
  forget("NOTACONSUMIDOR", "NRSEQNC", "DTEMISSAO", {"NOTACONSUMIDORITEM"});
  forget("NOTAFISCAL", "NRSEQNOTA", "DTDOCUMENTO", {"NOTAFISCALITEM"});

  // Products: the company's own register of a code is kept.
  for (const ProductLine& p : file.products) {
    ++summary.products;
    if (!s.Query("SELECT 1 FROM PRODUTO WHERE CDPRODUTO = :P", {{"P", p.code}}).rows.empty()) continue;
    tables.Add(ProductRow{.code = p.code,
                          .ncm = p.ncm.empty() ? std::nullopt : std::optional(p.ncm),
                          .name = p.description,
                          .unit = p.unit,
                          .ipi_rate = p.ipi_rate,
                          .icms_rate = p.icms_rate,
                          .base_reduction = p.reduction,
                          .st_base = p.st_base});
    tables.Flush();
    ++summary.new_products;
  }

  std::int64_t reduction = Int(s.Query("SELECT MAX(NRSEQREDZ) FROM ECFREDUCAOZ", {}).rows[0][0]);
  for (const PrinterDay& d : file.days) {
    const std::string at = "linha " + std::to_string(d.line) + " (60M): ";
    const auto printer = s.Query(
        std::string("SELECT NRORDEMECF, CDMODELODOC FROM ECF WHERE") + kPeriod + "NRSERIEECF = :SERIE",
        {{"EMP", who.company}, {"IE", who.registration}, {"SERIE", d.serial}});
    if (printer.rows.empty()) {
      tables.Add(PrinterRow{who.company, who.registration, d.serial, d.order, d.model});
      tables.Flush();
    } else if (Int(printer.rows[0][0]) != d.order || Str(printer.rows[0][1]) != d.model) {
      throw ImportRefused(at + "o ECF " + d.serial + " está cadastrado com o número de ordem " +
                          Str(printer.rows[0][0]) + " e o modelo " + Str(printer.rows[0][1]) +
                          "; o arquivo traz " + Num(d.order) + " e " + d.model);
    }
    if (!s.Query(std::string("SELECT 1 FROM ECFREDUCAOZ WHERE") + kPeriod +
                     "NRSERIEECF = :SERIE AND NRCRZ = :CRZ",
                 {{"EMP", who.company}, {"IE", who.registration}, {"SERIE", d.serial}, {"CRZ", Num(d.crz)}})
             .rows.empty())
      throw ImportRefused(at + "a redução Z " + Num(d.crz) + " do ECF " + d.serial +
                          " já está no banco, lançada por outra via");
    const std::int64_t z = ++reduction;
    tables.Add(PrinterDayRow{.sequence = z,
                             .company = who.company,
                             .registration = who.registration,
                             .serial = d.serial,
                             .date = d.date,
                             .first_coo = d.first_coo,
                             .last_coo = d.last_coo,
                             .crz = d.crz,
                             .cro = d.cro,
                             .gross = d.gross,
                             .grand_total = d.grand_total,
                             .from_file = "S"});
    ++summary.reductions;
    for (const auto& [totaliser, amount] : d.totals) {
      tables.Add(PrinterTotalRow{z, totaliser, amount});
      ++summary.totals;
    }
    for (const PrinterItem& i : d.items) {
      tables.Add(PrinterItemRow{.day = z,
                                .coo = i.coo,
                                .item = i.item,
                                .product = i.product,
                                .quantity = i.quantity,
                                .value = i.value,
                                .icms_base = i.icms_base,
                                .totaliser = i.totaliser,
                                .icms = i.icms});
      ++summary.printer_items;
    }
    tables.Flush();
  }

  // A 61 line sums a day's notes of a series and rate, from the first
  // number to the last: it becomes the note of its first number, with the
  // day's values, and when the range is longer the note of its last number
  // with none, so that the line is given again exactly.
  std::int64_t note = Int(s.Query("SELECT MAX(NRSEQNC) FROM NOTACONSUMIDOR", {}).rows[0][0]);
  std::map<std::pair<std::string, std::int64_t>, std::int64_t> month_rate_note;  // (AAAA-MM, rate) → note
  for (const ConsumerDay& d : file.consumer_days) {
    if (!s.Query(std::string("SELECT 1 FROM NOTACONSUMIDOR WHERE") + kPeriod +
                     "DTEMISSAO = :DT AND CDMODELO = :MOD AND CDSERIE = :SER AND CDSUBSERIE = :SUB AND "
                     "IDARQUIVO = "
                     "'N'",
                 {{"EMP", who.company},
                  {"IE", who.registration},
                  {"DT", d.date},
                  {"MOD", d.model},
                  {"SER", d.series},
                  {"SUB", d.subseries}})
             .rows.empty())
      throw ImportRefused("linha " + std::to_string(d.line) + " (61): as notas modelo " + d.model +
                          " série " + d.series + " de " + d.date +
                          " já estão no banco, lançadas por outra via");
    const auto insert = [&](std::int64_t number, bool values) {
      tables.Add(ConsumerNoteRow{.sequence = ++note,
                                 .company = who.company,
                                 .registration = who.registration,
                                 .date = d.date,
                                 .model = d.model,
                                 .series = d.series,
                                 .subseries = d.subseries,
                                 .number = Num(number),
                                 .rate = d.rate,
                                 .total = values ? d.total : 0,
                                 .icms_base = values ? d.icms_base : 0,
                                 .icms = values ? d.icms : 0,
                                 .exempt = values ? d.exempt : 0,
                                 .other = values ? d.other : 0,
                                 .from_file = "S"});
    };
    insert(d.first, true);
    if (d.model == "02") month_rate_note.emplace(std::make_pair(d.date.substr(0, 7), d.rate), note);
    if (d.last != d.first) insert(d.last, false);
    tables.Flush();
    ++summary.consumer_days;
  }
  // A 61R line is the month's sales of a product at a rate, in the notes of
  // model 02: its item goes on the month's first such note of that rate.
  std::map<std::int64_t, std::int64_t> items_of_note;
  for (const ConsumerMonthItem& i : file.consumer_items) {
    const auto found = month_rate_note.find({i.month, i.rate});
    if (found == month_rate_note.end())
      throw ImportRefused("linha " + std::to_string(i.line) +
                          " (61R): o arquivo não tem 61 de modelo 02 com a " + "alíquota " + Num(i.rate) +
                          " em " + i.month + ", de cujas notas o resumo seja");
    tables.Add(ConsumerNoteItemRow{.sequence = found->second,
                                   .item = ++items_of_note[found->second],
                                   .product = i.product,
                                   .quantity = i.quantity,
                                   .value = i.value,
                                   .icms_base = i.icms_base});
    ++summary.consumer_items;
  }
  tables.Flush();
  WriteNotes(s, who, file, summary);
  return summary;
}

// The file's 50 lines hold a document's values by CFOP and rate, its 54 lines
// the items: the items keep what 54 gives, and the first item of each CFOP
// and rate takes the rest of its 50 line (ICMS, exempt, other, and the ST
// the total holds beyond the items and the charges), so that 50, 51, 53 and
// 54 are given again. 51 adds the IPI book's split, 53 the anticipation.
void WriteNotes(sql::Session& s, const Informant& who, const RegisterFile& file, MergeSummary& summary) {
  if (file.notes.empty()) return;
  FiscalTables tables(s);
  std::int64_t sequence = Int(s.Query("SELECT MAX(NRSEQNOTA) FROM NOTAFISCAL", {}).rows[0][0]);
  for (const MergedNote& n : file.notes) {
    const std::string at = "linha " + std::to_string(n.line) + " (50): ";
    if (!s.Query(
              std::string("SELECT 1 FROM NOTAFISCAL n WHERE n.CDEMPRESA = :EMP AND n.CDINSCESTA = :IE AND ") +
                  kPartyKey +
                  " = :CNPJ AND n.CDMODELO = :MOD AND n.CDSERIE = :SER AND CAST(n.NRNOTA AS BIGINT) % "
                  "1000000 = "
                  ":NR AND n.IDEMITENTE = :EMI AND n.IDARQUIVO = 'N'",
              {{"EMP", who.company},
               {"IE", who.registration},
               {"CNPJ", n.cnpj},
               {"MOD", n.model},
               {"SER", n.series},
               {"NR", n.number},
               {"EMI", std::string(1, n.issuer)}})
             .rows.empty())
      throw ImportRefused(at + "o documento modelo " + n.model + " série " + n.series + " número " +
                          n.number + " de " + n.cnpj + " já está no banco, lançado por outra via");
    const bool without_values = std::string("SX24").find(n.situation) != std::string::npos;
    const bool itemised = std::find(kModels54.begin(), kModels54.end(), n.model) != kModels54.end();
    if (n.items.empty() && itemised && !without_values)
      throw ImportRefused(at + "o documento não tem itens (54), de que a empresa refaça as suas linhas");
    const std::int64_t seq = ++sequence;
    tables.Add(NoteRow{.sequence = seq,
                       .company = who.company,
                       .registration = who.registration,
                       .book = who.book.empty() ? std::nullopt : std::optional(who.book),
                       .direction = n.lines.front().cfop[0] <= '3' ? "E" : "S",
                       .party_cnpj = n.cnpj,
                       .party_ie = n.ie,
                       .party_uf = n.uf,
                       .date = n.date,
                       .model = n.model,
                       .series = n.series,
                       .number = n.number,
                       .issuer = std::string(1, n.issuer),
                       .situation = std::string(1, n.situation),
                       .anticipation = n.anticipation.empty() ? std::nullopt : std::optional(n.anticipation),
                       .freight = n.freight,
                       .insurance = n.insurance,
                       .expenses = n.other_charges,
                       .from_file = "S"});
    ++summary.notes;
    std::vector<NoteItem> items = n.items;
    // A bill without items in the layout (energy, communication, producer's
    // note) keeps one item per 50 line, of a product named by its CFOP (as
    // an electronic note names an item without a code); no register cites it.
    if (!itemised && items.empty()) {
      for (const NoteLine& l : n.lines) {
        NoteItem i;
        i.item = static_cast<std::int64_t>(items.size()) + 1;
        i.cfop = l.cfop;
        i.cst = "090";
        i.product = "CFOP" + l.cfop;
        i.quantity = 1000;
        i.value = l.total;  // such a document has no charges of its own (54 991, 992, 999)
        i.icms_base = l.icms_base;
        i.rate = l.rate;
        items.push_back(i);
        if (s.Query("SELECT 1 FROM PRODUTO WHERE CDPRODUTO = :P", {{"P", i.product}}).rows.empty()) {
          tables.Add(
              ProductRow{.code = i.product, .name = "Documento sem itens, CFOP " + l.cfop, .unit = "un"});
          tables.Flush();
        }
      }
    }
    struct Rest {
      std::int64_t icms = 0, exempt = 0, other = 0, st = 0, ipi_exempt = 0, ipi_other = 0;
    };
    std::vector<Rest> rest(items.size());
    std::int64_t charges = n.freight + n.insurance + n.other_charges;
    for (const NoteLine& l : n.lines) {
      // A document without values writes its items without rate in 54; the
      // rate of its 50 line is theirs.
      bool first = true;
      for (std::size_t k = 0; k < items.size(); ++k) {
        if (items[k].cfop != l.cfop) continue;
        if (without_values) items[k].rate = l.rate;
        if (items[k].rate != l.rate || !first) continue;
        first = false;
        std::int64_t goods = 0, st_base = 0;
        for (const NoteItem& i : items) {
          if (i.cfop != l.cfop || i.rate != l.rate) continue;
          goods += i.value - i.discount + i.ipi;
          st_base += i.st_base;
        }
        // What the total holds beyond the items and the charges is the ST
        // they carry: items without an ST base carry none.
        const std::int64_t st = without_values ? 0 : l.total - goods - charges;
        if (st < 0 || (st > 0 && st_base == 0))
          throw ImportRefused("linha " + std::to_string(l.line) + " (50): o total " + Num(l.total) +
                              " não é a soma dos itens (54) do CFOP " + l.cfop + " e alíquota " +
                              Num(l.rate) + ", das despesas e do ICMS ST (" + Num(goods + charges) +
                              " sem ST)");
        rest[k] = {l.icms, l.exempt, l.other, st, 0, 0};
        charges = 0;
      }
    }
    for (const auto& [cfop, split] : n.ipi_split) {
      for (std::size_t k = 0; k < items.size(); ++k) {
        if (items[k].cfop != cfop) continue;
        rest[k].ipi_exempt = split.first;
        rest[k].ipi_other = split.second;
        break;
      }
    }
    for (std::size_t k = 0; k < items.size(); ++k) {
      const NoteItem& i = items[k];
      tables.Add(NoteItemRow{.sequence = seq,
                             .item = i.item,
                             .product = i.product,
                             .cfop = i.cfop,
                             .cst = i.cst,
                             .quantity = i.quantity,
                             .value = i.value,
                             .discount = i.discount,
                             .icms_base = i.icms_base,
                             .icms_rate = i.rate,
                             .icms = rest[k].icms,
                             .exempt = rest[k].exempt,
                             .other = rest[k].other,
                             .st_base = i.st_base,
                             .st_icms = rest[k].st,
                             .ipi = i.ipi,
                             .ipi_exempt = rest[k].ipi_exempt,
                             .ipi_other = rest[k].ipi_other});
      ++summary.note_items;
    }
    tables.Flush();
  }
}

// The 60 and 61 lines the rows give, built by the file's own builders over a
// scratch database that holds only the file's rows.
std::vector<std::string> RebuiltLines(sql::Session& real, const Informant& who, const RegisterFile& file) {
  auto scratch = sql::OpenSession("sqlite::memory:");
  Migrate(*scratch);
  const auto company = real.Query(
      "SELECT CDEMPRESA, NMEMPRESA, CDSITUCRT FROM EMPRESA WHERE CDEMPRESA = :EMP", {{"EMP", who.company}});
  {
    FiscalTables tables(*scratch);
    tables.Add(CompanyRow{Str(company.rows[0][0]), Str(company.rows[0][1]), company.rows[0][2]});
    tables.Add(RegistrationRow{.company = who.company,
                               .registration = who.registration,
                               .cnpj = who.cnpj,
                               .uf = who.uf,
                               .city = "x"});
    tables.Flush();
  }
  WriteRows(*scratch, who, file);
  FileRequest request;
  request.company = who.company;
  request.registration = who.registration;
  request.first_day = file.first_day;
  request.last_day = file.last_day;
  request.file_type = "SINTEGRA";
  request.mask = "NNNNNNNNNNNN";
  LinesOf out;
  FileBuilder(*scratch, TextEncoding::Latin1).Build(request, out);
  std::vector<std::string> lines;
  const std::vector<std::string> types = file.notes.empty()
                                             ? std::vector<std::string>{"60", "61"}
                                             : std::vector<std::string>{"50", "51", "53", "54", "60", "61"};
  for (std::string& line : out.lines) {
    if (std::find(types.begin(), types.end(), line.substr(0, 2)) != types.end())
      lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace

MergeSummary MergeRegisterFile(sql::Session& session, const Informant& who, const RegisterFile& file) {
  if (layout::CanonicalNumber(Digits(file.cnpj)) != who.cnpj || Digits(file.ie) != Digits(who.registration))
    throw ImportRefused("linha 1 (10): o arquivo é do CNPJ " + file.cnpj + " e da inscrição estadual " +
                        file.ie + ", não da empresa " + who.company + " (CNPJ " + who.cnpj + ", inscrição " +
                        who.registration + ")");
  // Every 60 and 61 line of the file (and 50, 51, 53, 54 when its notes are
  // taken) must come out of the rows again, and nothing else: 60D and 60R
  // are the sums of the 60I, 61R the items of the notes of 61, and the
  // file's own order is not asked for.
  std::vector<std::string> rebuilt;
  try {
    rebuilt = RebuiltLines(session, who, file);
  } catch (const FileRefused& e) {
    throw ImportRefused(std::string("os registros do arquivo não dão um arquivo correto: ") + e.what());
  }
  std::vector<std::string> remaining = rebuilt;
  std::sort(remaining.begin(), remaining.end());
  std::vector<std::string> unmatched;
  for (const auto& [number, line] : file.rebuilt) {
    const auto at = std::lower_bound(remaining.begin(), remaining.end(), line);
    if (at == remaining.end() || *at != line)
      throw ImportRefused(
          "linha " + std::to_string(number) + " (" + line.substr(0, line[2] == ' ' ? 2 : 3) +
          "): a linha não é refeita pelos demais registros do arquivo (60D e 60R somam os 60I do "
          "dia e do mês; 61R, os itens das notas modelo 02 dos 61), e o arquivo da empresa a "
          "daria de outro modo");
    remaining.erase(at);
  }
  if (!remaining.empty())
    throw ImportRefused("falta no arquivo a linha " + remaining.front().substr(0, 3) +
                        " que os seus registros dão: '" + remaining.front() + "'");

  sql::Transaction transaction(session, sql::Transaction::Intent::Write);
  // Every month of the file's period must still be open.
  for (int y = std::stoi(file.first_day.substr(0, 4)), m = std::stoi(file.first_day.substr(5, 2));
       y * 100 + m <= std::stoi(file.last_day.substr(0, 4) + file.last_day.substr(5, 2));
       m == 12 ? (m = 1, ++y) : ++m) {
    RequireOpenMonth(session, who, std::to_string(y) + (m < 10 ? "-0" : "-") + std::to_string(m) + "-01");
  }
  MergeSummary summary = WriteRows(session, who, file);
  summary.rebuilt = static_cast<long>(rebuilt.size());
  transaction.Commit();
  return summary;
}

std::string MergeMagneticFile(sql::Session& session, const Informant& informant, const std::string& path,
                              bool with_notes) {
  // A line the checker refuses refuses the file: its values would not be
  // read as the other system meant them.
  const layout::Report report = layout::CheckFile(path);
  for (const layout::Problem& p : report.problems) {
    if (p.severity != layout::Severity::Error) continue;
    throw ImportRefused((p.line > 0 ? "linha " + std::to_string(p.line) + ": " : std::string()) + p.message);
  }
  const RegisterFile file = ReadRegisterFile(path, with_notes);
  const MergeSummary s = MergeRegisterFile(session, informant, file);
  std::ostringstream out;
  out << "reduções Z (60M): " << s.reductions << ", totalizadores (60A): " << s.totals
      << ", itens de cupom (60I): " << s.printer_items << "\n"
      << "notas de consumidor (61): " << s.consumer_days
      << ", itens do resumo mensal (61R): " << s.consumer_items << "\n"
      << "produtos (75): " << s.products << ", novos: " << s.new_products << "\n";
  if (with_notes) out << "notas (50 a 54): " << s.notes << ", itens (54): " << s.note_items << "\n";
  out << "linhas conferidas com o que a empresa gerará: " << s.rebuilt << "\n";
  if (!file.left_out.empty()) {
    out << "não importados:";
    const char* separator = " ";
    for (const auto& [type, lines] : file.left_out) {
      out << separator << type << " (" << lines << (lines == 1 ? " linha)" : " linhas)");
      separator = ", ";
    }
    out << "\n";
  }
  return out.str();
}

}  // namespace server::import
