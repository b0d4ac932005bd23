#include "lib/wire/variant.h"

#include <stdexcept>

namespace wire {

const char* KindName(Variant::Kind kind) {
  switch (kind) {
    case Variant::Kind::Null: return "null";
    case Variant::Kind::String: return "string";
    case Variant::Kind::Double: return "double";
    case Variant::Kind::Date: return "date";
    case Variant::Kind::Packet: return "packet";
    case Variant::Kind::Array: return "array";
  }
  return "unknown";
}

namespace {
[[noreturn]] void WrongKind(Variant::Kind want, Variant::Kind have) {
  throw std::runtime_error(std::string("variant holds a ") + KindName(have) + ", not a " + KindName(want));
}
}  // namespace

const std::string& Variant::AsString() const {
  if (kind() != Kind::String) WrongKind(Kind::String, kind());
  return std::get<std::string>(value_);
}

double Variant::AsDouble() const {
  if (kind() == Kind::Date) return std::get<DateTime>(value_).value;
  if (kind() != Kind::Double) WrongKind(Kind::Double, kind());
  return std::get<double>(value_);
}

DateTime Variant::AsDate() const {
  if (kind() == Kind::Double) return DateTime{std::get<double>(value_)};
  if (kind() != Kind::Date) WrongKind(Kind::Date, kind());
  return std::get<DateTime>(value_);
}

const DataPacket& Variant::AsPacket() const {
  if (kind() != Kind::Packet) WrongKind(Kind::Packet, kind());
  return *std::get<std::shared_ptr<const DataPacket>>(value_);
}

const VariantArray& Variant::AsArray() const {
  if (kind() != Kind::Array) WrongKind(Kind::Array, kind());
  return *std::get<std::shared_ptr<const VariantArray>>(value_);
}

bool Variant::operator==(const Variant& other) const {
  if (kind() != other.kind()) return false;
  switch (kind()) {
    case Kind::Null: return true;
    case Kind::String: return AsString() == other.AsString();
    case Kind::Double: return AsDouble() == other.AsDouble();
    case Kind::Date: return AsDate() == other.AsDate();
    case Kind::Packet: {
      const auto& a = AsPacket();
      const auto& b = other.AsPacket();
      if (a.rows != b.rows || a.fields.size() != b.fields.size()) return false;
      for (std::size_t i = 0; i < a.fields.size(); ++i) {
        if (a.fields[i].name != b.fields[i].name || a.fields[i].type != b.fields[i].type ||
            a.fields[i].size != b.fields[i].size)
          return false;
      }
      return true;
    }
    case Kind::Array: return AsArray() == other.AsArray();
  }
  return false;
}

}  // namespace wire
