#pragma once
// Numbers as the electronic documents write them ("1234.5", decimal point,
// no sign, no thousands separator) turned into the whole numbers the tables
// keep.
#include <cstdint>
#include <string>

namespace server::import {

// `text` times 10^decimals. More decimals than asked are rounded half up, as
// the file's layout rounds a value to the places of its field. Throws
// ImportRefused naming `what` for text that is not such a number or does
// not fit.
std::int64_t Scaled(const std::string& text, int decimals, const std::string& what);

}  // namespace server::import
