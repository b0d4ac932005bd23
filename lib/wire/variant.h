#pragma once
// The values that cross the line between the module and the application
// server: arguments of a call and its reply. Mirrors the late-bound variant of
// the host platform closely enough for the module's needs.
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "lib/wire/data_packet.h"

namespace wire {

// A date-time of the host: days since 30 December 1899, fraction = time of day.
struct DateTime {
  double value = 0;
  bool operator==(const DateTime&) const = default;
};

class Variant;
using VariantArray = std::vector<Variant>;

class Variant {
 public:
  enum class Kind { Null, String, Double, Date, Packet, Array };

  Variant() = default;
  Variant(const char* text) : value_(std::string(text)) {}
  Variant(std::string text) : value_(std::move(text)) {}
  Variant(double number) : value_(number) {}
  Variant(DateTime date) : value_(date) {}
  Variant(DataPacket packet) : value_(std::make_shared<const DataPacket>(std::move(packet))) {}
  Variant(VariantArray items) : value_(std::make_shared<const VariantArray>(std::move(items))) {}

  Kind kind() const { return static_cast<Kind>(value_.index()); }
  bool IsNull() const { return kind() == Kind::Null; }

  // Each accessor throws std::runtime_error naming the kinds when the value is
  // of another kind: a reply of an unexpected shape must never be misread.
  const std::string& AsString() const;
  double AsDouble() const;
  DateTime AsDate() const;
  const DataPacket& AsPacket() const;
  const VariantArray& AsArray() const;

  bool operator==(const Variant& other) const;

 private:
  // Packets and arrays are immutable once built, so sharing them is safe and
  // keeps copies of large replies cheap.
  std::variant<std::monostate, std::string, double, DateTime, std::shared_ptr<const DataPacket>,
               std::shared_ptr<const VariantArray>>
      value_;
};

const char* KindName(Variant::Kind kind);

}  // namespace wire
