#include "server/demo/demo_retail.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "lib/layout/state_registration.h"
#include "server/demo/demo_data.h"

#include "server/demo/demo_rows.h"

namespace server {
namespace {

using Row = sql::Row;

using demo::InsertAll;
using demo::Num;

// What a coupon item sells: the product, its totaliser and its rate.
struct Sold {
  const char* product;
  const char* totaliser;  // the rate in four digits, or F for goods under substitution
  std::int64_t rate;      // hundredths of a percent
  std::int64_t price;     // cents per unit
};

const Sold kSold[] = {{"ARROZ5KG", "0700", 700, 2490},
                      {"FEIJAO1KG", "0700", 700, 899},
                      {"CAFE500G", "1800", 1800, 1790},
                      {"OLEO900ML", "1200", 1200, 749},
                      {"CERVEJA350", "F", 0, 389}};

std::int64_t Tax(std::int64_t base, std::int64_t rate) { return (base * rate + 5000) / 10000; }

// The rows the demo retailer and the volume company share the shape of.
const char* const kInsertGnre =
    "INSERT INTO GNRE (NRSEQGNRE, CDEMPRESA, CDINSCESTA, CDINSCSUBST, SGESTADOFAV, DTPAGAMENTO, CDBANCO,"
    " CDAGENCIA, NRGNRE, VRGNRE, DTVENCIMENTO, NRANOMESREF, DSCONVENIO)"
    " VALUES (:S, :E, :I, :IS, :UF, :D, :B, :A, :N, :V, :VE, :R, :C)";
const char* const kInsertInventory =
    "INSERT INTO INVENTARIO (CDEMPRESA, CDINSCESTA, DTINVENTARIO, CDPRODUTO, IDPOSSE, NRCNPJPOSS,"
    " CDINSCPOSS, SGESTADOPOSS, QTPRODUTO, VRPRODUTO) VALUES (:E, :I, :D, :P, :PO, :C, :IP, :U, :Q, :V)";
const char* const kInsertStStock =
    "INSERT INTO ESTOQUEST (CDEMPRESA, CDINSCESTA, DTESTOQUE, CDPRODUTO, QTPRODUTO, VRICMSST, "
    "VRICMSPROPRIO)"
    " VALUES (:E, :I, :D, :P, :Q, :ST, :OWN)";

// The volume's rows take keys from here on, clear of the demo's own.
constexpr std::int64_t kVolumeKeys = 10000000;

// "2026-01-DD" for a day from 1 to 31.
std::string January(long day) {
  return std::string("2026-01-") + (day < 10 ? "0" : "") + std::to_string(day);
}

// A printer's reductions Z, then their partial totals and coupon items,
// which name them.
void InsertPrinterRows(sql::Session& s, const std::vector<Row>& reductions, const std::vector<Row>& totals,
                       const std::vector<Row>& items) {
  InsertAll(
      s,
      "INSERT INTO ECFREDUCAOZ (NRSEQREDZ, CDEMPRESA, CDINSCESTA, NRSERIEECF, DTMOVIMENTO, NRCOOINICIAL,"
      " NRCOOFINAL, NRCRZ, NRCRO, VRVENDABRUTA, VRGRANDETOTAL)"
      " VALUES (:Z, :E, :I, :S, :D, :CI, :CF, :CRZ, :CRO, :VB, :GT)",
      reductions);
  InsertAll(s, "INSERT INTO ECFTOTALIZADOR (NRSEQREDZ, CDTOTALIZADOR, VRACUMULADO) VALUES (:Z, :T, :V)",
            totals);
  InsertAll(
      s,
      "INSERT INTO ECFITEM (NRSEQREDZ, NRCOO, NRITEM, CDPRODUTO, QTITEM, VRITEM, VRBASEICMS, CDTOTALIZADOR,"
      " VRICMS) VALUES (:Z, :C, :N, :P, :Q, :V, :B, :T, :ICMS)",
      items);
}

}  // namespace

std::string StateRegistrationFrom(const std::string& uf, long long from) {
  for (long long n = from;; ++n) {
    const std::string ie = std::to_string(n);
    if (layout::ValidStateRegistration(uf, ie)) return ie;
  }
}

std::string RetailRegistration() { return StateRegistrationFrom("SP", 123456789000); }
std::string QuietRegistration() { return StateRegistrationFrom("MS", 283000000); }

void LoadRetailCompanies(sql::Session& s) {
  InsertAll(
      s, "INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA, CDSITUCRT) VALUES (:C, :N, :S)",
      {{kRetailCompany, "Supermercado Bom Preço Ltda", "3"}, {kQuietCompany, "Papelaria Pantanal ME", "1"}});
  InsertAll(
      s,
      "INSERT INTO INSCRESTAD (CDEMPRESA, CDINSCESTA, NRINSJURIEST, SGESTADO, NMMUNICIPIO, NRFAX, "
      "DSLOGRADOURO, NRLOGRADOURO, DSCOMPLEMENTO, NMBAIRRO, NRCEP, NMCONTATO, NRTELEFONE)"
      " VALUES (:E, :I, :J, :U, :M, :F, :L, :N, :C, :B, :CEP, :CT, :T)",
      {{kRetailCompany, RetailRegistration(), CnpjFrom("123456780001"), "SP", "Santos", std::nullopt,
        "Avenida Ana Costa", "250", "", "Gonzaga", "11060002", "Rita de Cássia Lima", "1332840000"},
       {kQuietCompany, QuietRegistration(), CnpjFrom("234567890001"), "MS", "Campo Grande", std::nullopt,
        "Rua 14 de Julho", "800", "Sala 3", "Centro", "79002000", "Paulo Nogueira", "6733210000"}});
  InsertAll(s,
            "INSERT INTO MAPAFISCAL (CDEMPRESA, CDINSCESTA, NRANOMES, IDBLOQUEADO) VALUES (:E, :I, :P, :B)",
            {{kRetailCompany, RetailRegistration(), "202601", "S"},
             {kQuietCompany, QuietRegistration(), "202601", "S"}});
}

void LoadRetailActivity(sql::Session& s) {
  const std::string emp = kRetailCompany, ie = RetailRegistration();

  // Two printers, three days of January: each day a reduction Z per printer
  // with three coupons of two items; its partial totals are the sums of the
  // items by totaliser.
  InsertAll(s,
            "INSERT INTO ECF (CDEMPRESA, CDINSCESTA, NRSERIEECF, NRORDEMECF, CDMODELODOC) VALUES (:E, :I, "
            ":S, :O, :M)",
            {{emp, ie, "BR0123456789000001", "1", "2D"}, {emp, ie, "BR0123456789000002", "2", "2D"}});
  std::vector<Row> reductions, totals, items;
  std::int64_t sequence = 1;
  std::int64_t coo[2] = {1000, 5000};
  std::int64_t grand_total[2] = {15000000, 32000000};
  for (const int day : {2, 3, 5}) {
    for (int printer = 0; printer < 2; ++printer) {
      std::map<std::string, std::int64_t> by_totaliser;
      std::int64_t gross = 0;
      const std::int64_t first = coo[printer] + 1;
      for (int coupon = 0; coupon < 3; ++coupon) {
        const std::int64_t number = ++coo[printer];
        for (int item = 1; item <= 2; ++item) {
          const Sold& sold = kSold[(day + printer * 2 + coupon + item) % 5];
          const std::int64_t quantity = 1000 * (1 + (coupon + item + printer) % 3);
          const std::int64_t value = sold.price * quantity / 1000;
          const std::int64_t base = sold.rate ? value : 0;
          items.push_back({Num(sequence), Num(number), Num(item), sold.product, Num(quantity), Num(value),
                           Num(base), sold.totaliser, Num(Tax(base, sold.rate))});
          by_totaliser[sold.totaliser] += value;
          gross += value;
        }
      }
      grand_total[printer] += gross;
      char date[16];
      std::snprintf(date, sizeof date, "2026-01-%02d", day);
      reductions.push_back({Num(sequence), emp, ie, printer ? "BR0123456789000002" : "BR0123456789000001",
                            date, Num(first), Num(coo[printer]), Num(100 + day), "1", Num(gross),
                            Num(grand_total[printer])});
      for (const auto& [code, amount] : by_totaliser) totals.push_back({Num(sequence), code, Num(amount)});
      ++sequence;
    }
  }
  InsertPrinterRows(s, reductions, totals, items);

  // Consumer notes (model 02, series D, subseries 1) on two days, each of
  // one rate; the note's totals are the sums of its items.
  std::vector<Row> notes, note_items;
  std::int64_t note = 300;
  for (const int day : {8, 9}) {
    for (int k = 0; k < 3; ++k) {
      const std::int64_t seq = note - 299;
      const Sold& first_sold = kSold[(day + k) % 4];
      std::int64_t total = 0;
      for (int item = 1; item <= 2; ++item) {
        const Sold& sold = item == 1 ? first_sold : kSold[(day + k + 2) % 4];
        // One rate per note: the second item is of the first item's rate.
        const Sold& same_rate = sold.rate == first_sold.rate ? sold : first_sold;
        const std::int64_t quantity = 1000 * item;
        const std::int64_t value = same_rate.price * quantity / 1000;
        note_items.push_back({Num(seq), Num(item), same_rate.product, Num(quantity), Num(value), Num(value)});
        total += value;
      }
      char date[16];
      std::snprintf(date, sizeof date, "2026-01-%02d", day);
      notes.push_back({Num(seq), emp, ie, date, "02", "D", "1", Num(++note - 1), Num(first_sold.rate),
                       Num(total), Num(total), Num(Tax(total, first_sold.rate)), "0", "0"});
    }
  }
  InsertAll(
      s,
      "INSERT INTO NOTACONSUMIDOR (NRSEQNC, CDEMPRESA, CDINSCESTA, DTEMISSAO, CDMODELO, CDSERIE, CDSUBSERIE,"
      " NRNOTA, VRALIQICMS, VRTOTAL, VRBASEICMS, VRICMS, VRISENTAS, VROUTRAS)"
      " VALUES (:S, :E, :I, :D, :M, :SE, :SS, :N, :A, :T, :B, :ICMS, :ISE, :OUT)",
      notes);
  InsertAll(s,
            "INSERT INTO NOTACONSUMIDORITEM (NRSEQNC, NRITEM, CDPRODUTO, QTITEM, VRPRODUTO, VRBASEICMS)"
            " VALUES (:S, :N, :P, :Q, :V, :B)",
            note_items);

  // Freight bought from a carrier of the state (CT-e, FOB) for two purchases.
  const std::string carrier = CnpjFrom("556667770001");
  InsertAll(
      s,
      "INSERT INTO CONHECIMENTO (NRSEQCONHEC, CDEMPRESA, CDINSCESTA, CDLIVROMAG, IDENTSAI, NRCNPJPART,"
      " CDINSCPART, SGESTADOPART, DTDOCUMENTO, CDMODELO, CDSERIE, CDSUBSERIE, NRCONHEC, CDCFOP, VRTOTAL,"
      " VRBASEICMS, VRICMS, VRISENTAS, VROUTRAS, IDFRETE, IDSITUACAO)"
      " VALUES (:S, :E, :I, :L, :ES, :C, :IP, :U, :D, :M, :SE, :SS, :N, :CF, :T, :B, :ICMS, :ISE, :OUT, :F,"
      " :SIT)",
      {{"1",     emp,          ie,     "0000000001", "E", carrier, "115566770891",
        "SP",    "2026-01-06", "57",   "1",          "",  "4521",  "1353",
        "48000", "48000",      "5760", "0",          "0", "2",     "N"},
       {"2",     emp,          ie,     "0000000001", "E", carrier, "115566770891",
        "SP",    "2026-01-20", "57",   "1",          "",  "4608",  "1353",
        "35500", "35500",      "4260", "0",          "0", "2",     "N"}});

  // ICMS withheld as substitute on a sale to Rio de Janeiro, paid by GNRE.
  InsertAll(s, kInsertGnre,
            {{"1", emp, ie, StateRegistrationFrom("RJ", 77100000), "RJ", "2026-01-09", "001", "1234",
              "0026010900012345", "12873", "2026-01-09", "202601", "Protocolo ICMS 11/91"}});

  // The inventory of 31 December 2025: own goods in store, and goods of the
  // retailer held in a third party's warehouse.
  InsertAll(s, kInsertInventory,
            {{emp, ie, "2025-12-31", "ARROZ5KG", "1", "", "", "SP", "120000", "210000"},
             {emp, ie, "2025-12-31", "CAFE500G", "1", "", "", "SP", "80000", "104000"},
             {emp, ie, "2025-12-31", "CAFE500G", "2", CnpjFrom("889990000001"), "9012345663", "PR", "200000",
              "260000"},
             {emp, ie, "2025-12-31", "CERVEJA350", "1", "", "", "SP", "480000", "124800"}});

  // The beer under tax substitution in that stock, with the ICMS withheld on
  // it by the supplier and the ICMS of the retailer's own purchase.
  InsertAll(s, kInsertStStock, {{emp, ie, "2025-12-31", "CERVEJA350", "480000", "11232", "22464"}});
}

void LoadVolumeActivity(sql::Session& s, const std::string& emp, const std::string& ie, long documents,
                        const std::vector<std::string>& codes) {
  const std::vector<sql::Param> own{{"E", emp}, {"I", ie}};
  for (const char* table : {"ECFITEM", "ECFTOTALIZADOR"}) {
    s.Execute(std::string("DELETE FROM ") + table +
                  " WHERE NRSEQREDZ IN (SELECT NRSEQREDZ FROM ECFREDUCAOZ WHERE CDEMPRESA = :E AND "
                  "CDINSCESTA = :I)",
              own);
  }
  s.Execute(
      "DELETE FROM NOTACONSUMIDORITEM WHERE NRSEQNC IN (SELECT NRSEQNC FROM NOTACONSUMIDOR WHERE CDEMPRESA = "
      ":E"
      " AND CDINSCESTA = :I)",
      own);
  for (const char* table :
       {"ECFREDUCAOZ", "ECF", "NOTACONSUMIDOR", "CONHECIMENTO", "INVENTARIO", "GNRE", "ESTOQUEST"})
    s.Execute(std::string("DELETE FROM ") + table + " WHERE CDEMPRESA = :E AND CDINSCESTA = :I", own);

  // Four printers; a reduction Z for every fifty notes, spread over the
  // month, each of eight coupons of two items under two totalisers.
  constexpr int kPrinters = 4;
  std::vector<Row> printers;
  for (int p = 1; p <= kPrinters; ++p) printers.push_back({emp, ie, "VOL" + Num(100000 + p), Num(p), "2D"});
  InsertAll(s,
            "INSERT INTO ECF (CDEMPRESA, CDINSCESTA, NRSERIEECF, NRORDEMECF, CDMODELODOC) VALUES (:E, :I, "
            ":S, :O, :M)",
            printers);
  // Reductions before their totals and items, which name them.
  std::vector<Row> reductions, totals, items;
  const long count = std::max(1L, documents / 50);
  std::int64_t coo[kPrinters] = {}, crz[kPrinters] = {}, grand_total[kPrinters] = {};
  for (long z = 0; z < count; ++z) {
    // Days in order, the printers of each day in turn.
    const long day = 1 + z * 31 / count;
    const int printer = static_cast<int>(z % kPrinters);
    std::int64_t taxed = 0, substituted = 0;
    const std::int64_t first = coo[printer] + 1;
    for (int coupon = 0; coupon < 8; ++coupon) {
      const std::int64_t number = ++coo[printer];
      for (int item = 1; item <= 2; ++item) {
        const std::string& product =
            codes[static_cast<std::size_t>((z * 16 + coupon * 2 + item) % codes.size())];
        const std::int64_t value = 500 + 10 * item + coupon;
        const bool st = item == 2;
        items.push_back({Num(kVolumeKeys + z), Num(number), Num(item), product, "1000", Num(value),
                         Num(st ? 0 : value), st ? "F" : "1800",
                         Num(st ? 0 : (value * 1800 + 5000) / 10000)});
        (st ? substituted : taxed) += value;
      }
    }
    grand_total[printer] += taxed + substituted;
    const std::string date = January(day);
    reductions.push_back({Num(kVolumeKeys + z), emp, ie, "VOL" + Num(100001 + printer), date, Num(first),
                          Num(coo[printer]), Num(++crz[printer]), "1", Num(taxed + substituted),
                          Num(grand_total[printer])});
    totals.push_back({Num(kVolumeKeys + z), "1800", Num(taxed)});
    totals.push_back({Num(kVolumeKeys + z), "F", Num(substituted)});
  }
  InsertPrinterRows(s, reductions, totals, items);

  // Consumer notes of one item, one for every twenty notes.
  auto notes = s.PrepareBatch(
      "INSERT INTO NOTACONSUMIDOR (NRSEQNC, CDEMPRESA, CDINSCESTA, DTEMISSAO, CDMODELO, CDSERIE, CDSUBSERIE,"
      " NRNOTA, VRALIQICMS, VRTOTAL, VRBASEICMS, VRICMS, VRISENTAS, VROUTRAS)"
      " VALUES (:S, :E, :I, :D, '02', 'D', '', :N, 1800, :T, :T, :ICMS, 0, 0)");
  auto note_items = s.PrepareBatch(
      "INSERT INTO NOTACONSUMIDORITEM (NRSEQNC, NRITEM, CDPRODUTO, QTITEM, VRPRODUTO, VRBASEICMS)"
      " VALUES (:S, 1, :P, 1000, :V, :V)");
  for (long n = 0; n < documents / 20; ++n) {
    const std::string date = January(1 + n * 31 / std::max(1L, documents / 20));
    const std::int64_t value = 1000 + n % 100;
    notes->Add(
        {Num(kVolumeKeys + n), emp, ie, date, Num(n + 1), Num(value), Num((value * 1800 + 5000) / 10000)});
    note_items->Add({Num(kVolumeKeys + n),
                     codes[static_cast<std::size_t>(n % static_cast<long>(codes.size()))], Num(value)});
  }
  notes->Flush();
  note_items->Flush();

  // Freight bills of a carrier of the state, one for every hundred notes.
  auto freight = s.PrepareBatch(
      "INSERT INTO CONHECIMENTO (NRSEQCONHEC, CDEMPRESA, CDINSCESTA, CDLIVROMAG, IDENTSAI, NRCNPJPART, "
      "CDINSCPART,"
      " SGESTADOPART, DTDOCUMENTO, CDMODELO, CDSERIE, CDSUBSERIE, NRCONHEC, CDCFOP, VRTOTAL, VRBASEICMS, "
      "VRICMS,"
      " VRISENTAS, VROUTRAS, IDFRETE, IDSITUACAO) VALUES (:S, :E, :I, NULL, 'E', :C, '115566770891', 'SP', "
      ":D,"
      " '57', '1', '', :N, '1353', 20000, 20000, 2400, 0, 0, '2', 'N')");
  const std::string carrier = CnpjFrom("556667770001");
  for (long n = 0; n < documents / 100; ++n) {
    const std::string date = January(1 + n * 31 / std::max(1L, documents / 100));
    freight->Add({Num(kVolumeKeys + n), emp, ie, carrier, date, Num(n + 1)});
  }
  freight->Flush();

  // A GNRE for every thousand notes, paid to Rio de Janeiro.
  std::vector<Row> gnre;
  const std::string rj = StateRegistrationFrom("RJ", 77100000);
  for (long n = 0; n < std::max(1L, documents / 1000); ++n) {
    gnre.push_back({Num(kVolumeKeys + n), emp, ie, rj, "RJ", January(1 + n % 31), "001", "1234",
                    "VOL" + Num(kVolumeKeys + n), Num(10000 + n), January(1 + n % 31), "202601",
                    "Protocolo ICMS 11/91"});
  }
  InsertAll(s, kInsertGnre, gnre);

  // The inventory: every product, in store, and the stock under tax
  // substitution of every tenth.
  std::vector<Row> inventory;
  for (const std::string& code : codes)
    inventory.push_back({emp, ie, "2025-12-31", code, "1", "", "", "SP", "100000", "120000"});
  InsertAll(s, kInsertInventory, inventory);
  std::vector<Row> stock;
  for (std::size_t p = 0; p < codes.size(); p += 10)
    stock.push_back({emp, ie, "2025-12-31", codes[p], "100000", "2160", "4320"});
  InsertAll(s, kInsertStStock, stock);
}

}  // namespace server
