#pragma once
// The document models each register group takes, one list per register: a
// 51, 53 or 54 line always stands for a document that has its 50 lines.
#include <string>
#include <vector>

namespace server {

// NF 1/1-A, NF de produtor, energy bills, communication and telecommunication
// bills, NF-e. Consumer notes (02, 65) belong to other registers.
inline const std::vector<std::string> kModels50 = {"01", "04", "06", "21", "22", "55"};
// The documents of 50 but energy (06) and telecommunication (22) bills,
// which the validators refuse in 51 and 53.
inline const std::vector<std::string> kModels51 = {"01", "04", "21", "55"};
inline const std::vector<std::string> kModels53 = kModels51;
// The items of NF 1/1-A and NF-e.
inline const std::vector<std::string> kModels54 = {"01", "55"};

// Consumer documents not issued by a fiscal printer: NF de venda a
// consumidor, passenger tickets (road, water, baggage, rail) and NFC-e.
inline const std::vector<std::string> kModels61 = {"02", "13", "14", "15", "16", "65"};
// The monthly item summary covers the items of NF de venda a consumidor only.
inline const std::vector<std::string> kModels61R = {"02"};
// Transport documents: NF de serviço de transporte, the road, water, air,
// rail and multimodal bills of lading, the rail transport note, CT-e and
// CT-e OS.
inline const std::vector<std::string> kModels70 = {"07", "08", "09", "10", "11", "26", "27", "57", "67"};

// The situations of a document that reports its number and no values:
// cancelled, cancelled and entered late, denied, number voided.
inline const char* const kSituationsWithoutValues = "('S', 'X', '2', '4')";

// "('01', '04')" for a statement text; the lists are the constants above,
// never a value from outside.
inline std::string SqlList(const std::vector<std::string>& models) {
  std::string list = "(";
  for (std::size_t i = 0; i < models.size(); ++i) list += (i ? ", '" : "'") + models[i] + "'";
  return list + ")";
}

}  // namespace server
