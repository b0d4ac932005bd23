#pragma once
// One function per register type: each takes the values of one line and gives
// the 126 bytes of it, field by field in the order and widths of the register
// table (lib/layout/register_fields.h). Money is in cents, quantities in thousandths, rates in
// hundredths of a percent, dates as "AAAA-MM-DD".
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "server/build/field_format.h"

namespace server {

inline constexpr std::size_t kLineWidth = 126;

struct Informant {  // the reporting establishment
  std::string cnpj{}, ie{}, name{}, city{}, uf{}, fax{};
  std::string street{}, number{}, complement{}, district{}, zip{}, contact{}, phone{};
};

struct FileHeader {
  std::string first_day{}, last_day{};  // the period
  char version = '3';                   // convention version, 1..3
  char nature = '3';                    // nature of the operations, 1..3
  char purpose = '1';                   // 1, 2, 3 or 5
};

// The other party and the identity of a fiscal document.
struct DocumentHead {
  std::string cnpj{}, ie{}, date{}, uf{}, model{}, series{}, number{};
  char issuer = 'P';     // P own, T third party
  char situation = 'N';  // N, S, E, X, 2, 4
  char direction = 'S';  // E entry, S exit, as the informant sees it
};

struct Reg50Values {
  std::string cfop{};
  std::int64_t total = 0, icms_base = 0, icms = 0, exempt = 0, other = 0, rate = 0;
};
struct Reg51Values {
  std::string cfop{};
  std::int64_t total = 0, ipi = 0, ipi_exempt = 0, ipi_other = 0;
};
struct Reg53Values {
  std::string cfop{};
  std::int64_t st_base = 0, st_icms = 0, expenses = 0;
  std::string anticipation{};  // "1".."6" or empty
};
struct Reg54Values {
  std::string cfop{}, cst{}, item{}, product{};
  std::int64_t quantity = 0, amount = 0, discount = 0, icms_base = 0, st_base = 0, ipi = 0, rate = 0;
};
struct Product {
  std::string code{}, ncm{}, description{}, unit{};
  std::int64_t ipi_rate = 0, icms_rate = 0, base_reduction = 0, st_base = 0;
};

// A GNRE paid by the informant as substitute.
struct Reg55Values {
  std::string substitute_ie{}, payment_date{}, favoured_uf{}, bank{}, agency{}, number{}, due_date{};
  std::string reference{};  // "AAAAMM"
  std::string agreement{};
  std::int64_t amount = 0;
};
// A fiscal printer's day: its reduction Z.
struct EcfDay {
  std::string date{}, serial{}, model{};
  std::int64_t order = 0, first_coo = 0, last_coo = 0, crz = 0, cro = 0, gross = 0, grand_total = 0;
};
// What a printer sold of a product: in a coupon (60I), a day (60D) or a
// month (60R), under one totaliser ("1700", "F", "I", "N", ...).
struct EcfSale {
  std::string product{}, totaliser{};
  std::int64_t quantity = 0, value = 0, icms_base = 0, icms = 0;
};
// A day's consumer notes of one model, series, subseries and rate.
struct Reg61Values {
  std::string date{}, model{}, series{}, subseries{};
  std::int64_t first = 0, last = 0, total = 0, icms_base = 0, icms = 0, exempt = 0, other = 0, rate = 0;
};
struct Reg61RValues {
  std::string month{}, product{};  // month "AAAA-MM"
  std::int64_t quantity = 0, value = 0, icms_base = 0, rate = 0;
};
struct Reg70Values {
  std::string subseries{}, cfop{};
  std::int64_t total = 0, icms_base = 0, icms = 0, exempt = 0, other = 0;
  char freight = '0';  // 1 CIF, 2 FOB, 0 other
};
struct Reg74Values {
  std::string date{}, product{};
  std::int64_t quantity = 0, value = 0;
  char possession = '1';  // 1 own goods held, 2 own goods held by others, 3 others' goods held
  std::string cnpj{}, ie{}, uf{};
};

// A product's stock under tax substitution: the ICMS withheld on it and the
// ICMS of the informant's own operations.
struct StStock {
  std::string date{}, product{};
  std::int64_t quantity = 0, st_icms = 0, own_icms = 0;
};

class RegisterLines {
 public:
  explicit RegisterLines(TextEncoding encoding) : encoding_(encoding) {}

  std::string R10(const Informant& informant, const FileHeader& header) const;
  std::string R11(const Informant& informant) const;
  std::string R50(const DocumentHead& doc, const Reg50Values& v) const;
  std::string R51(const DocumentHead& doc, const Reg51Values& v) const;
  std::string R53(const DocumentHead& doc, const Reg53Values& v) const;
  std::string R54(const DocumentHead& doc, const Reg54Values& v) const;
  std::string R55(const Informant& informant, const Reg55Values& v) const;
  std::string R60M(const EcfDay& day) const;
  std::string R60A(const EcfDay& day, const std::string& totaliser, std::int64_t amount) const;
  std::string R60D(const EcfDay& day, const EcfSale& sale) const;
  std::string R60I(const EcfDay& day, std::int64_t coo, std::int64_t item, const EcfSale& sale) const;
  std::string R60R(const std::string& month, const EcfSale& sale) const;
  std::string R61(const Reg61Values& v) const;
  std::string R61R(const Reg61RValues& v) const;
  std::string R70(const DocumentHead& doc, const Reg70Values& v) const;
  std::string R74(const Reg74Values& v) const;
  std::string R75(const std::string& first_day, const std::string& last_day, const Product& p) const;
  // A month without entries ("SME") or without exits ("SMS").
  std::string R88WithoutMovement(const Informant& informant, bool entries) const;
  // The stock of a product under tax substitution on a day ("STES").
  std::string R88Stock(const Informant& informant, const StStock& stock) const;
  // The totals of the file: counts by type (ascending, without 10, 11 and 90)
  // and the number of every other line; as many 90 lines as the pairs need.
  std::vector<std::string> R90(const Informant& informant,
                               const std::vector<std::pair<std::string, long>>& counts,
                               long lines_before_90) const;

 private:
  TextEncoding encoding_;
};

}  // namespace server
