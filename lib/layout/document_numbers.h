#pragma once
// Check digits of the federal registrations: CNPJ (companies, 14 digits) and
// CPF (persons, 11 digits), the Receita Federal's modulo-11 rule.
#include <string>
#include <string_view>

namespace layout {

// At least one character, and digits only.
bool AllDigits(std::string_view text);

// Exactly 14 digits whose two check digits are right, and not all equal.
bool ValidCnpj(std::string_view digits);
// Exactly 11 digits whose two check digits are right, and not all equal.
bool ValidCpf(std::string_view digits);
// A party's number as a CNPJ field holds it: a valid CNPJ, or a valid CPF
// (alone or zero-filled to 14 digits).
bool ValidCnpjOrCpf(std::string_view digits);
// A number as one person or company is known: a CNPJ's 14 digits, a CPF's
// 11 (a valid CPF zero-filled to 14 loses its zeros); anything else as given.
std::string CanonicalNumber(std::string_view digits);

}  // namespace layout
