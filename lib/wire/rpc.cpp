#include "lib/wire/rpc.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "lib/wire/latin1.h"

namespace wire {
namespace {

using json = nlohmann::json;

[[noreturn]] void Bad(const std::string& what) { throw ProtocolError(what); }

const json& Member(const json& object, const char* name) {
  if (!object.is_object()) Bad(std::string("expected an object holding '") + name + "'");
  const auto it = object.find(name);
  if (it == object.end()) Bad(std::string("missing member '") + name + "'");
  return *it;
}

std::string Text(const json& value, const char* what) {
  if (!value.is_string()) Bad(std::string(what) + " must be a string");
  return value.get<std::string>();
}

double Number(const json& value, const char* what) {
  if (!value.is_number()) Bad(std::string(what) + " must be a number");
  const double d = value.get<double>();
  if (!std::isfinite(d)) Bad(std::string(what) + " must be finite");
  return d;
}

json EncodeCell(const Cell& cell, FieldType type) {
  if (const auto* text = std::get_if<std::string>(&cell)) {
    return type == FieldType::Bytes ? json(Latin1ToUtf8(*text)) : json(*text);
  }
  if (const auto* number = std::get_if<double>(&cell)) return json(*number);
  return json(nullptr);
}

Cell DecodeCell(const json& value, FieldType type) {
  if (value.is_null()) return std::monostate{};
  if (value.is_number()) return Number(value, "a cell");
  if (value.is_string()) {
    if (type != FieldType::Bytes) return value.get<std::string>();
    try {
      return Utf8ToLatin1(value.get<std::string>());
    } catch (const std::invalid_argument&) {
      Bad("a bytes cell holds a character above U+00FF");
    }
  }
  Bad("a cell must be null, a number or a string");
}

json EncodeValue(const Variant& v) {
  switch (v.kind()) {
    case Variant::Kind::Null: return {{"kind", "null"}};
    case Variant::Kind::String: return {{"kind", "string"}, {"value", v.AsString()}};
    case Variant::Kind::Double: return {{"kind", "double"}, {"value", v.AsDouble()}};
    case Variant::Kind::Date: return {{"kind", "date"}, {"value", v.AsDate().value}};
    case Variant::Kind::Array: {
      json items = json::array();
      for (const Variant& item : v.AsArray()) items.push_back(EncodeValue(item));
      return {{"kind", "array"}, {"items", std::move(items)}};
    }
    case Variant::Kind::Packet: {
      const DataPacket& packet = v.AsPacket();
      json fields = json::array();
      for (const FieldDef& f : packet.fields) {
        fields.push_back({{"name", f.name}, {"type", FieldTypeName(f.type)}, {"size", f.size}});
      }
      json rows = json::array();
      for (const auto& row : packet.rows) {
        if (row.size() != packet.fields.size())
          throw std::logic_error("packet row does not match its fields");
        json cells = json::array();
        for (std::size_t i = 0; i < row.size(); ++i)
          cells.push_back(EncodeCell(row[i], packet.fields[i].type));
        rows.push_back(std::move(cells));
      }
      return {{"kind", "packet"}, {"fields", std::move(fields)}, {"rows", std::move(rows)}};
    }
  }
  return {{"kind", "null"}};
}

Variant DecodeValue(const json& j, int depth = 0) {
  if (depth > 16) Bad("values nest too deeply");
  const std::string kind = Text(Member(j, "kind"), "kind");
  if (kind == "null") return {};
  if (kind == "string") return Text(Member(j, "value"), "a string value");
  if (kind == "double") return Number(Member(j, "value"), "a double value");
  if (kind == "date") return DateTime{Number(Member(j, "value"), "a date value")};
  if (kind == "array") {
    const json& items = Member(j, "items");
    if (!items.is_array()) Bad("items must be an array");
    VariantArray values;
    for (const json& item : items) values.push_back(DecodeValue(item, depth + 1));
    return values;
  }
  if (kind == "packet") {
    DataPacket packet;
    const json& fields = Member(j, "fields");
    const json& rows = Member(j, "rows");
    if (!fields.is_array() || !rows.is_array()) Bad("fields and rows must be arrays");
    for (const json& f : fields) {
      FieldDef def;
      def.name = Text(Member(f, "name"), "a field name");
      try {
        def.type = FieldTypeFromName(Text(Member(f, "type"), "a field type"));
      } catch (const std::invalid_argument& e) {
        Bad(e.what());
      }
      def.size = static_cast<int>(Number(Member(f, "size"), "a field size"));
      packet.fields.push_back(std::move(def));
    }
    for (const json& r : rows) {
      if (!r.is_array() || r.size() != packet.fields.size()) Bad("every row must hold one cell per field");
      std::vector<Cell> cells;
      cells.reserve(r.size());
      for (std::size_t i = 0; i < r.size(); ++i) cells.push_back(DecodeCell(r[i], packet.fields[i].type));
      packet.rows.push_back(std::move(cells));
    }
    return packet;
  }
  Bad("unknown value kind '" + kind + "'");
}

json Parse(const std::string& body) {
  try {
    return json::parse(body);
  } catch (const json::parse_error& e) {
    Bad(std::string("the body is not JSON: ") + e.what());
  }
}

std::string Dump(const json& j) {
  try {
    return j.dump();
  } catch (const json::type_error& e) {
    throw std::runtime_error(std::string("cannot encode the message: ") + e.what());
  }
}

const ErrorKind kKinds[] = {ErrorKind::BadRequest,   ErrorKind::UnknownServer, ErrorKind::UnknownMethod,
                            ErrorKind::BadArguments, ErrorKind::TooLarge,      ErrorKind::ServerFailure};

}  // namespace

const char* ErrorKindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::BadRequest: return "bad-request";
    case ErrorKind::UnknownServer: return "unknown-server";
    case ErrorKind::UnknownMethod: return "unknown-method";
    case ErrorKind::BadArguments: return "bad-arguments";
    case ErrorKind::TooLarge: return "too-large";
    case ErrorKind::ServerFailure: return "server-failure";
  }
  return "server-failure";
}

int ErrorStatus(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::BadRequest:
    case ErrorKind::BadArguments: return 400;
    case ErrorKind::UnknownServer:
    case ErrorKind::UnknownMethod: return 404;
    case ErrorKind::TooLarge: return 413;
    case ErrorKind::ServerFailure: return 500;
  }
  return 500;
}

std::string EncodeRequest(const CallRequest& request) {
  json args = json::array();
  for (const Argument& a : request.arguments) {
    json value = EncodeValue(a.value);
    if (a.by_reference) value["byref"] = true;
    args.push_back(std::move(value));
  }
  return Dump({{"server", request.server}, {"method", request.method}, {"args", std::move(args)}});
}

CallRequest DecodeRequest(const std::string& body) {
  const json j = Parse(body);
  CallRequest request;
  request.server = Text(Member(j, "server"), "server");
  request.method = Text(Member(j, "method"), "method");
  const json& args = Member(j, "args");
  if (!args.is_array()) Bad("args must be an array");
  for (const json& a : args) {
    Argument argument{DecodeValue(a), false};
    if (const auto it = a.find("byref"); it != a.end()) {
      if (!it->is_boolean()) Bad("byref must be true or false");
      argument.by_reference = it->get<bool>();
    }
    request.arguments.push_back(std::move(argument));
  }
  return request;
}

std::string EncodeReply(const CallReply& reply) {
  json by_reference = json::array();
  for (const auto& [index, value] : reply.by_reference) {
    by_reference.push_back({{"index", index}, {"value", EncodeValue(value)}});
  }
  return Dump({{"result", EncodeValue(reply.result)}, {"byref", std::move(by_reference)}});
}

std::string EncodeError(const CallError& error) {
  return Dump({{"error", {{"kind", ErrorKindName(error.kind)}, {"message", error.message}}}});
}

std::variant<CallReply, CallError> DecodeReply(const std::string& body) {
  const json j = Parse(body);
  if (j.is_object() && j.contains("error")) {
    const json& e = j["error"];
    CallError error;
    error.message = Text(Member(e, "message"), "an error message");
    const std::string kind = Text(Member(e, "kind"), "an error kind");
    error.kind = ErrorKind::ServerFailure;
    for (ErrorKind k : kKinds) {
      if (kind == ErrorKindName(k)) error.kind = k;
    }
    return error;
  }
  CallReply reply;
  reply.result = DecodeValue(Member(j, "result"));
  if (const auto it = j.find("byref"); it != j.end()) {
    if (!it->is_array()) Bad("byref must be an array");
    for (const json& b : *it) {
      const double index = Number(Member(b, "index"), "a byref index");
      if (index < 0 || index != std::floor(index)) Bad("a byref index must be a whole number");
      reply.by_reference.emplace_back(static_cast<std::size_t>(index), DecodeValue(Member(b, "value")));
    }
  }
  return reply;
}

std::string EncodeServerInfo(const std::string& server, const std::vector<std::string>& methods) {
  return Dump({{"server", server}, {"methods", methods}});
}

std::string DecodeServerInfo(const std::string& body) {
  return Text(Member(Parse(body), "server"), "server");
}

}  // namespace wire
