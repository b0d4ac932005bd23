#include "server/import/register_merge.h"

#include <algorithm>
#include <map>

#include "lib/wire/block_codec.h"
#include "server/build/document_rows.h"
#include "server/build/file_builder.h"
#include "server/build/register_models.h"
#include "server/db/schema.h"
#include "server/import/dfe_store.h"

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
    s.Execute(
        "INSERT INTO PRODUTO (CDPRODUTO, CDNCM, NMPRODUTO, SGUNIDADE, VRALIQIPI, VRALIQICMS, VRPERREDBC,"
        " VRBASEST) VALUES (:P, :NCM, :NOME, :UN, :IPI, :ICMS, :RED, :ST)",
        {{"P", p.code},
         {"NCM", p.ncm.empty() ? std::nullopt : std::optional(p.ncm)},
         {"NOME", p.description},
         {"UN", p.unit},
         {"IPI", Num(p.ipi_rate)},
         {"ICMS", Num(p.icms_rate)},
         {"RED", Num(p.reduction)},
         {"ST", Num(p.st_base)}});
    ++summary.new_products;
  }

  std::int64_t reduction = Int(s.Query("SELECT MAX(NRSEQREDZ) FROM ECFREDUCAOZ", {}).rows[0][0]);
  for (const PrinterDay& d : file.days) {
    const std::string at = "linha " + std::to_string(d.line) + " (60M): ";
    const auto printer = s.Query(
        std::string("SELECT NRORDEMECF, CDMODELODOC FROM ECF WHERE") + kPeriod + "NRSERIEECF = :SERIE",
        {{"EMP", who.company}, {"IE", who.registration}, {"SERIE", d.serial}});
    if (printer.rows.empty()) {
      s.Execute(
          "INSERT INTO ECF (CDEMPRESA, CDINSCESTA, NRSERIEECF, NRORDEMECF, CDMODELODOC) VALUES (:EMP, :IE,"
          " :SERIE, :ORDEM, :MOD)",
          {{"EMP", who.company},
           {"IE", who.registration},
           {"SERIE", d.serial},
           {"ORDEM", Num(d.order)},
           {"MOD", d.model}});
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
    const std::string z = Num(++reduction);
    s.Execute(
        "INSERT INTO ECFREDUCAOZ (NRSEQREDZ, CDEMPRESA, CDINSCESTA, NRSERIEECF, DTMOVIMENTO, NRCOOINICIAL,"
        " NRCOOFINAL, NRCRZ, NRCRO, VRVENDABRUTA, VRGRANDETOTAL, IDARQUIVO) VALUES (:Z, :EMP, :IE, :SERIE,"
        " :DT, :COOI, :COOF, :CRZ, :CRO, :BRUTA, :GT, 'S')",
        {{"Z", z},
         {"EMP", who.company},
         {"IE", who.registration},
         {"SERIE", d.serial},
         {"DT", d.date},
         {"COOI", Num(d.first_coo)},
         {"COOF", Num(d.last_coo)},
         {"CRZ", Num(d.crz)},
         {"CRO", Num(d.cro)},
         {"BRUTA", Num(d.gross)},
         {"GT", Num(d.grand_total)}});
    ++summary.reductions;
    for (const auto& [totaliser, amount] : d.totals) {
      s.Execute("INSERT INTO ECFTOTALIZADOR (NRSEQREDZ, CDTOTALIZADOR, VRACUMULADO) VALUES (:Z, :T, :V)",
                {{"Z", z}, {"T", totaliser}, {"V", Num(amount)}});
      ++summary.totals;
    }
    for (const PrinterItem& i : d.items) {
      s.Execute(
          "INSERT INTO ECFITEM (NRSEQREDZ, NRCOO, NRITEM, CDPRODUTO, QTITEM, VRITEM, VRBASEICMS, "
          "CDTOTALIZADOR,"
          " VRICMS) VALUES (:Z, :COO, :IT, :P, :QT, :VR, :BC, :T, :ICMS)",
          {{"Z", z},
           {"COO", Num(i.coo)},
           {"IT", Num(i.item)},
           {"P", i.product},
           {"QT", Num(i.quantity)},
           {"VR", Num(i.value)},
           {"BC", Num(i.icms_base)},
           {"T", i.totaliser},
           {"ICMS", Num(i.icms)}});
      ++summary.printer_items;
    }
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
      s.Execute(
          "INSERT INTO NOTACONSUMIDOR (NRSEQNC, CDEMPRESA, CDINSCESTA, DTEMISSAO, CDMODELO, CDSERIE, "
          "CDSUBSERIE,"
          " NRNOTA, VRALIQICMS, VRTOTAL, VRBASEICMS, VRICMS, VRISENTAS, VROUTRAS, IDARQUIVO) VALUES (:SEQ, "
          ":EMP,"
          " :IE, :DT, :MOD, :SER, :SUB, :NR, :ALIQ, :TOT, :BC, :ICMS, :ISE, :OUT, 'S')",
          {{"SEQ", Num(++note)},
           {"EMP", who.company},
           {"IE", who.registration},
           {"DT", d.date},
           {"MOD", d.model},
           {"SER", d.series},
           {"SUB", d.subseries},
           {"NR", Num(number)},
           {"ALIQ", Num(d.rate)},
           {"TOT", Num(values ? d.total : 0)},
           {"BC", Num(values ? d.icms_base : 0)},
           {"ICMS", Num(values ? d.icms : 0)},
           {"ISE", Num(values ? d.exempt : 0)},
           {"OUT", Num(values ? d.other : 0)}});
    };
    insert(d.first, true);
    if (d.model == "02") month_rate_note.emplace(std::make_pair(d.date.substr(0, 7), d.rate), note);
    if (d.last != d.first) insert(d.last, false);
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
    s.Execute(
        "INSERT INTO NOTACONSUMIDORITEM (NRSEQNC, NRITEM, CDPRODUTO, QTITEM, VRPRODUTO, VRBASEICMS) VALUES "
        "(:SEQ,"
        " :IT, :P, :QT, :VR, :BC)",
        {{"SEQ", Num(found->second)},
         {"IT", Num(++items_of_note[found->second])},
         {"P", i.product},
         {"QT", Num(i.quantity)},
         {"VR", Num(i.value)},
         {"BC", Num(i.icms_base)}});
    ++summary.consumer_items;
  }
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
    const std::string seq = Num(++sequence);
    s.Execute(
        "INSERT INTO NOTAFISCAL (NRSEQNOTA, CDEMPRESA, CDINSCESTA, CDLIVROMAG, IDENTSAI, NRCNPJPART, "
        "CDINSCPART,"
        " SGESTADOPART, DTDOCUMENTO, CDMODELO, CDSERIE, NRNOTA, IDEMITENTE, IDSITUACAO, CDANTECIPACAO, "
        "VRFRETE,"
        " VRSEGURO, VRDESPESAS, IDARQUIVO) VALUES (:SEQ, :EMP, :IE, :LIVRO, :ES, :CNPJ, :IEP, :UF, :DT, :MOD,"
        " :SER, :NR, :EMI, :SIT, :ANT, :FRE, :SEG, :DESP, 'S')",
        {{"SEQ", seq},
         {"EMP", who.company},
         {"IE", who.registration},
         {"LIVRO", who.book.empty() ? std::nullopt : std::optional(who.book)},
         {"ES", n.lines.front().cfop[0] <= '3' ? "E" : "S"},
         {"CNPJ", n.cnpj},
         {"IEP", n.ie},
         {"UF", n.uf},
         {"DT", n.date},
         {"MOD", n.model},
         {"SER", n.series},
         {"NR", n.number},
         {"EMI", std::string(1, n.issuer)},
         {"SIT", std::string(1, n.situation)},
         {"ANT", n.anticipation.empty() ? std::nullopt : std::optional(n.anticipation)},
         {"FRE", Num(n.freight)},
         {"SEG", Num(n.insurance)},
         {"DESP", Num(n.other_charges)}});
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
        if (s.Query("SELECT 1 FROM PRODUTO WHERE CDPRODUTO = :P", {{"P", i.product}}).rows.empty())
          s.Execute("INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, SGUNIDADE) VALUES (:P, :NOME, 'un')",
                    {{"P", i.product}, {"NOME", "Documento sem itens, CFOP " + l.cfop}});
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
      s.Execute(
          "INSERT INTO NOTAFISCALITEM (NRSEQNOTA, NRITEM, CDPRODUTO, CDCFOP, CDCST, QTITEM, VRPRODUTO, "
          "VRDESCONTO,"
          " VRBASEICMS, VRALIQICMS, VRICMS, VRISENTAS, VROUTRAS, VRBASEST, VRICMSST, VRIPI, VRISENTASIPI,"
          " VROUTRASIPI) VALUES (:SEQ, :IT, :P, :CFOP, :CST, :QT, :VR, :DESC, :BC, :ALIQ, :ICMS, :ISE, :OUT,"
          " :BCST, :ST, :IPI, :ISEIPI, :OUTIPI)",
          {{"SEQ", seq},
           {"IT", Num(i.item)},
           {"P", i.product},
           {"CFOP", i.cfop},
           {"CST", i.cst},
           {"QT", Num(i.quantity)},
           {"VR", Num(i.value)},
           {"DESC", Num(i.discount)},
           {"BC", Num(i.icms_base)},
           {"ALIQ", Num(i.rate)},
           {"ICMS", Num(rest[k].icms)},
           {"ISE", Num(rest[k].exempt)},
           {"OUT", Num(rest[k].other)},
           {"BCST", Num(i.st_base)},
           {"ST", Num(rest[k].st)},
           {"IPI", Num(i.ipi)},
           {"ISEIPI", Num(rest[k].ipi_exempt)},
           {"OUTIPI", Num(rest[k].ipi_other)}});
      ++summary.note_items;
    }
  }
}

// The 60 and 61 lines the rows give, built by the file's own builders over a
// scratch database that holds only the file's rows.
std::vector<std::string> RebuiltLines(sql::Session& real, const Informant& who, const RegisterFile& file) {
  auto scratch = sql::OpenSession("sqlite::memory:");
  Migrate(*scratch);
  const auto company = real.Query(
      "SELECT CDEMPRESA, NMEMPRESA, CDSITUCRT FROM EMPRESA WHERE CDEMPRESA = :EMP", {{"EMP", who.company}});
  scratch->Execute("INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA, CDSITUCRT) VALUES (:C, :N, :S)",
                   {{"C", company.rows[0][0]}, {"N", company.rows[0][1]}, {"S", company.rows[0][2]}});
  scratch->Execute(
      "INSERT INTO INSCRESTAD (CDEMPRESA, CDINSCESTA, NRINSJURIEST, SGESTADO, NMMUNICIPIO) VALUES (:C, :I, "
      ":J,"
      " :U, 'x')",
      {{"C", who.company}, {"I", who.registration}, {"J", who.cnpj}, {"U", who.uf}});
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
  if (Digits(file.cnpj) != who.cnpj || Digits(file.ie) != Digits(who.registration))
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

  sql::Transaction transaction(session);
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

}  // namespace server::import
