#include "lib/wire/data_packet.h"

#include <strings.h>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace wire {

const char* FieldTypeName(FieldType type) {
  switch (type) {
    case FieldType::String: return "string";
    case FieldType::Float: return "float";
    case FieldType::Integer: return "integer";
    case FieldType::Date: return "date";
    case FieldType::Bytes: return "bytes";
  }
  return "string";
}

FieldType FieldTypeFromName(const std::string& name) {
  for (FieldType t :
       {FieldType::String, FieldType::Float, FieldType::Integer, FieldType::Date, FieldType::Bytes}) {
    if (name == FieldTypeName(t)) return t;
  }
  throw std::invalid_argument("unknown field type '" + name + "'");
}

std::size_t DataPacket::FieldIndex(const std::string& name) const {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (strcasecmp(fields[i].name.c_str(), name.c_str()) == 0) return i;
  }
  return npos;
}

std::string CellText(const Cell& cell) {
  if (const auto* text = std::get_if<std::string>(&cell)) return *text;
  if (const auto* number = std::get_if<double>(&cell)) {
    if (!std::isfinite(*number)) return {};
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, *number);
    if (ec != std::errc{}) return {};
    return std::string(buffer, end);
  }
  return {};
}

}  // namespace wire
