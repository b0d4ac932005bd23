#include "lib/layout/layout_check.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

#include "lib/layout/document_numbers.h"
#include "lib/layout/document_rules.h"
#include "lib/layout/register_fields.h"
#include "lib/layout/state_registration.h"
#include "lib/text/utf8.h"

namespace layout {
namespace {

constexpr std::size_t kWidth = 126;

const std::set<std::string> kKnownTypes = {"10", "11", "50", "51", "53", "54", "55", "56", "57", "60", "61",
                                           "70", "71", "74", "75", "76", "77", "85", "86", "88", "90"};

// Document models per register (01/1-A, 03 old entry note, 04 producer's
// note, 06 energy, 21 and 22 communication and telecommunication, 55 NF-e):
// the validators take no energy or telecommunication bill in 51, 53 and 54.
const std::set<std::string> kModels50 = {"01", "03", "04", "06", "21", "22", "55"};
const std::set<std::string> kModels53 = {"01", "03", "04", "21", "55"};
const std::set<std::string> kModels54 = {"01", "55"};
const std::set<std::string> kModels61 = {"02", "13", "14", "15", "16", "65"};
const std::set<std::string> kModels70 = {"07", "08", "09", "10", "11", "26", "27", "57", "67"};

// The layout a line follows: its type, with the subtype where the type has
// several ("60M", "61R", "88SME").
bool Digits(const std::string& s) { return AllDigits(s); }

bool Blank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

std::string TrimRight(const std::string& s) {
  const auto end = s.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

int DaysIn(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

bool ValidDate(const std::string& d) {
  if (!Digits(d) || d.size() != 8) return false;
  const int y = std::stoi(d.substr(0, 4)), m = std::stoi(d.substr(4, 2)), day = std::stoi(d.substr(6, 2));
  return y >= 1 && m >= 1 && m <= 12 && day >= 1 && day <= DaysIn(y, m);
}

// "AAAAMM" of a month field's "MMAAAA", the order months sort in.
std::string YearFirst(const std::string& month) { return month.substr(2, 4) + month.substr(0, 2); }

// Whether `key` may follow `last` in the 75 block: in byte order, or, when
// both codes are digits only, in the order of their numbers (the order a
// shop's system keeps numeric codes in, which the validators take).
bool ProductInOrder(const std::string& last, const std::string& key) {
  if (!(key < last)) return true;
  const std::string a = TrimRight(last), b = TrimRight(key);
  if (!Digits(a) || !Digits(b)) return false;
  const auto number = [](const std::string& s) {
    const auto first = s.find_first_not_of('0');
    return first == std::string::npos ? std::string() : s.substr(first);
  };
  const std::string na = number(a), nb = number(b);
  return na.size() != nb.size() ? na.size() < nb.size() : na <= nb;
}

class Checker {
 public:
  void Line(long number, const std::string& raw, bool had_cr, bool had_lf) {
    line_ = number;
    type_.clear();
    document_.clear();
    if (!had_lf)
      Here("line-ending", "", "the line does not end with CR LF");
    else if (!had_cr)
      Here("line-ending", "", "the line ends with LF alone, not CR LF");
    if (raw.size() != kWidth) {
      Here("line-width", "", "the line has " + std::to_string(raw.size()) + " positions, not 126");
      if (raw.size() < 2) return;
    }
    const std::string type = raw.substr(0, 2);
    if (!kKnownTypes.count(type)) {
      Here("register-type", "", "unknown register type '" + type + "'");
      return;
    }
    type_ = type;
    const RegisterLine r(raw);
    Order(number, type, r);
    if (raw.size() != kWidth) return;
    document_ = Document(type, r);
    Fields(type, raw);
    Content(type, r);
  }

  Report Finish(long lines) {
    line_ = 0;
    document_.clear();
    if (lines == 0) At(0, "file-order", "", "", "the file is empty");
    if (lines > 0 && !seen_10_) At(0, "file-order", "10", "", "the file has no register 10");
    if (lines > 0 && ninety_.empty()) At(0, "file-order", "90", "", "the file has no register 90");
    if (without_entries_ && entry_line_)
      At(entry_line_, "without-movement", "88", "", "an entry in a file that says it has none (88SME)");
    if (without_exits_ && exit_line_)
      At(exit_line_, "without-movement", "88", "", "an exit in a file that says it has none (88SMS)");
    for (const auto& [line, use] : products_used_) {
      if (!products_75_.count(use.code)) {
        Add(line, "product-75", use.type, "product", use.document,
            "product '" + TrimRight(use.code) + "' of register " + use.type + " has no register 75");
      }
    }
    for (const auto& [code, line] : products_75_) {
      if (!products_cited_.count(code)) {
        Add(line, "unused-75", "75", "product", "",
            "product '" + TrimRight(code) + "' of register 75 is cited by no other register");
      }
    }
    Totals(lines);
    std::stable_sort(report_.problems.begin(), report_.problems.end(),
                     [](const Problem& a, const Problem& b) { return a.line < b.line; });
    report_.lines = lines;
    return report_;
  }

 private:
  // A finding; the same finding on another line (same rule, field, words
  // and document) is counted on the first one's lines.
  void Add(long line, std::string_view rule, const std::string& type, const std::string& field,
           const std::string& document, const std::string& message) {
    const std::string key = std::string(rule) + '\n' + type + '\n' + field + '\n' + document + '\n' + message;
    const auto [it, added] = folded_.emplace(key, report_.problems.size());
    if (!added) {
      Problem& p = report_.problems[it->second];
      ++p.count;
      p.lines.push_back(line);
      return;
    }
    Problem p;
    p.line = line;
    p.lines = {line};
    p.rule = std::string(rule);
    p.severity = RuleNamed(rule).severity;
    p.message = message;
    p.register_type = type;
    p.field = field;
    p.document = document;
    report_.problems.push_back(std::move(p));
  }
  // A finding of another line than the one being read, or of the file.
  void At(long line, std::string_view rule, const std::string& type, const std::string& field,
          const std::string& message) {
    Add(line, rule, type, field, "", message);
  }
  // A finding about the line being read, with its document.
  void Here(std::string_view rule, const std::string& field, const std::string& message) {
    Add(line_, rule, type_, field, document_, message);
  }
  void Here(const std::optional<Breach>& breach) {
    if (breach) Here(breach->rule, breach->field, breach->finding);
  }

  // The registers of a document's lines (50, 51, 53, 54) name it.
  static bool OfDocument(const std::string& type) {
    return type == "50" || type == "51" || type == "53" || type == "54";
  }
  static std::string Document(const std::string& type, const RegisterLine& r) {
    if (!OfDocument(type)) return {};
    return "CNPJ " + r.Raw("CNPJ") + (r.Has("model") ? " modelo " + r.Raw("model") : std::string()) +
           " série " + TrimRight(r.Raw("series")) + " número " + r.Raw("number");
  }
  // The key that ties a 51, 53 or 54 to its 50: CNPJ, series, number, and
  // the model where the register has one.
  static std::string Key(const RegisterLine& r, bool with_model) {
    return r.Raw("CNPJ") + "|" + (with_model ? r.Raw("model") : std::string()) + "|" + r.Raw("series") + "|" +
           r.Raw("number");
  }

  void Order(long number, const std::string& type, const RegisterLine& r) {
    const std::string& raw = r.line();
    if (number == 1 && type != "10")
      Here("file-order", "", "the first line must be register 10, not " + type);
    if (type == "10" && number != 1) Here("file-order", "", "register 10 must be the first line only");
    const bool undo = first_line_.size() == kWidth && RegisterLine(first_line_).Raw("purpose") == "5";
    if (number == 2 && type != "11" && !undo)
      Here("file-order", "", "the second line must be register 11, not " + type);
    if (type == "11" && number != 2) Here("file-order", "", "register 11 must be the second line only");
    if (!ninety_.empty() && type != "90") Here("file-order", "", "register " + type + " after register 90");
    if (type < last_type_) Here("file-order", "", "register " + type + " out of order after " + last_type_);
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
    // Sort keys inside a type: the bytes the layout orders each group by.
    std::string key;
    if (raw.size() == kWidth) {
      if (type == "50" || type == "51" || type == "53") key = r.Raw("date");
      if (type == "54") key = r.Raw("CNPJ") + r.Raw("series") + r.Raw("number") + r.Raw("item");
      if (type == "75") key = r.Raw("product");
      if (type == "55" || type == "70") key = r.Raw("date");
      if (type == "61") key = raw[2] == 'R' ? "R" + r.Raw("product") : " " + r.Raw("date");
      if (type == "60") key = Key60(r);
    }
    if (!key.empty()) {
      auto& last = last_key_[type];
      const bool in_order = type == "75" ? ProductInOrder(last, key) : !(key < last);
      if (!in_order) Here("group-order", "", "register " + type + " out of order within its type");
      last = key;
    }
  }

  // The 60 lines: each printer's day (date, serial) is a 60M and then its
  // 60A, 60D and 60I lines in that order; the 60R lines come after them all,
  // by month and product.
  std::string Key60(const RegisterLine& r) {
    const char subtype = r.line()[2];
    if (subtype == 'R') return "R" + YearFirst(r.Raw("month")) + r.Raw("product");
    static const std::string kRanks = "MADI";
    const auto rank = kRanks.find(subtype);
    if (rank == std::string::npos) {
      Here("printer-day", "subtype", std::string("unknown register 60 subtype '") + subtype + "'");
      return {};
    }
    const std::string day = r.Raw("date") + r.Raw("ECF serial");
    if (subtype == 'M') {
      ecf_day_ = day;
      ecf_rank_ = 0;
    } else if (day != ecf_day_) {
      Here("printer-day", "date",
           std::string("register 60") + subtype + " has no register 60M of its day and printer before it");
    } else if (rank < ecf_rank_) {
      Here("printer-day", "subtype",
           std::string("register 60") + subtype + " out of order in its printer's day");
    }
    ecf_rank_ = std::max(ecf_rank_, rank);
    return " " + day;
  }

  void Fields(const std::string& type, const std::string& raw) {
    const auto it = RegisterLayouts().find(LayoutOf(raw));
    if (it == RegisterLayouts().end()) return;
    for (const RegisterField& f : it->second) {
      const std::string value = raw.substr(f.start - 1, f.width);
      if (f.format == Format::N && !Digits(value)) {
        Here("numeric-field", f.name,
             "register " + LayoutOf(raw) + " field '" + f.name + "' (" + std::to_string(f.start) + "-" +
                 std::to_string(f.start + f.width - 1) + ") is not numeric: '" + value + "'");
      } else if (f.format == Format::Date && !ValidDate(value)) {
        Here("date-field", f.name,
             "register " + type + " field '" + f.name + "' holds no valid date: '" + value + "'");
      } else if (f.format == Format::X && std::string_view(f.name).starts_with("blank")) {
        if (!Blank(value)) {
          Here("blank-positions", f.name,
               "register " + LayoutOf(raw) + " positions " + std::to_string(f.start) + "-" +
                   std::to_string(f.start + f.width - 1) + " are not blank");
        }
      } else if (f.format == Format::X) {
        for (unsigned char c : value) {
          if (c < 0x20 || c == 0x7F) {
            Here("text-field", f.name,
                 "register " + type + " field '" + f.name + "' holds a control character");
            break;
          }
        }
        if (!value.empty() && value[0] == ' ' && !Blank(value))
          Here("text-field", f.name,
               "register " + type + " field '" + f.name + "' is not left-aligned: '" + value + "'");
      }
    }
  }

  // The informant's own state registration (10, and the favoured state's
  // in 55).
  void InformantIe(const std::string& value, const std::string& uf) {
    const auto breach = InformantIeBreach(TrimRight(value), uf);
    if (!breach) return;
    // A substitute files under the registration the other state gave it,
    // beside the informant's own state.
    if (type_ == "10" && TrimRight(value) != "ISENTO") {
      for (const std::string& other : StateAbbreviations()) {
        if (!InformantIeBreach(TrimRight(value), other)) return;
      }
    }
    Here(breach);
  }

  // A party's state registration, checked by the state of the same register.
  void PartyIe(const std::string& value, const std::string& uf) { Here(PartyIeBreach(TrimRight(value), uf)); }

  // A CFOP from the informant's point of view: 1/5 in its state, 2/6 with
  // another state, 3/7 abroad.
  void Cfop(const std::string& cfop, const std::string& uf) {
    if (!Digits(cfop)) return;  // reported as not numeric
    Side(cfop[0] <= '3');
    const std::string home =
        first_line_.size() == kWidth ? RegisterLine(first_line_).Raw("UF") : std::string();
    Here(CfopBreach(cfop, uf, uf.empty() ? std::string() : home, cfop[0] <= '3'));
  }

  void State(const std::string& uf, bool abroad_too = true) {
    if (!KnownState(uf, abroad_too)) Here("state", "UF", "'" + uf + "' is no state abbreviation");
  }

  void Situation(char situation) {
    if (!ValidSituation(situation))
      Here("situation", "situation", std::string("situation '") + situation + "' is not N, S, E, X, 2 or 4");
  }

  void InPeriod(const std::string& date) {
    if (period_first_.empty() || !ValidDate(date)) return;
    if (date < period_first_ || date > period_last_) {
      Here("date-in-period", "date",
           "register " + type_ + " date " + date + " is outside the period " + period_first_ + "-" +
               period_last_);
    }
  }

  void Content(const std::string& type, const RegisterLine& r) {
    if (type == "10") return Register10(r);
    if (type == "11" && std::stoi("0" + r.Raw("number")) == 0 && Blank(r.Raw("complement")))
      return Here("address", "number", "register 11 has neither a street number nor a complement");
    if (type == "50" || type == "51" || type == "53") DocumentParty(r);
    if (type == "50") Register50(r);
    if (type == "51") {
      if (!documents_51_.count(Key(r, false)))
        Here("document-tie", "number", "register 51 has no register 50 of the same document");
    }
    if (type == "53") {
      const std::string model = r.Raw("model"), issuer = r.Raw("issuer"),
                        anticipation = r.Raw("anticipation");
      if (!kModels53.count(model)) Here("model", "model", "model " + model + " is not taken in register 53");
      if (!documents_.count(Key(r, true)))
        Here("document-tie", "number", "register 53 has no register 50 of the same document");
      if (!ValidIssuer(issuer[0])) Here("issuer", "issuer", "issuer must be P or T");
      if (anticipation != " " && (anticipation < "1" || anticipation > "6"))
        Here("anticipation", "anticipation",
             "anticipation code '" + anticipation + "' is not 1 to 6 or blank");
    }
    if (type == "54") Register54(r);
    if (type == "55") Register55(r);
    if (type == "60") Register60(r);
    if (type == "61") Register61(r);
    if (type == "70") Register70(r);
    if (type == "74") Register74(r);
    if (type == "75") Register75(r);
    if (type == "88") Register88(r);
  }

  // A product a register cites: it needs its 75.
  void Cites(const std::string& product) {
    if (Blank(product))
      return Here("product-code", "product", "register " + type_ + " without a product code");
    products_used_.emplace(line_, Citation{product, type_, document_});
    products_cited_.insert(product);
  }

  // The informant's CNPJ, as register 10 gives it; empty without a whole 10.
  std::string InformantCnpj() const {
    return first_line_.size() == kWidth ? RegisterLine(first_line_).Raw("CNPJ") : std::string();
  }

  void Register55(const RegisterLine& r) {
    if (first_line_.size() == kWidth && r.Raw("CNPJ") != InformantCnpj())
      Here("informant-tie", "CNPJ", "register 55 CNPJ is not the informant's");
    for (const char* field : {"UF", "favoured UF"}) State(r.Raw(field), false);
    InformantIe(r.Raw("IE"), r.Raw("favoured UF"));
    InPeriod(r.Raw("date"));
    const std::string reference = r.Raw("reference month"), month = reference.substr(0, 2);
    if (Digits(month) && (month < "01" || month > "12"))
      Here("month-field", "reference month", "register 55 reference month " + reference + " is not MMAAAA");
  }

  // A line of an entry or of an exit, for the "without movement" records.
  void Side(bool entry) {
    long& first = entry ? entry_line_ : exit_line_;
    if (!first) first = line_;
  }

  // A month field, MMAAAA.
  void Month(const RegisterLine& r) {
    const std::string month = r.Raw("month"), mm = month.substr(0, 2);
    if (Digits(mm) && (mm < "01" || mm > "12"))
      Here("month-field", "month", "register " + LayoutOf(r.line()) + " month " + month + " is not MMAAAA");
  }

  void Totaliser(const RegisterLine& r) {
    if (!ValidTotaliser(r.Raw("totaliser")))
      Here("totaliser", "totaliser", "'" + r.Raw("totaliser") + "' is no totaliser");
  }

  void Register60(const RegisterLine& r) {
    Side(false);
    const char subtype = r.line()[2];
    if (subtype == 'R') {
      Month(r);
      Totaliser(r);
      return Cites(r.Raw("product"));
    }
    InPeriod(r.Raw("date"));
    if (subtype == 'M' || subtype == 'I') {
      const std::string model = r.Raw("model");
      if (model != "2B" && model != "2C" && model != "2D")
        Here("model", "model", "model '" + model + "' of a fiscal printer's document is not 2B, 2C or 2D");
    }
    if (subtype == 'A' || subtype == 'D' || subtype == 'I') Totaliser(r);
    if (subtype == 'D' || subtype == 'I') Cites(r.Raw("product"));
  }

  void Register61(const RegisterLine& r) {
    Side(false);
    if (r.line()[2] == 'R') {
      seen_61r_ = true;
      Month(r);
      return Cites(r.Raw("product"));
    }
    if (seen_61r_) Here("group-order", "date", "register 61 after the 61R lines");
    if (!kModels61.count(r.Raw("model")))
      Here("model", "model", "model " + r.Raw("model") + " is not taken in register 61");
    InPeriod(r.Raw("date"));
    if (r.Raw("first number") > r.Raw("last number"))
      Here("number-range", "last number", "register 61 ends before it starts");
  }

  // What a document's line says of its party, situation, CFOP and date.
  void DocumentParty(const RegisterLine& r) {
    const std::string uf = r.Raw("UF");
    State(uf);
    Situation(r.Raw("situation")[0]);
    Here(PartyNumberBreach(r.Raw("CNPJ"), uf));
    PartyIe(r.Raw("IE"), uf);
    Cfop(r.Raw("CFOP"), uf);
    InPeriod(r.Raw("date"));
  }

  void Register70(const RegisterLine& r) {
    DocumentParty(r);
    if (!kModels70.count(r.Raw("model")))
      Here("model", "model", "model " + r.Raw("model") + " is not taken in register 70");
    const std::string freight = r.Raw("freight");
    if (!ValidFreight(freight))
      Here("freight", "freight", "freight '" + freight + "' is not 1 (CIF), 2 (FOB) or 0");
  }

  void Register74(const RegisterLine& r) {
    const char possession = r.Raw("possession")[0];
    const std::string uf = r.Raw("UF");
    State(uf);
    if (possession == '1') {
      if (r.Raw("CNPJ") != std::string(14, '0') || !Blank(r.Raw("IE")))
        Here("possession", "possession",
             "goods the informant holds itself name no holder (CNPJ zeros, IE blank)");
    } else if (possession == '2' || possession == '3') {
      Here(PartyNumberBreach(r.Raw("CNPJ"), uf));
      PartyIe(r.Raw("IE"), uf);
    } else {
      Here("possession", "possession", std::string("possession '") + possession + "' is not 1, 2 or 3");
    }
    Cites(r.Raw("product"));
  }

  void Register88(const RegisterLine& r) {
    const std::string subtype = r.line().substr(2, 3);
    if (r.line().substr(2, 4) == "STES" && first_line_.size() == kWidth && r.Raw("CNPJ") != InformantCnpj())
      Here("informant-tie", "CNPJ", "register 88STES CNPJ is not the informant's");
    if (subtype != "SME" && subtype != "SMS") return;
    (subtype == "SME" ? without_entries_ : without_exits_) = true;
    if (first_line_.size() == kWidth && r.Raw("CNPJ") != InformantCnpj())
      Here("informant-tie", "CNPJ", "register 88" + subtype + " CNPJ is not the informant's");
  }

  void Register10(const RegisterLine& r) {
    Here(InformantNumberBreach(r.Raw("CNPJ")));
    const std::string uf = r.Raw("UF");
    State(uf, false);
    InformantIe(r.Raw("IE"), uf);
    const std::string first = r.Raw("first day"), last = r.Raw("last day");
    if (ValidDate(first) && ValidDate(last)) {
      if (first.substr(6) != "01")
        Here("period", "first day", "the period must start on the first day of a month");
      const int y = std::stoi(last.substr(0, 4)), m = std::stoi(last.substr(4, 2));
      if (std::stoi(last.substr(6)) != DaysIn(y, m))
        Here("period", "last day", "the period must end on the last day of a month");
      if (first > last) Here("period", "last day", "the period ends before it starts");
      if (first.substr(0, 6) != last.substr(0, 6))
        Here("period-months", "last day", "the period spans more than one calendar month");
      period_first_ = first;
      period_last_ = last;
    }
    const char version = r.Raw("version")[0];
    if (std::string("123").find(version) == std::string::npos) {
      Here("structure", "version", "register 10 structure code must be 1, 2 or 3");
    } else if (version != '3' && ValidDate(first) && first >= "20040101") {
      Here("structure", "version",
           std::string("structure ") + version +
               " is not taken for a period since 2004: 3 is the current one");
    }
    if (std::string("123").find(r.Raw("nature")[0]) == std::string::npos)
      Here("header-codes", "nature", "register 10 nature must be 1, 2 or 3");
    if (std::string("1235").find(r.Raw("purpose")[0]) == std::string::npos)
      Here("header-codes", "purpose", "register 10 purpose must be 1, 2, 3 or 5");
  }

  void Register50(const RegisterLine& r) {
    if (!kModels50.count(r.Raw("model")))
      Here("model", "model", "model " + r.Raw("model") + " is not taken in register 50");
    if (!ValidIssuer(r.Raw("issuer")[0])) Here("issuer", "issuer", "issuer must be P or T");
    const std::string key = Key(r, true);
    if (!lines_50_.insert(key + "|" + r.Raw("CFOP") + "|" + r.Raw("rate")).second)
      Here("duplicate-50", "CFOP", "a second register 50 for the same document, CFOP and rate");
    documents_[key] = r.Raw("UF");
    documents_51_.insert(Key(r, false));
  }

  void Register54(const RegisterLine& r) {
    const std::string model = r.Raw("model"), item = r.Raw("item");
    if (!kModels54.count(model)) Here("model", "model", "model " + model + " is not taken in register 54");
    const auto document = documents_.find(Key(r, true));
    if (document == documents_.end()) {
      Here("document-tie", "number", "register 54 has no register 50 of the same document");
    } else {
      Here(PartyNumberBreach(r.Raw("CNPJ"), document->second));
      Cfop(r.Raw("CFOP"), document->second);
    }
    if (!Digits(item)) return;
    const int n = std::stoi(item);
    const std::string cst = r.Raw("CST"), product = r.Raw("product");
    if (n == 0) Here("item-number", "item", "item number 000");
    if (n < 991) {
      Here(CstBreach(cst));
      if (Blank(product)) Here("product-code", "product", "register 54 item without a product code");
      products_used_.emplace(line_, Citation{product, type_, document_});
      products_cited_.insert(product);
      return;
    }
    // Freight, insurance, PIS/COFINS and other charges: an amount, no goods.
    if (!Blank(product))
      Here("charge-line", "product",
           "item " + item + " is a charge (991-999) and names no product, not '" + TrimRight(product) + "'");
    if (Digits(r.Raw("quantity")) && std::stoll(r.Raw("quantity")) != 0)
      Here("charge-line", "quantity", "item " + item + " is a charge (991-999) and has no quantity");
    if (!Blank(cst) && !Digits(cst))
      Here("charge-line", "CST", "CST '" + cst + "' is neither three digits nor blank");
  }

  void Register75(const RegisterLine& r) {
    const std::string code = r.Raw("product");
    if (!products_75_.emplace(code, line_).second)
      Here("product-75", "product", "product '" + TrimRight(code) + "' has a second register 75");
    const std::string first = r.Raw("first day"), last = r.Raw("last day");
    if (!period_first_.empty() && ValidDate(first) && ValidDate(last) &&
        (first > period_first_ || last < period_last_)) {
      Here("product-75", "first day",
           "register 75 validity " + first + "-" + last + " does not cover the period " + period_first_ +
               "-" + period_last_);
    }
  }

  void Totals(long lines) {
    if (ninety_.empty()) return;
    std::vector<std::pair<std::string, long>> pairs;
    for (std::size_t k = 0; k < ninety_.size(); ++k) {
      const auto& [number, raw] = ninety_[k];
      if (raw.size() != kWidth) continue;
      const RegisterLine r(raw);
      if (first_line_.size() == kWidth &&
          r.Raw("CNPJ") + r.Raw("IE") != InformantCnpj() + RegisterLine(first_line_).Raw("IE")) {
        At(number, "totals-90", "90", "CNPJ", "register 90 CNPJ and IE differ from register 10");
      }
      const std::string count = r.Raw("number of 90 lines");
      if (count[0] - '0' != static_cast<int>(ninety_.size())) {
        At(number, "totals-90", "90", "number of 90 lines",
           "register 90 says " + count + " lines of type 90, the file has " + std::to_string(ninety_.size()));
      }
      // The pairs of type and count follow the IE, up to the last position.
      std::size_t at = 30;
      for (; at + 10 <= 125 && raw.substr(at, 2) != "  "; at += 10) {
        const std::string t = raw.substr(at, 2), n = raw.substr(at + 2, 8);
        if (!Digits(t) || !Digits(n)) {
          At(number, "totals-90", "90", "totals",
             "register 90 holds a malformed pair at position " + std::to_string(at + 1));
          break;
        }
        pairs.emplace_back(t, std::stol(n));
      }
      if (raw.substr(at, 125 - at).find_first_not_of(' ') != std::string::npos) {
        At(number, "totals-90", "90", "totals", "register 90 holds something after its last pair");
      }
    }
    const long last90 = ninety_.back().first;
    if (pairs.empty() || pairs.back().first != "99") {
      At(last90, "totals-90", "90", "totals", "the last register 90 must end with the grand total (type 99)");
    } else if (pairs.back().second != lines) {
      At(last90, "totals-90", "90", "totals",
         "register 90 grand total is " + std::to_string(pairs.back().second) + ", the file has " +
             std::to_string(lines) + " lines");
    }
    std::map<std::string, long> totals;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      if (pairs[i].first == "99") {
        if (i + 1 != pairs.size())
          At(last90, "totals-90", "90", "totals", "the grand total (type 99) must be the last pair");
        continue;
      }
      if (totals.count(pairs[i].first))
        At(last90, "totals-90", "90", "totals", "register 90 totals type " + pairs[i].first + " twice");
      totals[pairs[i].first] = pairs[i].second;
    }
    for (const auto& [type, count] : counts_) {
      if (type == "10" || type == "11") continue;
      const auto it = totals.find(type);
      if (it == totals.end()) {
        At(last90, "totals-90", "90", "totals",
           "register 90 has no total for type " + type + " (" + std::to_string(count) + " lines)");
      } else if (it->second != count) {
        At(last90, "totals-90", "90", "totals",
           "register 90 total for type " + type + " is " + std::to_string(it->second) + ", the file has " +
               std::to_string(count));
      }
    }
    for (const auto& [type, count] : totals) {
      if (counts_.count(type)) continue;
      // A zero count for a type the file lacks states nothing false.
      if (count == 0) {
        At(last90, "zero-total-90", "90", "totals",
           "register 90 totals type " + type + " with 0 lines: a type the file does not hold is left out");
      } else {
        At(last90, "totals-90", "90", "totals",
           "register 90 totals type " + type + ", which the file does not hold");
      }
    }
  }

  Report report_;
  std::map<std::string, std::size_t> folded_;  // a finding's words -> its place in the report
  long line_ = 0;
  std::string type_, document_;
  bool seen_10_ = false;
  std::string first_line_, last_type_, period_first_, period_last_;
  std::map<std::string, long> counts_;
  std::map<std::string, std::string> last_key_;
  std::vector<std::pair<long, std::string>> ninety_;
  std::map<std::string, std::string> documents_;  // document key (with model) -> UF of its 50
  std::set<std::string> documents_51_;            // document keys without the model
  std::set<std::string> lines_50_;
  struct Citation {
    std::string code, type, document;
  };
  std::multimap<long, Citation> products_used_;  // by line
  std::string ecf_day_;                          // date and serial of the last 60M
  std::string::size_type ecf_rank_ = 0;          // M, A, D, I: how far its day has gone
  bool seen_61r_ = false;
  bool without_entries_ = false, without_exits_ = false;
  long entry_line_ = 0, exit_line_ = 0;  // the first line of each side
  std::set<std::string> products_cited_;
  std::map<std::string, long> products_75_;  // code -> line
};

void JsonString(std::string& out, const std::string& text) {
  out += '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (const std::size_t length = c >= 0x80 ? ::text::utf8::SequenceLength(text, i) : 0; length > 1) {
      // The checker's own words (and a field written in UTF-8) pass as they are.
      out.append(text, i, length);
      i += length - 1;
    } else if (c < 0x20 || c >= 0x80) {
      // Any other byte of a file is ISO-8859-1: the character of its code.
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

}  // namespace

long Report::Errors() const {
  return std::count_if(problems.begin(), problems.end(),
                       [](const Problem& p) { return p.severity == Severity::Error; });
}

long Report::Warnings() const { return static_cast<long>(problems.size()) - Errors(); }

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

namespace {

std::string Plural(long n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "1, 2, 3, 4, 5 …": the first lines of a finding or of a rule.
std::string FirstLines(const std::vector<long>& lines) {
  constexpr std::size_t kShown = 5;
  std::string text;
  for (std::size_t i = 0; i < lines.size() && i < kShown; ++i)
    text += (i ? ", " : "") + (lines[i] > 0 ? std::to_string(lines[i]) : std::string("file"));
  if (lines.size() > kShown) text += " …";
  return text;
}

void DescribeProblem(std::ostringstream& out, const Problem& p) {
  out << "  " << (p.line > 0 ? "line " + std::to_string(p.line) : std::string("file")) << ": ";
  if (!p.register_type.empty()) out << "register " << p.register_type;
  if (!p.field.empty()) out << ", field " << p.field;
  if (!p.register_type.empty()) out << ": ";
  out << p.message;
  if (!p.document.empty()) out << " [" << p.document << "]";
  if (p.count > 1) out << " (on " << p.count << " lines: " << FirstLines(p.lines) << ")";
  out << "\n";
}

}  // namespace

std::string Describe(const Report& report, bool all) {
  std::ostringstream out;
  if (report.ok()) {
    out << "ok: " << report.lines << " lines\n";
    return out.str();
  }
  // Errors before warnings, each in the rule book's order.
  std::vector<const Rule*> rules;
  for (const Rule& rule : RuleBook()) rules.push_back(&rule);
  std::stable_sort(rules.begin(), rules.end(),
                   [](const Rule* a, const Rule* b) { return a->severity < b->severity; });
  for (const Rule* rule : rules) {
    std::vector<const Problem*> found;
    std::vector<long> lines;
    for (const Problem& p : report.problems) {
      if (p.rule != rule->name) continue;
      found.push_back(&p);
      lines.insert(lines.end(), p.lines.begin(), p.lines.end());
    }
    if (found.empty()) continue;
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    out << (rule->severity == Severity::Error ? "error" : "warning") << " " << rule->name << ": "
        << Plural(static_cast<long>(found.size()), "finding", "findings") << " on "
        << Plural(static_cast<long>(lines.size()), "line", "lines") << ": " << FirstLines(lines) << " ("
        << rule->says << ")\n";
    const std::size_t shown = all ? found.size() : 1;
    for (std::size_t i = 0; i < shown; ++i) DescribeProblem(out, *found[i]);
    if (found.size() > shown) out << "  … " << found.size() - shown << " more (--all lists every finding)\n";
  }
  out << Plural(report.Errors(), "error", "errors") << ", "
      << Plural(report.Warnings(), "warning", "warnings") << " in " << report.lines << " lines\n";
  return out.str();
}

std::string DescribeJson(const Report& report, const std::string& file) {
  std::string out = "{\"file\":";
  JsonString(out, file);
  out += ",\"lines\":" + std::to_string(report.lines) + ",\"errors\":" + std::to_string(report.Errors()) +
         ",\"warnings\":" + std::to_string(report.Warnings()) + ",\"problems\":[";
  for (std::size_t i = 0; i < report.problems.size(); ++i) {
    const Problem& p = report.problems[i];
    out += i ? ",{" : "{";
    out += "\"line\":" + std::to_string(p.line) + ",\"severity\":";
    out += p.severity == Severity::Error ? "\"error\"" : "\"warning\"";
    out += ",\"register\":";
    JsonString(out, p.register_type);
    out += ",\"field\":";
    JsonString(out, p.field);
    out += ",\"document\":";
    JsonString(out, p.document);
    out += ",\"message\":";
    JsonString(out, p.message);
    out += ",\"rule\":";
    JsonString(out, p.rule);
    out += ",\"count\":" + std::to_string(p.count) + ",\"lines\":[";
    for (std::size_t k = 0; k < p.lines.size(); ++k) out += (k ? "," : "") + std::to_string(p.lines[k]);
    out += "]}";
  }
  out += "]}";
  return out;
}

}  // namespace layout
