#include "server/file_builder.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "lib/layout/document_numbers.h"
#include "server/register_models.h"

namespace server {
namespace {

std::int64_t Int(const std::optional<std::string>& v) { return v && !v->empty() ? std::stoll(*v) : 0; }
std::string Str(const std::optional<std::string>& v) { return v.value_or(std::string()); }

// The documents of the request: the informant's, inside the period, of the
// book and of the states asked for. A file that undoes operations (purpose 5)
// holds only the documents of operations that did not take place.
const char* const kDocumentFilter =
    " n.CDEMPRESA = :EMP AND n.CDINSCESTA = :IE AND n.DTDOCUMENTO BETWEEN :INI AND :FIM"
    " AND (:LIVRO IS NULL OR n.CDLIVROMAG = :LIVRO)"
    " AND (:UFS IS NULL OR INSTR(',' || :UFS || ',', ',' || n.SGESTADOPART || ',') > 0)"
    " AND (:SOCANC IS NULL OR n.IDSITUACAO IN ('S', 'X')) ";

std::vector<sql::Param> FilterParams(const FileRequest& r, const std::vector<std::string>& states) {
  std::string ufs;
  for (const auto& uf : states) ufs += (ufs.empty() ? "" : ",") + uf;
  return {{"EMP", r.company},
          {"IE", r.registration},
          {"INI", r.first_day},
          {"FIM", r.last_day},
          {"LIVRO", r.book.empty() ? std::nullopt : std::optional<std::string>(r.book)},
          {"UFS", ufs.empty() ? std::nullopt : std::optional<std::string>(ufs)},
          {"SOCANC", r.purpose == '5' ? std::optional<std::string>("S") : std::nullopt}};
}

const char* const kDocumentColumns =
    "n.NRSEQNOTA, n.NRCNPJPART, n.CDINSCPART, n.DTDOCUMENTO, n.SGESTADOPART, n.CDMODELO, n.CDSERIE, n.NRNOTA,"
    " n.IDEMITENTE, n.IDSITUACAO, n.VRFRETE + n.VRSEGURO + n.VRDESPESAS, n.IDENTSAI";
const char* const kDocumentGroup =
    "n.NRSEQNOTA, n.NRCNPJPART, n.CDINSCPART, n.DTDOCUMENTO, n.SGESTADOPART, n.CDMODELO, n.CDSERIE, n.NRNOTA,"
    " n.IDEMITENTE, n.IDSITUACAO, n.VRFRETE, n.VRSEGURO, n.VRDESPESAS, n.IDENTSAI";
constexpr std::size_t kDocumentColumnCount = 12;

DocumentHead Head(const sql::Row& row) {
  DocumentHead d;
  d.cnpj = Str(row[1]);
  d.ie = Str(row[2]);
  d.date = Str(row[3]);
  d.uf = Str(row[4]);
  d.model = Str(row[5]);
  d.series = Str(row[6]);
  d.number = Str(row[7]);
  d.issuer = Str(row[8]).empty() ? 'P' : Str(row[8])[0];
  d.situation = Str(row[9]).empty() ? 'N' : Str(row[9])[0];
  d.direction = Str(row[11]) == "E" ? 'E' : 'S';
  return d;
}

bool Cancelled(const DocumentHead& d) { return d.situation == 'S' || d.situation == 'X'; }

// A number that was never used for a document of value: cancelled, denied or
// voided numbers carry no items and no values.
bool WithoutValues(const DocumentHead& d) { return Cancelled(d) || d.situation == '2' || d.situation == '4'; }

std::string Describe(const DocumentHead& d) {
  return "Documento modelo " + d.model + " série " + (d.series.empty() ? "(sem série)" : d.series) +
         " número " + d.number + " de " + d.date + " (CNPJ/CPF " + d.cnpj + ")";
}

// Builds one line of a document; a value that does not fit its field refuses
// the file, naming the document, the register and the field.
template <typename F>
std::string LineOf(const DocumentHead& d, const char* register_type, F&& build) {
  try {
    return build();
  } catch (const FieldOverflow& e) {
    throw FileRefused(Describe(d) + ": no registro " + register_type + ", " + e.what() + ".");
  }
}

std::string Digits(const std::string& s) {
  std::string digits;
  for (char c : s) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

// What the validators would refuse in a document's party or in one of its
// CFOPs (empty when nothing): the party's CNPJ or CPF with its check digits
// (zeros for a foreign party), and a CFOP whose first digit agrees with the
// direction and with where the party is: 1/5 in the informant's state, 2/6
// in another state, 3/7 abroad.
std::string DocumentProblem(const DocumentHead& d, const std::string& cfop, const std::string& home) {
  const std::string party = Digits(d.cnpj);
  if (d.uf == "EX") {
    if (party.find_first_not_of('0') != std::string::npos)
      return "uma parte do exterior (UF EX) leva CNPJ em zeros, não " + d.cnpj;
  } else if (!layout::ValidCnpjOrCpf(party)) {
    return "o CNPJ/CPF da outra parte, '" + d.cnpj + "', não é válido (tamanho ou dígitos verificadores)";
  }
  if (cfop.empty() && WithoutValues(d)) return {};
  if (cfop.size() != 4 || Digits(cfop) != cfop) return "o CFOP '" + cfop + "' não tem 4 dígitos";
  const bool entry = d.direction == 'E';
  const bool abroad = d.uf == "EX";
  const bool inside = d.uf == home;
  const char expected = abroad ? (entry ? '3' : '7') : inside ? (entry ? '1' : '5') : (entry ? '2' : '6');
  if (cfop[0] == expected) return {};
  return "o CFOP " + cfop + " não condiz com " + (entry ? "uma entrada " : "uma saída ") +
         (abroad   ? "do exterior"
          : inside ? "dentro do estado"
                   : "com outro estado (" + d.uf + ")") +
         ": deve começar por " + expected;
}

// The order of the document numbers as written: the last six digits.
const char* const kNumberKey = "CAST(n.NRNOTA AS INTEGER) % 1000000";
// The party's CNPJ or CPF as written: zero-filled to 14 digits.
const char* const kPartyKey = "SUBSTR('00000000000000' || n.NRCNPJPART, LENGTH(n.NRCNPJPART) + 1)";

}  // namespace

RegisterSelection SelectRegisters(const std::string& file_type, const std::string& mask) {
  RegisterSelection s;
  if (file_type == "SINTEGRA" || file_type == "SINTEGRA - RS") {
    s.r50 = s.r51 = s.r53 = s.r54 = s.r75 = true;
    return s;
  }
  const auto on = [&](std::size_t position) { return mask.size() >= position && mask[position - 1] == 'S'; };
  s.r50 = on(1);
  s.r51 = on(2);
  s.r53 = on(3);
  s.r54 = on(4);
  // Only 54 cites products; every product it cites gets its 75.
  s.r75 = s.r54;
  return s;
}

long FileBuilder::Build(const FileRequest& r, const std::function<void(const std::string&)>& emit) {
  const auto informant_rows = session_.Query(
      "SELECT e.NMEMPRESA, i.NRINSJURIEST, i.CDINSCESTA, i.SGESTADO, i.NMMUNICIPIO, i.NRFAX, i.DSLOGRADOURO,"
      " i.NRLOGRADOURO, i.DSCOMPLEMENTO, i.NMBAIRRO, i.NRCEP, i.NMCONTATO, i.NRTELEFONE"
      " FROM INSCRESTAD i JOIN EMPRESA e ON e.CDEMPRESA = i.CDEMPRESA"
      " WHERE i.CDEMPRESA = :EMP AND i.CDINSCESTA = :IE",
      {{"EMP", r.company}, {"IE", r.registration}});
  if (informant_rows.rows.empty()) throw std::invalid_argument("unknown registration " + r.registration);
  const sql::Row& e = informant_rows.rows[0];
  Informant informant{Str(e[1]), Str(e[2]), Str(e[0]), Str(e[4]),  Str(e[3]),  Str(e[5]), Str(e[6]),
                      Str(e[7]), Str(e[8]), Str(e[9]), Str(e[10]), Str(e[11]), Str(e[12])};

  if (!layout::ValidCnpj(Digits(informant.cnpj))) {
    throw FileRefused(
        "O CNPJ do estabelecimento, '" + informant.cnpj +
        "', não é válido (14 dígitos com os verificadores): corrija o cadastro antes de gerar o arquivo.");
  }
  // Values the validators refuse are refused here, before a line carries them.
  const auto check = [&](const DocumentHead& d, const std::string& cfop) {
    if (const std::string problem = DocumentProblem(d, cfop, informant.uf); !problem.empty())
      throw FileRefused(Describe(d) + ": " + problem + ".");
  };

  std::vector<std::string> states = r.states;
  if (!r.substitute.empty()) {
    // A file of the substitute reports, under the substitute's registration,
    // the operations with the state that gave it.
    const auto st = session_.Query(
        "SELECT SGESTADO FROM INSCRSUBST WHERE CDEMPRESA = :EMP AND CDINSCESTA = :IE AND CDINSCESTAST = :ST",
        {{"EMP", r.company}, {"IE", r.registration}, {"ST", r.substitute}});
    if (st.rows.empty()) throw std::invalid_argument("unknown substitute registration " + r.substitute);
    informant.ie = r.substitute;
    states = {Str(st.rows[0][0])};
  }

  FileHeader header{r.first_day, r.last_day, r.version, '3', r.purpose};
  bool own_state = states.empty();
  for (const auto& uf : states) own_state = own_state || uf == informant.uf;
  header.nature = own_state ? '3' : '2';

  const RegisterSelection selected = SelectRegisters(r.file_type, r.mask);
  const auto params = FilterParams(r, states);
  long total = 0;
  std::vector<std::pair<std::string, long>> counts;
  const auto put = [&](const std::string& line) {
    emit(line);
    ++total;
    const std::string type = line.substr(0, 2);
    if (type == "10" || type == "11" || type == "90") return;
    if (counts.empty() || counts.back().first != type) counts.emplace_back(type, 0);
    ++counts.back().second;
  };

  put(lines_.R10(informant, header));
  if (r.purpose != '5') put(lines_.R11(informant));

  const std::string where = std::string(" WHERE") + kDocumentFilter;
  if (selected.r50) {
    std::int64_t last_document = -1;
    // Every document of the period, with items or without: a cancelled or
    // voided number still has its line.
    session_.QueryEach(
        std::string("SELECT ") + kDocumentColumns +
            ", i.CDCFOP, i.VRALIQICMS, SUM(i.VRPRODUTO - i.VRDESCONTO + i.VRIPI + i.VRICMSST),"
            " SUM(i.VRBASEICMS), SUM(i.VRICMS), SUM(i.VRISENTAS), SUM(i.VROUTRAS), COUNT(i.NRITEM)"
            " FROM NOTAFISCAL n LEFT JOIN NOTAFISCALITEM i ON i.NRSEQNOTA = n.NRSEQNOTA" +
            where + " AND n.CDMODELO IN " + SqlList(kModels50) + " GROUP BY " + kDocumentGroup +
            ", i.CDCFOP, i.VRALIQICMS ORDER BY n.DTDOCUMENTO, " + kNumberKey +
            ", n.NRSEQNOTA, i.CDCFOP, i.VRALIQICMS",
        params, [&](const sql::Row& row) {
          const DocumentHead doc = Head(row);
          const std::size_t c = kDocumentColumnCount;
          if (Int(row[c + 7]) == 0 && !WithoutValues(doc)) {
            throw FileRefused(Describe(doc) +
                              " não tem itens: um documento normal precisa de "
                              "ao menos um item para ter CFOP e valores.");
          }
          check(doc, Str(row[c]));
          Reg50Values v{Str(row[c]),     Int(row[c + 2]), Int(row[c + 3]), Int(row[c + 4]),
                        Int(row[c + 5]), Int(row[c + 6]), Int(row[c + 1])};
          // The document's freight, insurance and other charges go into the
          // total of its first line.
          if (Int(row[0]) != last_document) v.total += Int(row[10]);
          last_document = Int(row[0]);
          if (WithoutValues(doc)) v = Reg50Values{v.cfop, 0, 0, 0, 0, 0, v.rate};
          put(LineOf(doc, "50", [&] { return lines_.R50(doc, v); }));
        });
  }
  if (selected.r51) {
    std::int64_t last_document = -1;
    session_.QueryEach(
        std::string("SELECT ") + kDocumentColumns +
            ", i.CDCFOP, SUM(i.VRPRODUTO - i.VRDESCONTO + i.VRIPI + i.VRICMSST), SUM(i.VRIPI), "
            "SUM(i.VRISENTASIPI),"
            " SUM(i.VROUTRASIPI) FROM NOTAFISCAL n JOIN NOTAFISCALITEM i ON i.NRSEQNOTA = n.NRSEQNOTA" +
            where + " AND n.CDMODELO IN " + SqlList(kModels51) + " GROUP BY " + kDocumentGroup +
            ", i.CDCFOP HAVING SUM(i.VRIPI + i.VRISENTASIPI + i.VROUTRASIPI) > 0"
            " ORDER BY n.DTDOCUMENTO, " +
            kNumberKey + ", n.NRSEQNOTA, i.CDCFOP",
        params, [&](const sql::Row& row) {
          const DocumentHead doc = Head(row);
          const std::size_t c = kDocumentColumnCount;
          check(doc, Str(row[c]));
          Reg51Values v{Str(row[c]), Int(row[c + 1]), Int(row[c + 2]), Int(row[c + 3]), Int(row[c + 4])};
          // The document's total is one figure in 50 and in 51: the charges
          // go into its first line here too.
          if (Int(row[0]) != last_document) v.total += Int(row[10]);
          last_document = Int(row[0]);
          if (WithoutValues(doc)) v = Reg51Values{v.cfop, 0, 0, 0, 0};
          put(LineOf(doc, "51", [&] { return lines_.R51(doc, v); }));
        });
  }
  if (selected.r53) {
    std::int64_t last_document = -1;
    session_.QueryEach(std::string("SELECT ") + kDocumentColumns +
                           ", i.CDCFOP, SUM(i.VRBASEST), SUM(i.VRICMSST), n.CDANTECIPACAO"
                           " FROM NOTAFISCAL n JOIN NOTAFISCALITEM i ON i.NRSEQNOTA = n.NRSEQNOTA" +
                           where + " AND n.CDMODELO IN " + SqlList(kModels53) + " GROUP BY " +
                           kDocumentGroup +
                           ", n.CDANTECIPACAO, i.CDCFOP HAVING SUM(i.VRBASEST) > 0"
                           " ORDER BY n.DTDOCUMENTO, " +
                           kNumberKey + ", n.NRSEQNOTA, i.CDCFOP",
                       params, [&](const sql::Row& row) {
                         const DocumentHead doc = Head(row);
                         const std::size_t c = kDocumentColumnCount;
                         check(doc, Str(row[c]));
                         Reg53Values v{Str(row[c]), Int(row[c + 1]), Int(row[c + 2]), 0, Str(row[c + 3])};
                         if (Int(row[0]) != last_document) v.expenses = Int(row[10]);
                         last_document = Int(row[0]);
                         if (WithoutValues(doc)) v = Reg53Values{v.cfop, 0, 0, 0, v.anticipation};
                         put(LineOf(doc, "53", [&] { return lines_.R53(doc, v); }));
                       });
  }
  if (selected.r54) {
    struct Pending {
      std::int64_t document = -1;
      DocumentHead head;
      std::string cfop;
      std::int64_t freight = 0, insurance = 0, other = 0;
    } pending;
    // Freight (991), insurance (992) and other charges (999) follow the items
    // of their document.
    const auto close_document = [&] {
      if (pending.document < 0 || WithoutValues(pending.head)) return;
      const std::pair<const char*, std::int64_t> charges[] = {
          {"991", pending.freight}, {"992", pending.insurance}, {"999", pending.other}};
      for (const auto& [item, amount] : charges) {
        if (amount <= 0) continue;
        Reg54Values v;
        v.cfop = pending.cfop;
        v.item = item;
        v.discount = amount;
        put(LineOf(pending.head, "54", [&] { return lines_.R54(pending.head, v); }));
      }
    };
    session_.QueryEach(
        std::string("SELECT ") + kDocumentColumns +
            ", i.CDCFOP, i.CDCST, i.NRITEM, i.CDPRODUTO, i.QTITEM, i.VRPRODUTO, i.VRDESCONTO, i.VRBASEICMS,"
            " i.VRBASEST, i.VRIPI, i.VRALIQICMS, n.VRFRETE, n.VRSEGURO, n.VRDESPESAS"
            " FROM NOTAFISCAL n JOIN NOTAFISCALITEM i ON i.NRSEQNOTA = n.NRSEQNOTA" +
            where + " AND n.CDMODELO IN " + SqlList(kModels54) + " ORDER BY " + kPartyKey + ", n.CDSERIE, " +
            kNumberKey + ", n.NRSEQNOTA, i.NRITEM",
        params, [&](const sql::Row& row) {
          const std::size_t c = kDocumentColumnCount;
          if (Int(row[0]) != pending.document) {
            close_document();
            pending = Pending{Int(row[0]),      Head(row),        Str(row[c]),
                              Int(row[c + 11]), Int(row[c + 12]), Int(row[c + 13])};
          }
          Reg54Values v{Str(row[c]),     Str(row[c + 1]), Str(row[c + 2]), Str(row[c + 3]),
                        Int(row[c + 4]), Int(row[c + 5]), Int(row[c + 6]), Int(row[c + 7]),
                        Int(row[c + 8]), Int(row[c + 9]), Int(row[c + 10])};
          check(pending.head, Str(row[c]));
          // Items are 001 to 990: the numbers above belong to the charges.
          const std::int64_t item = Int(row[c + 2]);
          if (item < 1 || item > 990 ||
              Str(row[c + 2]).find_first_not_of("0123456789") != std::string::npos) {
            throw FileRefused(
                Describe(pending.head) + " tem o item número " + Str(row[c + 2]) +
                ": os itens vão de 001 a 990 (991, 992 e 999 são frete, seguro e outras despesas).");
          }
          if (WithoutValues(pending.head))
            v = Reg54Values{v.cfop, v.cst, v.item, v.product, 0, 0, 0, 0, 0, 0, 0};
          put(LineOf(pending.head, "54", [&] { return lines_.R54(pending.head, v); }));
        });
    close_document();
  }
  if (selected.r75) {
    // In the order of the codes as written (the text of a code may change in
    // the writing), and one line per written code.
    std::vector<std::string> products;
    session_.QueryEach(
        "SELECT p.CDPRODUTO, p.CDNCM, p.NMPRODUTO, p.SGUNIDADE, p.VRALIQIPI, p.VRALIQICMS, p.VRPERREDBC, "
        "p.VRBASEST"
        " FROM PRODUTO p WHERE p.CDPRODUTO IN (SELECT i.CDPRODUTO FROM NOTAFISCAL n JOIN NOTAFISCALITEM i"
        " ON i.NRSEQNOTA = n.NRSEQNOTA" +
            where + " AND n.CDMODELO IN " + SqlList(kModels54) + ")",
        params, [&](const sql::Row& row) {
          Product p{Str(row[0]), Str(row[1]), Str(row[2]), Str(row[3]),
                    Int(row[4]), Int(row[5]), Int(row[6]), Int(row[7])};
          try {
            products.push_back(lines_.R75(r.first_day, r.last_day, p));
          } catch (const FieldOverflow& overflow) {
            throw FileRefused("Produto " + p.code + ": no registro 75, " + overflow.what() + ".");
          }
        });
    const auto code = [](const std::string& line) { return line.substr(18, 14); };
    std::sort(products.begin(), products.end(),
              [&](const std::string& a, const std::string& b) { return code(a) < code(b); });
    for (std::size_t k = 1; k < products.size(); ++k) {
      if (code(products[k]) == code(products[k - 1])) {
        throw FileRefused("Dois produtos ficam com o mesmo código no arquivo: '" + code(products[k]) +
                          "'. Os códigos de produto devem ser distintos nas 14 posições do registro 75.");
      }
    }
    for (const std::string& line : products) put(line);
  }
  for (const std::string& line : lines_.R90(informant, counts, total)) {
    emit(line);
    ++total;
  }
  return total;
}

}  // namespace server
