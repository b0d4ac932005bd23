#include "lib/layout/state_registration.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace layout {
namespace {

// How a weighted sum becomes a check digit. The states differ mostly here; r is
// the remainder of the sum divided by 11.
enum class Fold {
  Eleven,           // 11 - r, where 10 and 11 give 0
  ElevenWrapping,   // 11 - r, where 10 and 11 give 0 and 1
  ElevenOneIsOne,   // 11 - r, but r = 0 gives 0 and r = 1 gives 1
  ElevenSmallSum,   // 11 - r, but a sum of 0 or 1 has no digit at all
  ElevenLastDigit,  // the last digit of r
  Ten,              // 10 minus the sum's last digit, where 10 gives 0
  Nine,             // the sum's remainder by 9
};

constexpr int kNoDigit = -1;

int FoldSum(int sum, Fold fold) {
  const int r = sum % 11;
  switch (fold) {
    case Fold::Eleven: return r < 2 ? 0 : 11 - r;
    case Fold::ElevenWrapping: return (11 - r) % 10;
    case Fold::ElevenOneIsOne: return r < 2 ? r : 11 - r;
    // Amazonas takes 11 - sum for sums below 11: the same digit as 11 - r, but
    // a sum of 0 or 1 leaves 11 or 10, which no digit can hold.
    case Fold::ElevenSmallSum: return sum < 2 ? kNoDigit : FoldSum(sum, Fold::Eleven);
    case Fold::ElevenLastDigit: return r % 10;
    case Fold::Ten: return (10 - sum % 10) % 10;
    case Fold::Nine: return sum % 9;
  }
  return kNoDigit;
}

// One check digit: a weighted sum of the other characters, folded.
struct Check {
  std::size_t position;      // of the check digit, 0-based
  std::vector<int> weights;  // from the first character on; 0 leaves a character out
  Fold fold = Fold::Eleven;
  int bias = 0;                      // Amapá adds a constant to the sum
  bool adds_product_digits = false;  // Minas Gerais adds the digits of each product
};

bool Passes(const Check& check, std::string_view number) {
  int sum = check.bias;
  for (std::size_t i = 0; i < check.weights.size(); ++i) {
    if (check.weights[i] == 0) continue;
    const int product = (number[i] - '0') * check.weights[i];
    sum += check.adds_product_digits ? product / 10 + product % 10 : product;
  }
  return FoldSum(sum, check.fold) == number[check.position] - '0';
}

// One way a state writes its registrations.
struct Format {
  std::size_t length;
  std::vector<std::string_view> prefixes = {};       // the number starts with one; empty: any
  bool (*holds)(std::string_view number) = nullptr;  // any further published condition
  std::vector<Check> checks;
};

struct StateRule {
  std::string_view uf;
  std::vector<Format> formats;  // a registration is valid in any one of them
  bool pads_short_numbers = false;
};

long Leading(std::string_view number, std::size_t count) {
  long value = 0;
  for (const char c : number.substr(0, count)) value = value * 10 + (c - '0');
  return value;
}

bool DigitIn(std::string_view number, std::size_t position, std::string_view digits) {
  return digits.find(number[position]) != std::string_view::npos;
}

// Amapá and Goiás have rules for ranges of the number without its check digit.
bool BaseIn(std::string_view number, long low, long high) {
  const long base = Leading(number, 8);
  return base >= low && base <= high;
}

// Goiás gives 1, not 0, to a remainder of 1 in this range of numbers.
bool InGoiasOneRange(std::string_view number) { return BaseIn(number, 10103105, 10119997); }

// Bahia picks modulo 10 or 11 by one digit: the first of eight digits, the
// second of nine.
bool BahiaModuloTen(std::string_view number) {
  return DigitIn(number, number.size() == 8 ? 0 : 1, "0123458");
}
bool BahiaModuloEleven(std::string_view number) { return DigitIn(number, number.size() == 8 ? 0 : 1, "679"); }

std::vector<StateRule> BuildRules() {
  const std::vector<int> nine_to_two = {9, 8, 7, 6, 5, 4, 3, 2};
  const std::vector<int> two_check_first = {4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
  const std::vector<int> two_check_second = {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
  const std::vector<std::string_view> goias_prefixes = {"10", "11", "15", "20", "21", "22", "23",
                                                        "24", "25", "26", "27", "28", "29"};
  // The most common rule: nine digits, weights 9 to 2, modulo 11.
  const auto nine_digits = [&](std::vector<std::string_view> prefixes, Fold fold = Fold::Eleven) {
    return Format{
        .length = 9, .prefixes = prefixes, .checks = {{.position = 8, .weights = nine_to_two, .fold = fold}}};
  };
  // Bahia computes the last digit first, over the base digits, and lets it take
  // part, with weight 2, in the digit before it.
  const auto bahia = [](std::size_t length, bool (*holds)(std::string_view), Fold fold) {
    std::vector<int> last;
    std::vector<int> before_last(length, 0);
    for (std::size_t i = 0; i + 2 < length; ++i) {
      last.push_back(static_cast<int>(length - 1 - i));
      before_last[i] = static_cast<int>(length - i);
    }
    before_last[length - 1] = 2;
    return Format{.length = length,
                  .holds = holds,
                  .checks = {{.position = length - 1, .weights = last, .fold = fold},
                             {.position = length - 2, .weights = before_last, .fold = fold}}};
  };

  return {
      {"AC",
       {{.length = 13,
         .prefixes = {"01"},
         .checks = {{.position = 11, .weights = two_check_first},
                    {.position = 12, .weights = two_check_second}}}}},
      // The third digit is the kind of company: 0, 3, 5, 7 or 8.
      {"AL", {nine_digits({"240", "243", "245", "247", "248"})}},
      // The constant added to the sum, and the digit for 11 - r = 11, depend on the range.
      {"AP",
       {{.length = 9,
         .prefixes = {"03"},
         .holds = [](std::string_view n) { return BaseIn(n, 3000001, 3017000); },
         .checks = {{.position = 8, .weights = nine_to_two, .bias = 5}}},
        {.length = 9,
         .prefixes = {"03"},
         .holds = [](std::string_view n) { return BaseIn(n, 3017001, 3019022); },
         .checks = {{.position = 8, .weights = nine_to_two, .fold = Fold::ElevenWrapping, .bias = 9}}},
        {.length = 9,
         .prefixes = {"03"},
         .holds = [](std::string_view n) { return BaseIn(n, 3019023, 99999999); },
         .checks = {{.position = 8, .weights = nine_to_two}}}}},
      {"AM", {nine_digits({}, Fold::ElevenSmallSum)}},
      {"BA",
       {bahia(8, BahiaModuloTen, Fold::Ten), bahia(8, BahiaModuloEleven, Fold::Eleven),
        bahia(9, BahiaModuloTen, Fold::Ten), bahia(9, BahiaModuloEleven, Fold::Eleven)}},
      {"CE", {nine_digits({})}},
      {"DF",
       {{.length = 13,
         .prefixes = {"07"},
         .checks = {{.position = 11, .weights = two_check_first},
                    {.position = 12, .weights = two_check_second}}}}},
      {"ES", {nine_digits({})}},
      {"GO",
       {{.length = 9,
         .prefixes = goias_prefixes,
         .holds = [](std::string_view n) { return !InGoiasOneRange(n); },
         .checks = {{.position = 8, .weights = nine_to_two}}},
        // 11094402 is published as valid with either 0 or 1.
        {.length = 9,
         .prefixes = goias_prefixes,
         .holds = [](std::string_view n) { return InGoiasOneRange(n) || Leading(n, 8) == 11094402; },
         .checks = {{.position = 8, .weights = nine_to_two, .fold = Fold::ElevenOneIsOne}}}}},
      {"MA", {nine_digits({"12"})}},
      // Eleven positions; shorter numbers are zero-filled on the left by the state's own rule.
      {"MT", {{.length = 11, .checks = {{.position = 10, .weights = {3, 2, 9, 8, 7, 6, 5, 4, 3, 2}}}}}, true},
      {"MS", {nine_digits({"28"})}},
      // The first digit: a 0 goes in after the three-digit town code, weights 1 and
      // 2 alternate, and the digits of the products are added.
      {"MG",
       {{.length = 13,
         .checks = {{.position = 11,
                     .weights = {1, 2, 1, 1, 2, 1, 2, 1, 2, 1, 2},
                     .fold = Fold::Ten,
                     .adds_product_digits = true},
                    {.position = 12, .weights = {3, 2, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2}}}}}},
      {"PA", {nine_digits({"15"})}},
      {"PB", {nine_digits({})}},
      {"PR",
       {{.length = 10,
         .checks = {{.position = 8, .weights = {3, 2, 7, 6, 5, 4, 3, 2}},
                    {.position = 9, .weights = {4, 3, 2, 7, 6, 5, 4, 3, 2}}}}}},
      // Nine digits (eFisco) or the older fourteen (CACEPE).
      {"PE",
       {{.length = 9,
         .checks = {{.position = 7, .weights = {8, 7, 6, 5, 4, 3, 2}},
                    {.position = 8, .weights = nine_to_two}}},
        {.length = 14,
         .checks = {{.position = 13,
                     .weights = {5, 4, 3, 2, 1, 9, 8, 7, 6, 5, 4, 3, 2},
                     .fold = Fold::ElevenWrapping}}}}},
      {"PI", {nine_digits({})}},
      {"RJ", {{.length = 8, .checks = {{.position = 7, .weights = {2, 7, 6, 5, 4, 3, 2}}}}}},
      // Sum times 10, modulo 11, is the same digit as 11 - r.
      {"RN",
       {nine_digits({"20"}),
        {.length = 10,
         .prefixes = {"20"},
         .checks = {{.position = 9, .weights = {10, 9, 8, 7, 6, 5, 4, 3, 2}}}}}},
      {"RS", {{.length = 10, .checks = {{.position = 9, .weights = {2, 9, 8, 7, 6, 5, 4, 3, 2}}}}}},
      // Before August 2000: a town code the digit leaves out, five digits and the
      // digit; since: fourteen digits.
      {"RO",
       {{.length = 9,
         .checks = {{.position = 8, .weights = {0, 0, 0, 6, 5, 4, 3, 2}, .fold = Fold::ElevenWrapping}}},
        {.length = 14,
         .checks = {{.position = 13,
                     .weights = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2},
                     .fold = Fold::ElevenWrapping}}}}},
      {"RR",
       {{.length = 9,
         .prefixes = {"24"},
         .checks = {{.position = 8, .weights = {1, 2, 3, 4, 5, 6, 7, 8}, .fold = Fold::Nine}}}}},
      {"SC", {nine_digits({})}},
      // Industry and trade: twelve digits; rural producers: P0MMMSSSSD000.
      {"SP",
       {{.length = 12,
         .checks = {{.position = 8, .weights = {1, 3, 4, 5, 6, 7, 8, 10}, .fold = Fold::ElevenLastDigit},
                    {.position = 11,
                     .weights = {3, 2, 10, 9, 8, 7, 6, 5, 4, 3, 2},
                     .fold = Fold::ElevenLastDigit}}},
        {.length = 13,
         .prefixes = {"P"},
         .checks =
             {{.position = 9, .weights = {0, 1, 3, 4, 5, 6, 7, 8, 10}, .fold = Fold::ElevenLastDigit}}}}},
      {"SE", {nine_digits({})}},
      // Nine digits; the older eleven carry the kind of company in the third and
      // fourth digits, which the check digit leaves out.
      {"TO",
       {nine_digits({}),
        {.length = 11,
         .holds =
             [](std::string_view n) {
               const std::string_view kind = n.substr(2, 2);
               return kind == "01" || kind == "02" || kind == "03" || kind == "99";
             },
         .checks = {{.position = 10, .weights = {9, 8, 0, 0, 7, 6, 5, 4, 3, 2}}}}}},
  };
}

const std::vector<StateRule>& Rules() {
  static const std::vector<StateRule> rules = BuildRules();
  return rules;
}

bool AllDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool Matches(const Format& format, std::string_view number) {
  std::size_t prefix_length = 0;
  if (!format.prefixes.empty()) {
    const auto prefix = std::find_if(format.prefixes.begin(), format.prefixes.end(),
                                     [&](std::string_view p) { return number.starts_with(p); });
    if (prefix == format.prefixes.end()) return false;
    prefix_length = prefix->size();
  }
  if (!AllDigits(number.substr(prefix_length))) return false;
  if (format.holds != nullptr && !format.holds(number)) return false;
  return std::all_of(format.checks.begin(), format.checks.end(),
                     [&](const Check& check) { return Passes(check, number); });
}

// The field's text as a number of `length` characters: as written, without the
// zeros a right-aligned field was filled with, or zero-filled up to `length`
// where the state itself does that.
std::optional<std::string> Fitted(std::string_view text, std::size_t length, bool pads_short_numbers) {
  if (text.size() == length) return std::string(text);
  if (text.size() > length) {
    const std::size_t extra = text.size() - length;
    if (text.find_first_not_of('0') < extra) return std::nullopt;
    return std::string(text.substr(extra));
  }
  if (pads_short_numbers && AllDigits(text))
    return std::string(length - text.size(), '0') + std::string(text);
  return std::nullopt;
}

}  // namespace

bool ValidStateRegistration(const std::string& uf, const std::string& ie) {
  const std::size_t first = ie.find_first_not_of(' ');
  if (first == std::string::npos) return false;
  const std::string_view text = std::string_view(ie).substr(first, ie.find_last_not_of(' ') - first + 1);
  const auto& rules = Rules();
  const auto rule = std::find_if(rules.begin(), rules.end(), [&](const StateRule& r) { return r.uf == uf; });
  if (rule == rules.end()) return false;
  return std::any_of(rule->formats.begin(), rule->formats.end(), [&](const Format& format) {
    const auto number = Fitted(text, format.length, rule->pads_short_numbers);
    return number.has_value() && Matches(format, *number);
  });
}

}  // namespace layout
