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

// The volume's rows take keys from here on, clear of the demo's own.
constexpr std::int64_t kVolumeKeys = 10000000;

// "2026-01-DD" for a day from 1 to 31.
std::string January(long day) {
  return std::string("2026-01-") + (day < 10 ? "0" : "") + std::to_string(day);
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

void LoadRetailCompanies(FiscalTables& tables) {
  tables.Add(CompanyRow{kRetailCompany, "Supermercado Bom Preço Ltda", "3"});
  tables.Add(CompanyRow{kQuietCompany, "Papelaria Pantanal ME", "1"});
  tables.Add(RegistrationRow{kRetailCompany, RetailRegistration(), CnpjFrom("123456780001"), "SP", "Santos",
                             std::nullopt, "Avenida Ana Costa", "250", "", "Gonzaga", "11060002",
                             "Rita de Cássia Lima", "1332840000"});
  tables.Add(RegistrationRow{kQuietCompany, QuietRegistration(), CnpjFrom("234567890001"), "MS",
                             "Campo Grande", std::nullopt, "Rua 14 de Julho", "800", "Sala 3", "Centro",
                             "79002000", "Paulo Nogueira", "6733210000"});
  tables.Add(FiscalMapRow{kRetailCompany, RetailRegistration(), "202601", "S"});
  tables.Add(FiscalMapRow{kQuietCompany, QuietRegistration(), "202601", "S"});
}

void LoadRetailActivity(FiscalTables& tables) {
  // Its few hundred rows then go in one block, coupon items and note items
  // with the reductions and notes they name.
  tables.Flush();
  const std::string emp = kRetailCompany, ie = RetailRegistration();

  // Two printers, three days of January: each day a reduction Z per printer
  // with three coupons of two items; its partial totals are the sums of the
  // items by totaliser.
  tables.Add(PrinterRow{emp, ie, "BR0123456789000001", 1, "2D"});
  tables.Add(PrinterRow{emp, ie, "BR0123456789000002", 2, "2D"});
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
          tables.Add(PrinterItemRow{sequence, number, item, sold.product, quantity, value, base,
                                    sold.totaliser, Tax(base, sold.rate)});
          by_totaliser[sold.totaliser] += value;
          gross += value;
        }
      }
      grand_total[printer] += gross;
      char date[16];
      std::snprintf(date, sizeof date, "2026-01-%02d", day);
      tables.Add(PrinterDayRow{.sequence = sequence,
                               .company = emp,
                               .registration = ie,
                               .serial = printer ? "BR0123456789000002" : "BR0123456789000001",
                               .date = date,
                               .first_coo = first,
                               .last_coo = coo[printer],
                               .crz = 100 + day,
                               .cro = 1,
                               .gross = gross,
                               .grand_total = grand_total[printer]});
      for (const auto& [code, amount] : by_totaliser) tables.Add(PrinterTotalRow{sequence, code, amount});
      ++sequence;
    }
  }

  // Consumer notes (model 02, series D, subseries 1) on two days, each of
  // one rate; the note's totals are the sums of its items.
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
        tables.Add(ConsumerNoteItemRow{seq, item, same_rate.product, quantity, value, value});
        total += value;
      }
      char date[16];
      std::snprintf(date, sizeof date, "2026-01-%02d", day);
      tables.Add(ConsumerNoteRow{.sequence = seq,
                                 .company = emp,
                                 .registration = ie,
                                 .date = date,
                                 .model = "02",
                                 .series = "D",
                                 .subseries = "1",
                                 .number = Num(++note - 1),
                                 .rate = first_sold.rate,
                                 .total = total,
                                 .icms_base = total,
                                 .icms = Tax(total, first_sold.rate)});
    }
  }

  // Freight bought from a carrier of the state (CT-e, FOB) for two purchases.
  const std::string carrier = CnpjFrom("556667770001");
  for (const auto& [bill, date, number, total, icms] :
       {std::tuple{1, "2026-01-06", "4521", 48000, 5760}, std::tuple{2, "2026-01-20", "4608", 35500, 4260}}) {
    tables.Add(TransportDocumentRow{.sequence = bill,
                                    .company = emp,
                                    .registration = ie,
                                    .book = "0000000001",
                                    .direction = "E",
                                    .party_cnpj = carrier,
                                    .party_ie = "115566770891",
                                    .party_uf = "SP",
                                    .date = date,
                                    .model = "57",
                                    .series = "1",
                                    .number = number,
                                    .cfop = "1353",
                                    .total = total,
                                    .icms_base = total,
                                    .icms = icms,
                                    .freight = "2",
                                    .situation = "N"});
  }

  // ICMS withheld as substitute on a sale to Rio de Janeiro, paid by GNRE.
  tables.Add(GnreRow{1, emp, ie, StateRegistrationFrom("RJ", 77100000), "RJ", "2026-01-09", "001", "1234",
                     "0026010900012345", 12873, "2026-01-09", "202601", "Protocolo ICMS 11/91"});

  // The inventory of 31 December 2025: own goods in store, and goods of the
  // retailer held in a third party's warehouse.
  tables.Add(InventoryRow{emp, ie, "2025-12-31", "ARROZ5KG", "1", "", "", "SP", 120000, 210000});
  tables.Add(InventoryRow{emp, ie, "2025-12-31", "CAFE500G", "1", "", "", "SP", 80000, 104000});
  tables.Add(InventoryRow{emp, ie, "2025-12-31", "CAFE500G", "2", CnpjFrom("889990000001"), "9012345663",
                          "PR", 200000, 260000});
  tables.Add(InventoryRow{emp, ie, "2025-12-31", "CERVEJA350", "1", "", "", "SP", 480000, 124800});

  // The beer under tax substitution in that stock, with the ICMS withheld on
  // it by the supplier and the ICMS of the retailer's own purchase.
  tables.Add(StStockRow{emp, ie, "2025-12-31", "CERVEJA350", 480000, 11232, 22464});
}

void LoadVolumeActivity(sql::Session& s, FiscalTables& tables, const std::string& emp, const std::string& ie,
                        long documents, const std::vector<std::string>& codes) {
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
  for (int p = 1; p <= kPrinters; ++p) tables.Add(PrinterRow{emp, ie, "VOL" + Num(100000 + p), p, "2D"});
  const long count = std::max(1L, documents / 50);
  std::int64_t coo[kPrinters] = {}, crz[kPrinters] = {}, grand_total[kPrinters] = {};
  std::vector<PrinterItemRow> day_items;
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
        day_items.push_back(PrinterItemRow{kVolumeKeys + z, number, item, product, 1000, value,
                                           st ? 0 : value, st ? "F" : "1800",
                                           st ? 0 : (value * 1800 + 5000) / 10000});
        (st ? substituted : taxed) += value;
      }
    }
    grand_total[printer] += taxed + substituted;
    const std::string date = January(day);
    tables.Add(PrinterDayRow{.sequence = kVolumeKeys + z,
                             .company = emp,
                             .registration = ie,
                             .serial = "VOL" + Num(100001 + printer),
                             .date = date,
                             .first_coo = first,
                             .last_coo = coo[printer],
                             .crz = ++crz[printer],
                             .cro = 1,
                             .gross = taxed + substituted,
                             .grand_total = grand_total[printer]});
    tables.Add(PrinterTotalRow{kVolumeKeys + z, "1800", taxed});
    tables.Add(PrinterTotalRow{kVolumeKeys + z, "F", substituted});
    // The items after their reduction: rows are sent in blocks, and a block
    // may end between the two.
    for (const PrinterItemRow& row : day_items) tables.Add(row);
    day_items.clear();
  }

  // Consumer notes of one item, one for every twenty notes.
  for (long n = 0; n < documents / 20; ++n) {
    const std::string date = January(1 + n * 31 / std::max(1L, documents / 20));
    const std::int64_t value = 1000 + n % 100;
    tables.Add(ConsumerNoteRow{.sequence = kVolumeKeys + n,
                               .company = emp,
                               .registration = ie,
                               .date = date,
                               .model = "02",
                               .series = "D",
                               .number = Num(n + 1),
                               .rate = 1800,
                               .total = value,
                               .icms_base = value,
                               .icms = (value * 1800 + 5000) / 10000});
    tables.Add(ConsumerNoteItemRow{kVolumeKeys + n, 1,
                                   codes[static_cast<std::size_t>(n % static_cast<long>(codes.size()))], 1000,
                                   value, value});
  }

  // Freight bills of a carrier of the state, one for every hundred notes.
  const std::string carrier = CnpjFrom("556667770001");
  for (long n = 0; n < documents / 100; ++n) {
    const std::string date = January(1 + n * 31 / std::max(1L, documents / 100));
    tables.Add(TransportDocumentRow{.sequence = kVolumeKeys + n,
                                    .company = emp,
                                    .registration = ie,
                                    .direction = "E",
                                    .party_cnpj = carrier,
                                    .party_ie = "115566770891",
                                    .party_uf = "SP",
                                    .date = date,
                                    .model = "57",
                                    .series = "1",
                                    .number = Num(n + 1),
                                    .cfop = "1353",
                                    .total = 20000,
                                    .icms_base = 20000,
                                    .icms = 2400,
                                    .freight = "2",
                                    .situation = "N"});
  }

  // A GNRE for every thousand notes, paid to Rio de Janeiro.
  const std::string rj = StateRegistrationFrom("RJ", 77100000);
  for (long n = 0; n < std::max(1L, documents / 1000); ++n) {
    tables.Add(GnreRow{kVolumeKeys + n, emp, ie, rj, "RJ", January(1 + n % 31), "001", "1234",
                       "VOL" + Num(kVolumeKeys + n), 10000 + n, January(1 + n % 31), "202601",
                       "Protocolo ICMS 11/91"});
  }

  // The inventory: every product, in store, and the stock under tax
  // substitution of every tenth.
  for (const std::string& code : codes)
    tables.Add(InventoryRow{emp, ie, "2025-12-31", code, "1", "", "", "SP", 100000, 120000});
  for (std::size_t p = 0; p < codes.size(); p += 10)
    tables.Add(StStockRow{emp, ie, "2025-12-31", codes[p], 100000, 2160, 4320});
  tables.Flush();
}

}  // namespace server
