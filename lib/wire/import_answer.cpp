#include "lib/wire/import_answer.h"

#include <nlohmann/json.hpp>

#include "lib/wire/rpc.h"

namespace wire {
namespace {

std::string Line(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string EncodeImportLine(const ImportFileLine& line) {
  return Line({{"file", line.file}, {"outcome", line.outcome}, {"reason", line.reason}});
}

std::string EncodeImportLine(const ImportSummaryLine& line) {
  nlohmann::json counts = nlohmann::json::object();
  for (const auto& [name, count] : line.counts) counts[name] = count;
  if (line.stopped) counts["stopped"] = *line.stopped;
  return Line({{"summary", counts}, {"text", line.text}});
}

ImportAnswerLine DecodeImportLine(std::string_view text) {
  nlohmann::json value;
  try {
    value = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    throw ProtocolError(std::string("linha de importação que não é JSON: ") + e.what());
  }
  try {
    if (!value.is_object()) throw ProtocolError("linha de importação que não é um objeto");
    if (value.contains("summary")) {
      ImportSummaryLine summary;
      for (const auto& [name, count] : value.at("summary").items()) {
        if (name == "stopped") {
          summary.stopped = count.get<std::string>();
        } else {
          summary.counts[name] = count.get<long>();
        }
      }
      summary.text = value.value("text", "");
      return summary;
    }
    return ImportFileLine{value.at("file").get<std::string>(), value.at("outcome").get<std::string>(),
                          value.value("reason", "")};
  } catch (const nlohmann::json::exception& e) {
    throw ProtocolError(std::string("linha de importação malformada: ") + e.what());
  }
}

}  // namespace wire
