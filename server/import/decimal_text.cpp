#include "server/import/decimal_text.h"

#include "server/import/imported_document.h"

namespace server::import {

std::int64_t Scaled(const std::string& text, int decimals, const std::string& what) {
  const auto refuse = [&] { return ImportRefused(what + ": '" + text + "' não é um número (como 1234.56)"); };
  std::int64_t value = 0;
  int places = -1;  // decimals read so far; -1 before the point
  bool round_up = false, digits = false;
  for (char c : text) {
    if (c == '.' && places < 0) {
      places = 0;
      continue;
    }
    if (c < '0' || c > '9') throw refuse();
    digits = true;
    if (places >= decimals) {
      // The first digit beyond the places decides the rounding.
      if (places == decimals) round_up = c >= '5';
      ++places;
      continue;
    }
    if (value > (INT64_MAX - 9) / 10) throw ImportRefused(what + ": '" + text + "' é grande demais");
    value = value * 10 + (c - '0');
    if (places >= 0) ++places;
  }
  if (!digits || text.back() == '.') throw refuse();
  for (int k = places < 0 ? 0 : std::min(places, decimals); k < decimals; ++k) {
    if (value > INT64_MAX / 10) throw ImportRefused(what + ": '" + text + "' é grande demais");
    value *= 10;
  }
  return value + (round_up ? 1 : 0);
}

}  // namespace server::import
