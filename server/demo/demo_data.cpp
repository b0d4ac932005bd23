#include "server/demo/demo_data.h"

#include "server/demo/demo_retail.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "server/demo/demo_rows.h"

namespace server {
namespace {

using demo::Num;

struct Party {
  const char* cnpj_base;  // 12 digits, or "" for a foreign party
  const char* ie;
  const char* uf;
};

// A small deterministic generator: the demo data is the same on every machine.
struct Lcg {
  std::uint64_t state;
  std::uint64_t Next(std::uint64_t bound) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return (state >> 33) % bound;
  }
};

struct Item {
  const char* product;
  std::int64_t quantity;    // thousandths
  std::int64_t unit_price;  // cents
};

struct Note {
  std::int64_t sequence;
  std::string company, registration, book, direction;  // direction: E entry, S exit
  std::string cnpj, ie, uf, date, model, series, number, issuer, situation, anticipation;
  std::string cfop, cst;
  std::int64_t rate = 1800, freight = 0, insurance = 0, other = 0;
  bool ipi = false, st = false;
  std::vector<Item> items;
};

void InsertNotes(FiscalTables& tables, const std::vector<Note>& notes) {
  for (const Note& n : notes) {
    tables.Add(NoteRow{.sequence = n.sequence,
                       .company = n.company,
                       .registration = n.registration,
                       .book = n.book.empty() ? std::nullopt : std::optional(n.book),
                       .direction = n.direction,
                       .party_cnpj = n.cnpj,
                       .party_ie = n.ie,
                       .party_uf = n.uf,
                       .date = n.date,
                       .model = n.model,
                       .series = n.series,
                       .number = n.number,
                       .issuer = n.issuer,
                       .situation = n.situation,
                       .anticipation = n.anticipation.empty() ? std::nullopt : std::optional(n.anticipation),
                       .freight = n.freight,
                       .insurance = n.insurance,
                       .expenses = n.other});
    int number = 0;
    for (const Item& it : n.items) {
      const std::int64_t amount = it.quantity * it.unit_price / 1000;
      const std::int64_t discount = amount / 50;
      const bool taxed = n.rate > 0;
      const std::int64_t base = taxed ? amount - discount : 0;
      const std::int64_t icms = base * n.rate / 10000;
      const std::int64_t ipi = n.ipi ? (amount - discount) / 10 : 0;
      const std::int64_t st_base = n.st ? (amount - discount) * 140 / 100 : 0;
      const std::int64_t st_icms = n.st ? st_base * n.rate / 10000 - icms : 0;
      tables.Add(NoteItemRow{.sequence = n.sequence,
                             .item = ++number,
                             .product = it.product,
                             .cfop = n.cfop,
                             .cst = n.cst,
                             .quantity = it.quantity,
                             .value = amount,
                             .discount = discount,
                             .icms_base = base,
                             .icms_rate = n.rate,
                             .icms = icms,
                             .exempt = taxed ? 0 : amount - discount,
                             .st_base = st_base,
                             .st_icms = st_icms > 0 ? st_icms : 0,
                             .ipi = ipi});
    }
  }
  tables.Flush();
}

}  // namespace

std::string CnpjFrom(const std::string& first12) {
  std::string cnpj = first12;
  for (int round = 0; round < 2; ++round) {
    static const int kWeights[] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    const int offset = round == 0 ? 1 : 0;
    int sum = 0;
    for (std::size_t i = 0; i < cnpj.size(); ++i)
      sum += (cnpj[i] - '0') * kWeights[i + static_cast<std::size_t>(offset)];
    const int digit = 11 - sum % 11;
    cnpj += static_cast<char>('0' + (digit >= 10 ? 0 : digit));
  }
  return cnpj;
}

bool LoadDemoData(sql::Session& s) {
  if (!s.Query("SELECT 1 FROM EMPRESA", {}).rows.empty()) return false;
  sql::Transaction transaction(s);
  FiscalTables tables(s, 2000);

  for (const CountryRow& country :
       {CountryRow{"1058", "Brasil"}, CountryRow{"0249", "Estados Unidos"}, CountryRow{"0639", "Argentina"}})
    tables.Add(country);
  const char* const states[][2] = {
      {"AC", "Acre"},        {"AL", "Alagoas"},   {"AM", "Amazonas"},          {"AP", "Amapá"},
      {"BA", "Bahia"},       {"CE", "Ceará"},     {"DF", "Distrito Federal"},  {"ES", "Espírito Santo"},
      {"GO", "Goiás"},       {"MA", "Maranhão"},  {"MG", "Minas Gerais"},      {"MS", "Mato Grosso do Sul"},
      {"MT", "Mato Grosso"}, {"PA", "Pará"},      {"PB", "Paraíba"},           {"PE", "Pernambuco"},
      {"PI", "Piauí"},       {"PR", "Paraná"},    {"RJ", "Rio de Janeiro"},    {"RN", "Rio Grande do Norte"},
      {"RO", "Rondônia"},    {"RR", "Roraima"},   {"RS", "Rio Grande do Sul"}, {"SC", "Santa Catarina"},
      {"SE", "Sergipe"},     {"SP", "São Paulo"}, {"TO", "Tocantins"}};
  for (const auto& st : states) tables.Add(StateRow{"1058", st[0], st[1]});
  tables.Add(StateRow{"0639", "BA", "Buenos Aires"});
  tables.Add(StateRow{"0639", "CB", "Córdoba"});

  for (const CompanyRow& company : {CompanyRow{"01", "Comércio Paulista de Alimentos Ltda", "3"},
                                    CompanyRow{"02", "Indústria Mineira de Móveis S.A.", "1"},
                                    CompanyRow{"03", "Distribuidora Fluminense Ltda", "2"},
                                    CompanyRow{"04", "Açougue e Mercearia Gaúcha ME", std::nullopt}})
    tables.Add(company);
  for (const TaxRow& tax :
       {TaxRow{"01", "ICMS", "E"}, TaxRow{"02", "ISS", "M"}, TaxRow{"03", "IPI", std::nullopt},
        TaxRow{"04", "ICMS-ST", "E"}, TaxRow{"05", "PIS", "F"}})
    tables.Add(tax);
  for (const RegistrationRow& registration : std::vector<RegistrationRow>{
           {"01", "110042490114", CnpjFrom("112223330001"), "SP", "São Paulo", "1132105000",
            "Avenida Paulista", "1000", "Conjunto 101", "Bela Vista", "01310100", "Maria da Conceição Araújo",
            "1132105001"},
           {"01", "244005621111", CnpjFrom("112223330002"), "SP", "Campinas", std::nullopt,
            "Rua Barão de Jaguara", "0", "S/N", "Centro", "13015000", "João Gonçalves", "1932330000"},
           {"02", "0623079040081", CnpjFrom("223334440001"), "MG", "Belo Horizonte", "3132220000",
            "Avenida Afonso Pena", "1500", "", "Centro", "30130005", "Ângela Simões", "3132220001"},
           {"03", "85400371", CnpjFrom("334445550001"), "RJ", "Rio de Janeiro", std::nullopt,
            "Rua da Assembléia", "10", "Sala 2001", "Centro", "20011000", "Sérgio Brandão", "2122330000"},
           {"04", "0960012346", CnpjFrom("445556660001"), "RS", "Porto Alegre", std::nullopt,
            "Rua dos Andradas", "1234", "Loja 3", "Centro", "90020008", "Lúcia Prestes", "5132240000"}})
    tables.Add(registration);
  for (const MunicipalRegistrationRow& municipal :
       {MunicipalRegistrationRow{"01", "31245678"}, MunicipalRegistrationRow{"01", "31245679"},
        MunicipalRegistrationRow{"02", "5500123"}})
    tables.Add(municipal);
  tables.Add(SubstituteRegistrationRow{"01", "110042490114", "78123451", "RJ"});
  tables.Add(SubstituteRegistrationRow{"01", "110042490114", "0012345670053", "MG"});
  for (const BookRow& book : {BookRow{"0000000001", "Livro Registro de Entradas e Saídas"},
                              BookRow{"0000000002", "Livro Registro de Inventário"},
                              BookRow{"0000000010", "Livro de Apuração do ICMS"}})
    tables.Add(book);
  // January and February of the first establishment are locked, March is
  // still open; company 04 never locked its map.
  for (const FiscalMapRow& map :
       {FiscalMapRow{"01", "110042490114", "202601", "S"}, FiscalMapRow{"01", "110042490114", "202602", "S"},
        FiscalMapRow{"01", "110042490114", "202603", "N"}, FiscalMapRow{"01", "244005621111", "202601", "S"},
        FiscalMapRow{"02", "0623079040081", "202601", "S"},
        FiscalMapRow{"02", "0623079040081", "202602", "S"}, FiscalMapRow{"03", "85400371", "202601", "S"},
        FiscalMapRow{"04", "0960012346", "202601", "N"}})
    tables.Add(map);
  for (const ProductRow& product : std::vector<ProductRow>{
           {"ARROZ5KG", "10063021", "Arroz agulhinha tipo 1 - pacote 5 kg", "pc", 0, 700, 0, 0},
           {"FEIJAO1KG", "07133319", "Feijão carioca tipo 1 - pacote 1 kg", "pc", 0, 700, 0, 0},
           {"CAFE500G", "09012100", "Café torrado e moído - 500 g", "pc", 0, 1800, 0, 0},
           {"ACUCAR5KG", "17019900", "Açúcar cristal - pacote 5 kg", "pc", 0, 1800, 0, 0},
           {"OLEO900ML", "15079011", "Óleo de soja refinado - 900 ml", "un", 0, 1200, 0, 0},
           {"LEITE1L", "04012010", "Leite UHT integral - caixa 1 l", "un", 0, 1200, 3333, 0},
           {"CERVEJA350", "22030000", "Cerveja lata 350 ml", "un", 600, 1800, 0, 450},
           {"REFRIG2L", "22021000", "Refrigerante de cola - garrafa 2 l", "un", 400, 1800, 0, 890},
           {"MESA6L", "94036000", "Mesa de jantar em madeira maciça - 6 lugares", "pc", 500, 1800, 0, 0},
           {"CADEIRA", "94016100", "Cadeira estofada com braços", "pc", 500, 1800, 0, 0},
           {"ARMARIO2P", "94035000", "Armário de cozinha - 2 portas", "pc", 500, 1800, 0, 0},
           {"ENERGIA", "27160000", "Energia elétrica", "kWh", 0, 1800, 0, 0}})
    tables.Add(product);

  const Party parties[] = {{"556667770001", "115566770891", "SP"},
                           {"667778880001", "78456124", "RJ"},
                           {"778889990001", "0623456780027", "MG"},
                           {"889990000001", "9012345663", "PR"},
                           {"", "ISENTO", "EX"}};
  std::vector<Note> notes;
  Lcg random{20260101};
  std::int64_t sequence = 1;
  const char* const groceries[] = {"ARROZ5KG", "FEIJAO1KG", "CAFE500G", "ACUCAR5KG", "OLEO900ML", "LEITE1L"};
  const auto make = [&](const std::string& company, const std::string& registration, int month, int day,
                        const Party& party, bool exit) {
    Note n;
    n.sequence = sequence++;
    n.company = company;
    n.registration = registration;
    n.book = n.sequence % 5 == 0 ? "" : "0000000001";
    n.direction = exit ? "S" : "E";
    n.cnpj = *party.cnpj_base ? CnpjFrom(party.cnpj_base) : std::string(14, '0');
    n.ie = party.ie;
    n.uf = party.uf;
    char date[16];
    std::snprintf(date, sizeof date, "2026-%02d-%02d", month, day);
    n.date = date;
    n.model = "55";
    n.series = "1";
    n.number = std::to_string(exit ? 1000 + n.sequence : 50000 + n.sequence * 7);
    n.issuer = exit ? "P" : "T";
    n.situation = "N";
    // The informant's own state decides what is internal.
    const std::string home = company == "02" ? "MG" : company == "03" ? "RJ" : company == "04" ? "RS" : "SP";
    const bool internal = party.uf == home;
    const bool foreign = std::string(party.uf) == "EX";
    n.cfop = foreign ? (exit ? "7101" : "3102")
             : exit  ? (internal ? "5102" : "6102")
                     : (internal ? "1102" : "2102");
    n.cst = "000";
    n.rate = foreign ? 0 : internal ? 1800 : 1200;
    if (foreign) n.cst = "041";
    const auto count = 1 + random.Next(4);
    for (std::uint64_t k = 0; k < count; ++k) {
      n.items.push_back({groceries[random.Next(6)], static_cast<std::int64_t>(1 + random.Next(40)) * 1000,
                         static_cast<std::int64_t>(500 + random.Next(5000))});
    }
    return n;
  };

  for (int month = 1; month <= 3; ++month) {
    for (int k = 0; k < 14; ++k) {
      const Party& party = parties[k % 4];
      notes.push_back(make("01", "110042490114", month, 2 + k * 2, party, k % 2 == 0));
    }
    Note cancelled = make("01", "110042490114", month, 15, parties[1], true);
    cancelled.situation = "S";
    notes.push_back(cancelled);
    Note exported = make("01", "110042490114", month, 20, parties[4], true);
    notes.push_back(exported);
    Note drinks = make("01", "110042490114", month, 9, parties[0], false);
    drinks.items = {{"CERVEJA350", 240000, 289}, {"REFRIG2L", 60000, 799}};
    drinks.ipi = true;
    drinks.st = true;
    drinks.anticipation = "1";
    drinks.freight = 15000;
    drinks.insurance = 2500;
    notes.push_back(drinks);
    Note energy = make("01", "110042490114", month, 28, parties[0], false);
    energy.model = "06";
    energy.series = "U";
    energy.cfop = "1253";
    energy.items = {{"ENERGIA", 4500000, 95}};
    notes.push_back(energy);
  }
  for (int k = 0; k < 6; ++k)
    notes.push_back(make("01", "244005621111", 1, 5 + k, parties[k % 4], k % 2 == 1));
  for (int k = 0; k < 8; ++k) {
    Note furniture = make("02", "0623079040081", 1 + k % 2, 3 + k * 3, parties[(k + 1) % 4], true);
    furniture.items = {{"MESA6L", 2000, 189000}, {"CADEIRA", 12000, 34990}, {"ARMARIO2P", 1000, 129900}};
    furniture.ipi = true;
    furniture.other = 3000;
    notes.push_back(furniture);
  }
  for (int k = 0; k < 5; ++k)
    notes.push_back(make("03", "85400371", 1, 10 + k, parties[(k + 2) % 4], k % 2 == 0));
  for (int k = 0; k < 3; ++k) notes.push_back(make("04", "0960012346", 1, 7 + k, parties[k % 4], true));
  // The retailer's purchases of the month.
  LoadRetailCompanies(tables);
  for (int k = 0; k < 2; ++k) {
    Note purchase = make(kRetailCompany, RetailRegistration(), 1, 12 + k, parties[k * 2], false);
    notes.push_back(purchase);
  }
  // Beer bought with IPI and the ICMS withheld by the supplier.
  Note beer = make(kRetailCompany, RetailRegistration(), 1, 14, parties[0], false);
  beer.items = {{"CERVEJA350", 480000, 260}};
  beer.ipi = true;
  beer.st = true;
  notes.push_back(beer);
  InsertNotes(tables, notes);
  LoadRetailActivity(tables);
  tables.Flush();
  transaction.Commit();
  return true;
}

namespace {

constexpr const char* kVolumeRegistration = "900000009008";

// The volume company's registration, its month locked.
void AddVolumeRegistration(FiscalTables& tables, const std::string& company) {
  tables.Add(RegistrationRow{.company = company,
                             .registration = kVolumeRegistration,
                             .cnpj = CnpjFrom("909090900001"),
                             .uf = "SP",
                             .city = "Guarulhos",
                             .street = "Rodovia Presidente Dutra",
                             .number = "2000",
                             .district = "Bonsucesso",
                             .zip = "07178000",
                             .contact = "Central de Volume",
                             .phone = "1124440000"});
  tables.Add(FiscalMapRow{company, kVolumeRegistration, "202601", "S"});
}

std::vector<std::string> VolumeProducts(sql::Session& s, FiscalTables& tables) {
  std::vector<std::string> codes;
  for (int p = 1; p <= 50; ++p) {
    char code[16];
    std::snprintf(code, sizeof code, "V%04d", p);
    codes.emplace_back(code);
  }
  if (s.Query("SELECT 1 FROM PRODUTO WHERE CDPRODUTO = 'V0001'", {}).rows.empty()) {
    for (int p = 1; p <= 50; ++p) {
      tables.Add(ProductRow{.code = codes[static_cast<std::size_t>(p - 1)],
                            .ncm = "84713012",
                            .name = std::string("Produto de volume número ") + std::to_string(p),
                            .unit = "un",
                            .icms_rate = 1800});
    }
  }
  return codes;
}

void DeleteNotes(sql::Session& s, const std::string& company) {
  s.Execute(
      "DELETE FROM NOTAFISCALITEM WHERE NRSEQNOTA IN (SELECT NRSEQNOTA FROM NOTAFISCAL WHERE CDEMPRESA = :E)",
      {{"E", company}});
  s.Execute("DELETE FROM NOTAFISCAL WHERE CDEMPRESA = :E", {{"E", company}});
}

// `documents` notes of four items each, sold in January 2026 to one party.
void AddVolumeNotes(FiscalTables& tables, const std::string& company, std::int64_t first_sequence,
                    long documents, const std::vector<std::string>& codes) {
  const std::string cnpj = CnpjFrom("556667770001");
  std::vector<Note> block;
  for (long d = 0; d < documents; ++d) {
    Note n;
    n.sequence = first_sequence + d;
    n.company = company;
    n.registration = kVolumeRegistration;
    n.direction = "S";
    n.cnpj = cnpj;
    n.ie = "115566770891";
    n.uf = "SP";
    char date[16];
    std::snprintf(date, sizeof date, "2026-01-%02ld", 1 + d % 31);
    n.date = date;
    n.model = "55";
    // The file's number field holds six digits: a new series every
    // 999,999 notes keeps each document's key its own.
    n.series = std::to_string(1 + d / 999999);
    n.number = std::to_string(1 + d % 999999);
    n.issuer = "P";
    n.situation = "N";
    n.cfop = "5102";
    n.cst = "000";
    for (int k = 0; k < 4; ++k) {
      n.items.push_back(
          {codes[static_cast<std::size_t>((d * 4 + k) % 50)].c_str(), 1000 * (1 + k), 1000 + 10 * k});
    }
    block.push_back(std::move(n));
    if (block.size() == 5000) {
      InsertNotes(tables, block);
      block.clear();
    }
  }
  InsertNotes(tables, block);
}

}  // namespace

void LoadVolumeData(sql::Session& s, long documents) {
  sql::Transaction transaction(s);
  DeleteNotes(s, "90");
  FiscalTables tables(s, 2000);
  const bool present = !s.Query("SELECT 1 FROM EMPRESA WHERE CDEMPRESA = '90'", {}).rows.empty();
  if (!present) {
    tables.Add(CompanyRow{"90", "Atacado Volume Ltda", "1"});
    AddVolumeRegistration(tables, "90");
  }
  const std::vector<std::string> codes = VolumeProducts(s, tables);
  AddVolumeNotes(tables, "90", 10000000, documents, codes);
  LoadVolumeActivity(s, tables, "90", kVolumeRegistration, documents, codes);
  transaction.Commit();
}

void LoadVolumeCompanies(sql::Session& s, int companies, long documents) {
  sql::Transaction transaction(s);
  FiscalTables tables(s, 2000);
  const std::vector<std::string> codes = VolumeProducts(s, tables);
  for (int c = 0; c < companies; ++c) {
    const std::string code = std::to_string(10 + c);
    DeleteNotes(s, code);
    if (s.Query("SELECT 1 FROM EMPRESA WHERE CDEMPRESA = :E", {{"E", code}}).rows.empty()) {
      tables.Add(CompanyRow{code, "Atacado de Lote " + code + " Ltda", "1"});
      AddVolumeRegistration(tables, code);
    }
    AddVolumeNotes(tables, code, 100000000 + static_cast<std::int64_t>(c) * 10000000, documents, codes);
  }
  tables.Flush();
  transaction.Commit();
}

}  // namespace server
