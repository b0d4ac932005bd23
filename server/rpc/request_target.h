#pragma once
// The parts of a request target: its path and its query's values,
// percent-decoded.
#include <map>
#include <optional>
#include <string>

namespace server {

// The path, decoded; nullopt for a broken %-escape.
std::optional<std::string> TargetPath(const std::string& target);
// The query's name=value pairs, decoded ('+' is a blank); nullopt for a
// broken %-escape. A name given twice keeps its last value.
std::optional<std::map<std::string, std::string>> TargetQuery(const std::string& target);

}  // namespace server
