#pragma once
// Check digits of the state registration (Inscrição Estadual) of each of the
// 27 Brazilian states, by the rules the states publish; docs/state-registration.md
// lists them with their sources.
#include <string>

namespace layout {

// True when `ie` is a well-formed registration of the state `uf` (two
// upper-case letters). `ie` is taken as a magnetic-file field holds it: blanks
// around it are ignored, and so are the leading zeros of a right-aligned,
// zero-filled field. São Paulo's rural producers are written "P" + 12 digits.
// "ISENTO" and unknown states are not registrations: false.
bool ValidStateRegistration(const std::string& uf, const std::string& ie);

}  // namespace layout
