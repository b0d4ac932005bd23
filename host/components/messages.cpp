#include "host/components/messages.h"

#include <stdexcept>

namespace comp {

void TMessages::SetEntries(std::vector<std::string> entries) {
  std::vector<std::pair<std::string, std::string>> parsed;
  for (const std::string& entry : entries) {
    const auto bar = entry.find('|');
    if (bar == std::string::npos) throw std::invalid_argument(Name() + ": entry without '|': " + entry);
    std::string key = entry.substr(0, bar);
    for (const auto& [k, t] : parsed) {
      if (k == key) throw std::invalid_argument(Name() + ": key '" + key + "' stored twice");
    }
    parsed.emplace_back(std::move(key), entry.substr(bar + 1));
  }
  entries_ = std::move(entries);
  parsed_ = std::move(parsed);
}

const std::string& TMessages::Msg(const std::string& key) const {
  for (const auto& [k, text] : parsed_) {
    if (k == key) return text;
  }
  throw std::out_of_range(Name() + ": no message under the key '" + key + "'");
}

}  // namespace comp
