#include "lib/wire/registro_call.h"

namespace wire {

const std::array<RegistroArgumentSpec, kRegistroArgumentCount>& RegistroArguments() {
  using K = Variant::Kind;
  static const std::array<RegistroArgumentSpec, kRegistroArgumentCount> specs = {{
      {"register mask", K::String, true},
      {"tax", K::String, false},
      {"company", K::String, false},
      {"registration", K::String, false},
      {"substitute registration", K::String, false},
      {"first day", K::Date, false},
      {"last day", K::Date, false},
      {"country", K::String, false},
      {"states", K::String, true},
      {"convention version", K::String, false},
      {"purpose", K::String, false},
      {"file name", K::String, false},
      {"file type", K::String, false},
      {"magnetic book", K::String, false},
      {"inventory day", K::Date, false},
      {"continuation key", K::String, true},
      {"first page", K::String, false},
      {"page start", K::Double, true},
      {"page end", K::Double, true},
  }};
  return specs;
}

std::vector<Argument> EncodeRegistro(const RegistroRequest& r) {
  const Variant values[kRegistroArgumentCount] = {r.mask,
                                                  r.tax,
                                                  r.company,
                                                  r.registration,
                                                  r.substitute,
                                                  DateTime{r.first_day},
                                                  DateTime{r.last_day},
                                                  r.country,
                                                  r.states,
                                                  r.version,
                                                  r.purpose,
                                                  r.file_name,
                                                  r.file_type,
                                                  r.book,
                                                  DateTime{r.inventory},
                                                  r.key,
                                                  r.first_page,
                                                  r.start,
                                                  r.end};
  std::vector<Argument> arguments;
  arguments.reserve(kRegistroArgumentCount);
  for (std::size_t i = 0; i < kRegistroArgumentCount; ++i)
    arguments.push_back({values[i], RegistroArguments()[i].by_reference});
  return arguments;
}

RegistroRequest DecodeRegistro(const std::vector<Argument>& a) {
  RegistroRequest r;
  r.mask = a.at(kMaskArg).value.AsString();
  r.tax = a.at(kTaxArg).value.AsString();
  r.company = a.at(kCompanyArg).value.AsString();
  r.registration = a.at(kRegistrationArg).value.AsString();
  r.substitute = a.at(kSubstituteArg).value.AsString();
  r.first_day = a.at(kFirstDayArg).value.AsDate().value;
  r.last_day = a.at(kLastDayArg).value.AsDate().value;
  r.country = a.at(kCountryArg).value.AsString();
  r.states = a.at(kStatesArg).value.AsString();
  r.version = a.at(kVersionArg).value.AsString();
  r.purpose = a.at(kPurposeArg).value.AsString();
  r.file_name = a.at(kFileNameArg).value.AsString();
  r.file_type = a.at(kFileTypeArg).value.AsString();
  r.book = a.at(kBookArg).value.AsString();
  r.inventory = a.at(kInventoryDayArg).value.AsDate().value;
  r.key = a.at(kKeyArg).value.AsString();
  r.first_page = a.at(kFirstPageArg).value.AsString();
  r.start = a.at(kPageStartArg).value.AsDouble();
  r.end = a.at(kPageEndArg).value.AsDouble();
  return r;
}

std::optional<RegistroReply> DecodeRegistroReply(const VariantArray& items) {
  using Kind = Variant::Kind;
  if (items.size() != kRegistroReplySize || items[kStatusItem].kind() != Kind::String ||
      items[kLinesItem].kind() != Kind::Packet || items[kMoreItem].kind() != Kind::String ||
      items[kKeyItem].kind() != Kind::String)
    return std::nullopt;
  RegistroReply reply;
  reply.status = items[kStatusItem].AsString();
  reply.lines = &items[kLinesItem].AsPacket();
  if (items[kDirectoryItem].kind() == Kind::String) reply.directory = items[kDirectoryItem].AsString();
  reply.more = items[kMoreItem].AsString() == "S";
  reply.key = items[kKeyItem].AsString();
  return reply;
}

}  // namespace wire
