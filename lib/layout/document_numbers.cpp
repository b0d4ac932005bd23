#include "lib/layout/document_numbers.h"

#include <algorithm>

namespace layout {
namespace {

// The digit for the `count` digits before it, with weights counting down from
// `first` and restarting at 9 after 2 (the CNPJ) or going on down (the CPF).
int Digit(std::string_view digits, std::size_t count, int first, bool restart_at_nine) {
  int sum = 0;
  int weight = first;
  for (std::size_t i = 0; i < count; ++i) {
    sum += (digits[i] - '0') * weight;
    weight = weight == 2 && restart_at_nine ? 9 : weight - 1;
  }
  const int r = sum % 11;
  return r < 2 ? 0 : 11 - r;
}

bool Checked(std::string_view digits, std::size_t body, int first, bool restart_at_nine) {
  if (digits.size() != body + 2 || !AllDigits(digits)) return false;
  if (std::all_of(digits.begin(), digits.end(), [&](char c) { return c == digits[0]; })) return false;
  return Digit(digits, body, first, restart_at_nine) == digits[body] - '0' &&
         Digit(digits, body + 1, first + 1, restart_at_nine) == digits[body + 1] - '0';
}

}  // namespace

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool ValidCnpj(std::string_view digits) { return Checked(digits, 12, 5, true); }

bool ValidCpf(std::string_view digits) { return Checked(digits, 9, 10, false); }

std::string CanonicalNumber(std::string_view digits) {
  if (digits.size() == 14 && !ValidCnpj(digits) && digits.substr(0, 3) == "000" && ValidCpf(digits.substr(3)))
    return std::string(digits.substr(3));
  return std::string(digits);
}

bool ValidCnpjOrCpf(std::string_view digits) {
  if (ValidCnpj(digits) || ValidCpf(digits)) return true;
  return digits.size() == 14 && digits.substr(0, 3) == "000" && ValidCpf(digits.substr(3));
}

}  // namespace layout
