#include "lib/layout/layout_check.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

namespace layout {
namespace {

constexpr std::size_t kWidth = 126;

enum class F { N, X, Date };
struct Field {
  std::size_t start;  // 1-based
  std::size_t width;
  F format;
  const char* name;
};

// The fields of the registers whose layout is checked field by field.
const std::map<std::string, std::vector<Field>>& Layouts() {
  static const std::map<std::string, std::vector<Field>> layouts = {
      {"10",
       {{3, 14, F::N, "CNPJ"},
        {17, 14, F::X, "IE"},
        {31, 35, F::X, "name"},
        {66, 30, F::X, "city"},
        {96, 2, F::X, "UF"},
        {98, 10, F::N, "fax"},
        {108, 8, F::Date, "first day"},
        {116, 8, F::Date, "last day"},
        {124, 1, F::X, "version"},
        {125, 1, F::X, "nature"},
        {126, 1, F::X, "purpose"}}},
      {"11",
       {{3, 34, F::X, "street"},
        {37, 5, F::N, "number"},
        {42, 22, F::X, "complement"},
        {64, 15, F::X, "district"},
        {79, 8, F::N, "CEP"},
        {87, 28, F::X, "contact"},
        {115, 12, F::N, "phone"}}},
      {"50",
       {{3, 14, F::N, "CNPJ"},
        {17, 14, F::X, "IE"},
        {31, 8, F::Date, "date"},
        {39, 2, F::X, "UF"},
        {41, 2, F::N, "model"},
        {43, 3, F::X, "series"},
        {46, 6, F::N, "number"},
        {52, 4, F::N, "CFOP"},
        {56, 1, F::X, "issuer"},
        {57, 13, F::N, "total"},
        {70, 13, F::N, "ICMS base"},
        {83, 13, F::N, "ICMS"},
        {96, 13, F::N, "exempt"},
        {109, 13, F::N, "other"},
        {122, 4, F::N, "rate"},
        {126, 1, F::X, "situation"}}},
      {"51",
       {{3, 14, F::N, "CNPJ"},
        {17, 14, F::X, "IE"},
        {31, 8, F::Date, "date"},
        {39, 2, F::X, "UF"},
        {41, 3, F::X, "series"},
        {44, 6, F::N, "number"},
        {50, 4, F::N, "CFOP"},
        {54, 13, F::N, "total"},
        {67, 13, F::N, "IPI"},
        {80, 13, F::N, "IPI exempt"},
        {93, 13, F::N, "IPI other"},
        {106, 20, F::X, "blanks"},
        {126, 1, F::X, "situation"}}},
      {"53",
       {{3, 14, F::N, "CNPJ"},
        {17, 14, F::X, "IE"},
        {31, 8, F::Date, "date"},
        {39, 2, F::X, "UF"},
        {41, 2, F::N, "model"},
        {43, 3, F::X, "series"},
        {46, 6, F::N, "number"},
        {52, 4, F::N, "CFOP"},
        {56, 1, F::X, "issuer"},
        {57, 13, F::N, "ST base"},
        {70, 13, F::N, "ICMS retained"},
        {83, 13, F::N, "expenses"},
        {96, 1, F::X, "situation"},
        {97, 1, F::X, "anticipation"},
        {98, 29, F::X, "blanks"}}},
      {"54",
       {{3, 14, F::N, "CNPJ"},
        {17, 2, F::N, "model"},
        {19, 3, F::X, "series"},
        {22, 6, F::N, "number"},
        {28, 4, F::N, "CFOP"},
        {32, 3, F::X, "CST"},
        {35, 3, F::N, "item"},
        {38, 14, F::X, "product"},
        {52, 11, F::N, "quantity"},
        {63, 12, F::N, "amount"},
        {75, 12, F::N, "discount"},
        {87, 12, F::N, "ICMS base"},
        {99, 12, F::N, "ST base"},
        {111, 12, F::N, "IPI"},
        {123, 4, F::N, "rate"}}},
      {"75",
       {{3, 8, F::Date, "first day"},
        {11, 8, F::Date, "last day"},
        {19, 14, F::X, "product"},
        {33, 8, F::X, "NCM"},
        {41, 53, F::X, "description"},
        {94, 6, F::X, "unit"},
        {100, 5, F::N, "IPI rate"},
        {105, 4, F::N, "ICMS rate"},
        {109, 5, F::N, "base reduction"},
        {114, 13, F::N, "ST base"}}},
      {"90", {{3, 14, F::N, "CNPJ"}, {17, 14, F::X, "IE"}, {126, 1, F::N, "number of 90 lines"}}},
  };
  return layouts;
}

const std::set<std::string> kKnownTypes = {"10", "11", "50", "51", "53", "54", "55", "56", "57", "60", "61",
                                           "70", "71", "74", "75", "76", "77", "85", "86", "88", "90"};

bool Digits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool ValidDate(const std::string& d) {
  if (!Digits(d) || d.size() != 8) return false;
  const int y = std::stoi(d.substr(0, 4)), m = std::stoi(d.substr(4, 2)), day = std::stoi(d.substr(6, 2));
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1 || m < 1 || m > 12 || day < 1) return false;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return day <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

bool ValidCnpj(const std::string& c) {
  if (c.size() != 14 || !Digits(c) || c == std::string(14, '0')) return false;
  static const int kWeights[] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
  for (int round = 0; round < 2; ++round) {
    const std::size_t n = 12 + static_cast<std::size_t>(round);
    int sum = 0;
    for (std::size_t i = 0; i < n; ++i)
      sum += (c[i] - '0') * kWeights[i + 1 - static_cast<std::size_t>(round)];
    const int digit = 11 - sum % 11;
    if (c[n] - '0' != (digit >= 10 ? 0 : digit)) return false;
  }
  return true;
}

class Checker {
 public:
  void Line(long number, const std::string& raw, bool had_cr, bool had_lf) {
    if (!had_lf)
      Add(number, "the line does not end with CR LF");
    else if (!had_cr)
      Add(number, "the line ends with LF alone, not CR LF");
    if (raw.size() != kWidth) {
      Add(number, "the line has " + std::to_string(raw.size()) + " positions, not 126");
      if (raw.size() < 2) return;
    }
    const std::string type = raw.substr(0, 2);
    if (!kKnownTypes.count(type)) {
      Add(number, "unknown register type '" + type + "'");
      return;
    }
    Order(number, type, raw);
    if (raw.size() != kWidth) return;
    Fields(number, type, raw);
    Content(number, type, raw);
  }

  Report Finish(long lines) {
    if (lines == 0) Add(0, "the file is empty");
    if (lines > 0 && !seen_10_) Add(0, "the file has no register 10");
    if (lines > 0 && ninety_.empty()) Add(0, "the file has no register 90");
    for (const auto& [line, code] : products_used_) {
      if (!products_75_.count(code)) Add(line, "product '" + code + "' of register 54 has no register 75");
    }
    Totals(lines);
    std::stable_sort(report_.problems.begin(), report_.problems.end(),
                     [](const Problem& a, const Problem& b) { return a.line < b.line; });
    report_.lines = lines;
    return report_;
  }

 private:
  void Add(long line, const std::string& message) { report_.problems.push_back({line, message}); }

  void Order(long number, const std::string& type, const std::string& raw) {
    if (number == 1 && type != "10") Add(number, "the first line must be register 10, not " + type);
    if (type == "10" && number != 1) Add(number, "register 10 must be the first line only");
    const bool undo = first_line_.size() == kWidth && first_line_[125] == '5';
    if (number == 2 && type != "11" && !undo) Add(number, "the second line must be register 11, not " + type);
    if (type == "11" && number != 2) Add(number, "register 11 must be the second line only");
    if (!ninety_.empty() && type != "90") Add(number, "register " + type + " after register 90");
    if (type < last_type_) Add(number, "register " + type + " out of order after " + last_type_);
    if (type == "10") {
      seen_10_ = true;
      first_line_ = raw;
    }
    if (type != "90") {
      ++counts_[type];
      last_type_ = std::max(last_type_, type);
    } else {
      ninety_.push_back({number, raw});
    }
    // Sort keys inside a type.
    std::string key;
    if (raw.size() == kWidth) {
      if (type == "50" || type == "51" || type == "53") key = raw.substr(30, 8);
      if (type == "54") key = raw.substr(2, 14) + raw.substr(18, 3) + raw.substr(21, 6) + raw.substr(34, 3);
      if (type == "75") key = raw.substr(18, 14);
    }
    if (!key.empty()) {
      auto& last = last_key_[type];
      if (key < last) Add(number, "register " + type + " out of order within its type");
      last = key;
    }
  }

  void Fields(long number, const std::string& type, const std::string& raw) {
    const auto it = Layouts().find(type);
    if (it == Layouts().end()) return;
    for (const Field& f : it->second) {
      const std::string value = raw.substr(f.start - 1, f.width);
      if (f.format == F::N && !Digits(value)) {
        Add(number, "register " + type + " field '" + f.name + "' (" + std::to_string(f.start) + "-" +
                        std::to_string(f.start + f.width - 1) + ") is not numeric: '" + value + "'");
      } else if (f.format == F::Date && !ValidDate(value)) {
        Add(number, "register " + type + " field '" + f.name + "' holds no valid date: '" + value + "'");
      } else if (f.format == F::X) {
        for (unsigned char c : value) {
          if (c < 0x20 || c == 0x7F) {
            Add(number, "register " + type + " field '" + f.name + "' holds a control character");
            break;
          }
        }
      }
    }
  }

  void Content(long number, const std::string& type, const std::string& raw) {
    if (type == "10") {
      if (!ValidCnpj(raw.substr(2, 14))) Add(number, "register 10 CNPJ has wrong check digits");
      const std::string first = raw.substr(107, 8), last = raw.substr(115, 8);
      if (ValidDate(first) && ValidDate(last)) {
        if (first.substr(6) != "01") Add(number, "the period must start on the first day of a month");
        if (first > last) Add(number, "the period ends before it starts");
        period_first_ = first;
        period_last_ = last;
      }
      if (std::string("123").find(raw[123]) == std::string::npos)
        Add(number, "register 10 version must be 1, 2 or 3");
      if (std::string("123").find(raw[124]) == std::string::npos)
        Add(number, "register 10 nature must be 1, 2 or 3");
      if (std::string("1235").find(raw[125]) == std::string::npos) {
        Add(number, "register 10 purpose must be 1, 2, 3 or 5");
      }
    }
    if ((type == "50" || type == "51" || type == "53") && !period_first_.empty()) {
      const std::string date = raw.substr(30, 8);
      if (ValidDate(date) && (date < period_first_ || date > period_last_)) {
        Add(number, "register " + type + " date " + date + " is outside the period " + period_first_ + "-" +
                        period_last_);
      }
    }
    if (type == "54") {
      const std::string item = raw.substr(34, 3), product = raw.substr(37, 14);
      const bool charge = item >= "991";
      if (!charge && product.find_first_not_of(' ') == std::string::npos) {
        Add(number, "register 54 item without a product code");
      }
      if (!charge) products_used_.emplace(number, product);
    }
    if (type == "75") products_75_.insert(raw.substr(18, 14));
  }

  void Totals(long lines) {
    if (ninety_.empty()) return;
    std::vector<std::pair<std::string, long>> pairs;
    for (std::size_t k = 0; k < ninety_.size(); ++k) {
      const auto& [number, raw] = ninety_[k];
      if (raw.size() != kWidth) continue;
      if (first_line_.size() == kWidth && raw.substr(2, 28) != first_line_.substr(2, 28)) {
        Add(number, "register 90 CNPJ and IE differ from register 10");
      }
      if (raw[125] - '0' != static_cast<int>(ninety_.size())) {
        Add(number, "register 90 says " + std::string(1, raw[125]) + " lines of type 90, the file has " +
                        std::to_string(ninety_.size()));
      }
      std::size_t at = 30;
      for (; at + 10 <= 125 && raw.substr(at, 2) != "  "; at += 10) {
        const std::string t = raw.substr(at, 2), n = raw.substr(at + 2, 8);
        if (!Digits(t) || !Digits(n)) {
          Add(number, "register 90 holds a malformed pair at position " + std::to_string(at + 1));
          break;
        }
        pairs.emplace_back(t, std::stol(n));
      }
      if (raw.substr(at, 125 - at).find_first_not_of(' ') != std::string::npos) {
        Add(number, "register 90 holds something after its last pair");
      }
    }
    const long last90 = ninety_.back().first;
    if (pairs.empty() || pairs.back().first != "99") {
      Add(last90, "the last register 90 must end with the grand total (type 99)");
    } else if (pairs.back().second != lines) {
      Add(last90, "register 90 grand total is " + std::to_string(pairs.back().second) + ", the file has " +
                      std::to_string(lines) + " lines");
    }
    std::map<std::string, long> totals;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      if (pairs[i].first == "99") {
        if (i + 1 != pairs.size()) Add(last90, "the grand total (type 99) must be the last pair");
        continue;
      }
      if (totals.count(pairs[i].first)) Add(last90, "register 90 totals type " + pairs[i].first + " twice");
      totals[pairs[i].first] = pairs[i].second;
    }
    for (const auto& [type, count] : counts_) {
      if (type == "10" || type == "11") continue;
      const auto it = totals.find(type);
      if (it == totals.end()) {
        Add(last90, "register 90 has no total for type " + type + " (" + std::to_string(count) + " lines)");
      } else if (it->second != count) {
        Add(last90, "register 90 total for type " + type + " is " + std::to_string(it->second) +
                        ", the file has " + std::to_string(count));
      }
    }
    for (const auto& [type, count] : totals) {
      if (!counts_.count(type))
        Add(last90, "register 90 totals type " + type + ", which the file does not hold");
    }
  }

  Report report_;
  bool seen_10_ = false;
  std::string first_line_, last_type_, period_first_, period_last_;
  std::map<std::string, long> counts_;
  std::map<std::string, std::string> last_key_;
  std::vector<std::pair<long, std::string>> ninety_;
  std::multimap<long, std::string> products_used_;
  std::set<std::string> products_75_;
};

}  // namespace

Report CheckStream(std::istream& in) {
  Checker checker;
  long number = 0;
  std::string line;
  char c;
  bool pending = false;
  while (in.get(c)) {
    pending = true;
    if (c != '\n') {
      line += c;
      continue;
    }
    const bool cr = !line.empty() && line.back() == '\r';
    if (cr) line.pop_back();
    checker.Line(++number, line, cr, true);
    line.clear();
    pending = false;
  }
  if (pending) {
    const bool cr = !line.empty() && line.back() == '\r';
    if (cr) line.pop_back();
    checker.Line(++number, line, cr, false);
  }
  return checker.Finish(number);
}

Report CheckFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return CheckStream(in);
}

std::string Describe(const Report& report) {
  std::ostringstream out;
  if (report.ok()) {
    out << "ok: " << report.lines << " lines\n";
    return out.str();
  }
  for (const Problem& p : report.problems) {
    out << (p.line > 0 ? "line " + std::to_string(p.line) : std::string("file")) << ": " << p.message << "\n";
  }
  out << report.problems.size() << " problem(s) in " << report.lines << " lines\n";
  return out.str();
}

}  // namespace layout
