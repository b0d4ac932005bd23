#pragma once
// One function per register type: each takes the values of one line and gives
// the 126 bytes of it. Money is in cents, quantities in thousandths, rates in
// hundredths of a percent, dates as "AAAA-MM-DD".
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "server/field_format.h"

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

class RegisterLines {
 public:
  explicit RegisterLines(TextEncoding encoding) : encoding_(encoding) {}

  std::string R10(const Informant& informant, const FileHeader& header) const;
  std::string R11(const Informant& informant) const;
  std::string R50(const DocumentHead& doc, const Reg50Values& v) const;
  std::string R51(const DocumentHead& doc, const Reg51Values& v) const;
  std::string R53(const DocumentHead& doc, const Reg53Values& v) const;
  std::string R54(const DocumentHead& doc, const Reg54Values& v) const;
  std::string R75(const std::string& first_day, const std::string& last_day, const Product& p) const;
  // The totals of the file: counts by type (ascending, without 10, 11 and 90)
  // and the number of every other line; as many 90 lines as the pairs need.
  std::vector<std::string> R90(const Informant& informant,
                               const std::vector<std::pair<std::string, long>>& counts,
                               long lines_before_90) const;

 private:
  std::string X(const std::string& text, std::size_t width) const {
    return server::X(text, width, encoding_);
  }
  std::string Ie(const std::string& ie) const;
  TextEncoding encoding_;
};

}  // namespace server
