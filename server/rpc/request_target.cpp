#include "server/rpc/request_target.h"

#include <string_view>

namespace server {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> Decode(std::string_view raw, bool plus_is_blank) {
  std::string text;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '+' && plus_is_blank) {
      text += ' ';
    } else if (raw[i] != '%') {
      text += raw[i];
    } else {
      if (i + 2 >= raw.size()) return std::nullopt;
      const int high = HexValue(raw[i + 1]), low = HexValue(raw[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      text += static_cast<char>(high * 16 + low);
      i += 2;
    }
  }
  return text;
}

}  // namespace

std::optional<std::string> TargetPath(const std::string& target) {
  return Decode(std::string_view(target).substr(0, target.find('?')), false);
}

std::optional<std::map<std::string, std::string>> TargetQuery(const std::string& target) {
  std::map<std::string, std::string> values;
  const auto mark = target.find('?');
  if (mark == std::string::npos) return values;
  std::string_view rest = std::string_view(target).substr(mark + 1);
  while (!rest.empty()) {
    const auto amp = rest.find('&');
    const std::string_view pair = rest.substr(0, amp);
    rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
    if (pair.empty()) continue;
    const auto eq = pair.find('=');
    const auto name = Decode(pair.substr(0, eq), true);
    const auto value = Decode(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1), true);
    if (!name || !value) return std::nullopt;
    values[*name] = *value;
  }
  return values;
}

}  // namespace server
