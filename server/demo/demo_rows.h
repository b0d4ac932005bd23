#pragma once
// What the demo loaders share: numbers as the text a code or a number field holds.
#include <cstdint>
#include <string>

namespace server::demo {

inline std::string Num(std::int64_t v) { return std::to_string(v); }

}  // namespace server::demo
