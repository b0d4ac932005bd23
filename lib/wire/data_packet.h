#pragma once
// A data packet: the table that a server method returns and a client dataset
// loads. It carries its own field definitions so that a reader needs nothing
// else to interpret the rows.
#include <cstddef>
#include <string>
#include <variant>
#include <vector>

namespace wire {

// Bytes fields carry 8-bit text (register lines in ISO-8859-1) byte for byte;
// String fields carry UTF-8 text.
enum class FieldType { String, Float, Integer, Date, Bytes };

const char* FieldTypeName(FieldType type);
// Throws std::invalid_argument for a name that is no field type.
FieldType FieldTypeFromName(const std::string& name);

struct FieldDef {
  std::string name;
  FieldType type = FieldType::String;
  int size = 0;  // characters, for strings; 0 otherwise
};

// One value of a row: NULL, a text (bytes in the host's 8-bit text) or a number.
using Cell = std::variant<std::monostate, std::string, double>;

struct DataPacket {
  std::vector<FieldDef> fields;
  std::vector<std::vector<Cell>> rows;

  // Index of the field with that name (case-insensitive), or npos.
  std::size_t FieldIndex(const std::string& name) const;
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);
};

// Text of a cell as a dataset field presents it: NULL is the empty text,
// numbers are written without a trailing ".0" and with "." as decimal point.
std::string CellText(const Cell& cell);

}  // namespace wire
