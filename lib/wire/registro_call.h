#pragma once
// The call GetRegistro, defined once: its 19 arguments by name, in their
// order on the wire, with their kinds and which travel by reference; and the
// elements of its reply. The screen's export, the server, the batch host,
// the tests and the benchmarks all go through this.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "lib/wire/rpc.h"

namespace wire {

inline constexpr const char* kGetRegistro = "GetRegistro";

// Positions of the arguments.
enum RegistroPosition : std::size_t {
  kMaskArg,
  kTaxArg,
  kCompanyArg,
  kRegistrationArg,
  kSubstituteArg,
  kFirstDayArg,
  kLastDayArg,
  kCountryArg,
  kStatesArg,
  kVersionArg,
  kPurposeArg,
  kFileNameArg,
  kFileTypeArg,
  kBookArg,
  kInventoryDayArg,
  kKeyArg,
  kFirstPageArg,
  kPageStartArg,
  kPageEndArg,
  kRegistroArgumentCount
};

struct RegistroArgumentSpec {
  const char* name;  // as messages name it
  Variant::Kind kind;
  bool by_reference;
};
const std::array<RegistroArgumentSpec, kRegistroArgumentCount>& RegistroArguments();

// The values of one call.
struct RegistroRequest {
  std::string mask, tax, company, registration, substitute;
  double first_day = 0, last_day = 0;  // host dates
  std::string country, states, version, purpose, file_name, file_type, book;
  double inventory = 0;  // host date
  std::string key, first_page;
  double start = 0, end = 0;
};

std::vector<Argument> EncodeRegistro(const RegistroRequest& request);
// The values of arguments whose kinds were checked against RegistroArguments.
RegistroRequest DecodeRegistro(const std::vector<Argument>& arguments);

// Positions of the elements of the reply array.
enum RegistroReplyPosition : std::size_t { kStatusItem, kLinesItem, kDirectoryItem, kMoreItem, kKeyItem };
inline constexpr std::size_t kRegistroReplySize = 5;

// The reply read once for every caller.
struct RegistroReply {
  std::string status;                 // "OK", "PARAM", "MP_BLOQ" or a text for the user
  const DataPacket* lines = nullptr;  // the page's lines, inside the decoded array
  std::string directory;              // where the file goes; empty when the server names none
  bool more = false;                  // more pages follow
  std::string key;                    // the continuation key
};
// Nullopt for an array of any other shape: five items, the status, the
// flag and the key strings, the lines a data packet.
std::optional<RegistroReply> DecodeRegistroReply(const VariantArray& items);

}  // namespace wire
