#include "lib/wire/rpc.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>
#include <string_view>

#include "lib/text/utf8.h"
#include "lib/wire/block_codec.h"
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

// What to do with bytes that are no UTF-8: a reply must not carry them (the
// client could not read it), a message shows them as \xHH.
enum class BadBytes { Refuse, Escape };

// Replies can carry 50,000 register lines: they are written straight into
// the body text, without building a JSON document in memory first.
void WriteString(std::string& out, const std::string& text, BadBytes bad = BadBytes::Refuse) {
  out += '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const std::size_t n = ::text::utf8::SequenceLength(text, i); n > 0) {
      out.append(text, i, n);
      i += n - 1;
    } else if (bad == BadBytes::Escape) {
      static const char kHex[] = "0123456789ABCDEF";
      out += "\\\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      throw std::runtime_error("cannot encode the message: a text is not valid UTF-8");
    }
  }
  out += '"';
}

void WriteNumber(std::string& out, double value) {
  if (!std::isfinite(value)) throw std::runtime_error("cannot encode the message: a number is not finite");
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, end);
}

void WriteCell(std::string& out, const Cell& cell, FieldType type) {
  if (const auto* text = std::get_if<std::string>(&cell)) {
    WriteString(out, type == FieldType::Bytes ? Latin1ToUtf8(*text) : *text);
  } else if (const auto* number = std::get_if<double>(&cell)) {
    WriteNumber(out, *number);
  } else {
    out += "null";
  }
}

bool NumericField(FieldType type) {
  return type == FieldType::Float || type == FieldType::Integer || type == FieldType::Date;
}

// The rows of a packet as one deflated block: a row a line, its cells
// separated by TAB, texts as their bytes, numbers as in JSON. Only a packet
// that this says the same as plain rows is packed: no NULL, no TAB or LF in
// a text, a number in every numeric field and a text in every other.
bool Packable(const DataPacket& packet) {
  if (packet.rows.empty()) return false;
  for (const auto& row : packet.rows) {
    if (row.size() != packet.fields.size()) return false;
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (NumericField(packet.fields[i].type)) {
        if (!std::holds_alternative<double>(row[i])) return false;
      } else {
        const auto* text = std::get_if<std::string>(&row[i]);
        if (!text) return false;
        for (const char c : *text)
          if (c == '\t' || c == '\n') return false;
      }
    }
  }
  return true;
}

std::string PackRows(const DataPacket& packet) {
  std::string text;
  for (const auto& row : packet.rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i) text += '\t';
      if (const auto* number = std::get_if<double>(&row[i])) {
        WriteNumber(text, *number);
      } else {
        const std::string& cell = std::get<std::string>(row[i]);
        if (packet.fields[i].type != FieldType::Bytes && !::text::utf8::IsValid(cell))
          throw std::runtime_error("cannot encode the message: a text is not valid UTF-8");
        text += cell;
      }
    }
    text += '\n';
  }
  return PackJoinedLines(text);
}

void WriteValue(std::string& out, const Variant& v, RowEncoding rows) {
  switch (v.kind()) {
    case Variant::Kind::Null: out += R"({"kind":"null"})"; return;
    case Variant::Kind::String:
      out += R"({"kind":"string","value":)";
      WriteString(out, v.AsString());
      out += '}';
      return;
    case Variant::Kind::Double:
    case Variant::Kind::Date:
      out += v.kind() == Variant::Kind::Date ? R"({"kind":"date","value":)" : R"({"kind":"double","value":)";
      WriteNumber(out, v.AsDouble());
      out += '}';
      return;
    case Variant::Kind::Array: {
      out += R"({"kind":"array","items":[)";
      bool first = true;
      for (const Variant& item : v.AsArray()) {
        if (!first) out += ',';
        first = false;
        WriteValue(out, item, rows);
      }
      out += "]}";
      return;
    }
    case Variant::Kind::Packet: {
      const DataPacket& packet = v.AsPacket();
      out += R"({"kind":"packet","fields":[)";
      for (std::size_t i = 0; i < packet.fields.size(); ++i) {
        if (i) out += ',';
        out += R"({"name":)";
        WriteString(out, packet.fields[i].name);
        out += R"(,"type":")";
        out += FieldTypeName(packet.fields[i].type);
        out += R"(","size":)";
        out += std::to_string(packet.fields[i].size);
        out += '}';
      }
      if (rows == RowEncoding::Packed && Packable(packet)) {
        out += R"(],"count":)";
        out += std::to_string(packet.rows.size());
        out += R"(,"packed":")";
        out += PackRows(packet);
        out += "\"}";
        return;
      }
      out += R"(],"rows":[)";
      for (std::size_t r = 0; r < packet.rows.size(); ++r) {
        const auto& row = packet.rows[r];
        if (row.size() != packet.fields.size())
          throw std::logic_error("packet row does not match its fields");
        if (r) out += ',';
        out += '[';
        for (std::size_t i = 0; i < row.size(); ++i) {
          if (i) out += ',';
          WriteCell(out, row[i], packet.fields[i].type);
        }
        out += ']';
      }
      out += "]}";
      return;
    }
  }
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

void UnpackRows(const std::string& packed, double count, DataPacket& packet) {
  std::string text;
  try {
    text = UnpackJoinedLines(packed);
  } catch (const std::invalid_argument& e) {
    Bad(std::string("packed rows: ") + e.what());
  }
  const std::string_view all(text);
  packet.rows.reserve(static_cast<std::size_t>(std::count(all.begin(), all.end(), '\n')));
  for (std::size_t start = 0; start < all.size();) {
    const std::size_t end_of_line = all.find('\n', start);
    const std::string_view line = all.substr(start, end_of_line - start);
    start = end_of_line + 1;
    if (static_cast<double>(packet.rows.size()) >= count)
      Bad("packed rows: the count does not match the rows");
    std::vector<Cell> cells;
    cells.reserve(packet.fields.size());
    std::size_t from = 0;
    for (std::size_t i = 0; i < packet.fields.size(); ++i) {
      const std::size_t tab = line.find('\t', from);
      const bool last = i + 1 == packet.fields.size();
      if (last != (tab == std::string_view::npos)) Bad("packed rows: every row must hold one cell per field");
      const std::size_t end = last ? line.size() : tab;
      const std::string_view cell = line.substr(from, end - from);
      if (NumericField(packet.fields[i].type)) {
        double d = 0;
        const auto [p, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), d);
        if (ec != std::errc() || p != cell.data() + cell.size() || !std::isfinite(d))
          Bad("packed rows: a numeric cell is not a number");
        cells.emplace_back(d);
      } else {
        std::string cell_text(cell);
        if (packet.fields[i].type != FieldType::Bytes && !::text::utf8::IsValid(cell_text))
          Bad("packed rows: a text is not valid UTF-8");
        cells.emplace_back(std::move(cell_text));
      }
      from = end + 1;
    }
    packet.rows.push_back(std::move(cells));
  }
  if (static_cast<double>(packet.rows.size()) != count) Bad("packed rows: the count does not match the rows");
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
    if (!fields.is_array()) Bad("fields must be an array");
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
    if (j.contains("packed")) {
      UnpackRows(Text(j["packed"], "packed rows"), Number(Member(j, "count"), "the count of packed rows"),
                 packet);
      return packet;
    }
    const json& rows = Member(j, "rows");
    if (!rows.is_array()) Bad("rows must be an array");
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
  } catch (const json::exception& e) {
    // Malformed text, bytes that are no UTF-8 and numbers out of range alike.
    Bad(std::string("the body is not JSON: ") + e.what());
  }
}

const ErrorKind kKinds[] = {ErrorKind::BadRequest,   ErrorKind::UnknownServer,    ErrorKind::UnknownMethod,
                            ErrorKind::BadArguments, ErrorKind::TooLarge,         ErrorKind::ServerFailure,
                            ErrorKind::NotFound,     ErrorKind::MethodNotAllowed, ErrorKind::Timeout,
                            ErrorKind::Unavailable,  ErrorKind::Unauthenticated,  ErrorKind::Forbidden};

}  // namespace

const char* ErrorKindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::BadRequest: return "bad-request";
    case ErrorKind::UnknownServer: return "unknown-server";
    case ErrorKind::UnknownMethod: return "unknown-method";
    case ErrorKind::BadArguments: return "bad-arguments";
    case ErrorKind::TooLarge: return "too-large";
    case ErrorKind::ServerFailure: return "server-failure";
    case ErrorKind::NotFound: return "not-found";
    case ErrorKind::MethodNotAllowed: return "method-not-allowed";
    case ErrorKind::Timeout: return "timeout";
    case ErrorKind::Unavailable: return "unavailable";
    case ErrorKind::Unauthenticated: return "unauthenticated";
    case ErrorKind::Forbidden: return "forbidden";
  }
  return "server-failure";
}

int ErrorStatus(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::BadRequest:
    case ErrorKind::BadArguments: return 400;
    case ErrorKind::UnknownServer:
    case ErrorKind::UnknownMethod:
    case ErrorKind::NotFound: return 404;
    case ErrorKind::MethodNotAllowed: return 405;
    case ErrorKind::Timeout: return 408;
    case ErrorKind::TooLarge: return 413;
    case ErrorKind::ServerFailure: return 500;
    case ErrorKind::Unavailable: return 503;
    case ErrorKind::Unauthenticated: return 401;
    case ErrorKind::Forbidden: return 403;
  }
  return 500;
}

std::string EncodeRequest(const CallRequest& request) {
  std::string out = R"({"server":)";
  WriteString(out, request.server);
  out += R"(,"method":)";
  WriteString(out, request.method);
  out += R"(,"args":[)";
  for (std::size_t i = 0; i < request.arguments.size(); ++i) {
    if (i) out += ',';
    WriteValue(out, request.arguments[i].value, RowEncoding::Plain);
    if (request.arguments[i].by_reference) {
      out.pop_back();
      out += R"(,"byref":true})";
    }
  }
  out += "]}";
  return out;
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

std::string EncodeReply(const CallReply& reply, RowEncoding rows) {
  std::string out = R"({"result":)";
  WriteValue(out, reply.result, rows);
  out += R"(,"byref":[)";
  for (std::size_t i = 0; i < reply.by_reference.size(); ++i) {
    if (i) out += ',';
    out += R"({"index":)" + std::to_string(reply.by_reference[i].first) + R"(,"value":)";
    WriteValue(out, reply.by_reference[i].second, rows);
    out += '}';
  }
  out += "]}";
  return out;
}

std::string EncodeError(const CallError& error) {
  std::string out = R"({"error":{"kind":")";
  out += ErrorKindName(error.kind);
  out += R"(","message":)";
  WriteString(out, error.message, BadBytes::Escape);
  out += "}}";
  return out;
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

std::string EncodeServerInfo(const std::string& server, const std::vector<std::string>& methods,
                             std::optional<int> free_builds) {
  std::string out = R"({"server":)";
  WriteString(out, server, BadBytes::Escape);
  out += R"(,"methods":[)";
  for (std::size_t i = 0; i < methods.size(); ++i) {
    if (i) out += ',';
    WriteString(out, methods[i], BadBytes::Escape);
  }
  out += "]";
  if (free_builds) out += R"(,"free_builds":)" + std::to_string(*free_builds);
  out += "}";
  return out;
}

std::string DecodeServerInfo(const std::string& body) {
  return Text(Member(Parse(body), "server"), "server");
}

std::optional<int> DecodeFreeBuilds(const std::string& body) {
  const json info = Parse(body);
  if (!info.is_object() || !info.contains("free_builds")) return std::nullopt;
  return static_cast<int>(Number(info["free_builds"], "free_builds"));
}

}  // namespace wire
