#include "server/methods.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <set>

#include "lib/wire/file_name.h"
#include "lib/wire/host_date.h"
#include "lib/wire/registro_call.h"
#include "server/file_builder.h"
#include "server/request_store.h"
#include "server/state_file_types.h"

namespace server {
namespace {

using Kind = wire::Variant::Kind;

struct Spec {
  const char* name;
  Kind kind;
  bool by_reference;
};

[[noreturn]] void BadArguments(const std::string& message) {
  throw MethodError(wire::ErrorKind::BadArguments, message);
}

void Check(const std::string& method, const std::vector<wire::Argument>& args,
           const std::vector<Spec>& specs) {
  if (args.size() != specs.size()) {
    BadArguments(method + " takes " + std::to_string(specs.size()) + " arguments, not " +
                 std::to_string(args.size()));
  }
  for (std::size_t i = 0; i < specs.size(); ++i) {
    const std::string which = "argument " + std::to_string(i + 1) + " (" + specs[i].name + ") of " + method;
    if (args[i].value.kind() != specs[i].kind) {
      BadArguments(which + " must be a " + wire::KindName(specs[i].kind) + ", not a " +
                   wire::KindName(args[i].value.kind()));
    }
    if (args[i].by_reference != specs[i].by_reference) {
      BadArguments(which + (specs[i].by_reference ? " is passed by reference" : " is passed by value"));
    }
  }
}

std::size_t Chars(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

// A code argument: at most `width` characters, digits and blanks only.
std::string Code(const std::string& method, const wire::Argument& arg, const char* name, std::size_t width) {
  const std::string& text = arg.value.AsString();
  if (Chars(text) > width)
    BadArguments(method + ": " + name + " takes at most " + std::to_string(width) + " characters");
  for (char c : text) {
    if (!(c >= '0' && c <= '9') && c != ' ')
      BadArguments(method + ": " + name + " holds '" + text + "', not digits");
  }
  return text;
}

// A registration number: at most 16 characters, printable.
std::string Registration(const std::string& method, const wire::Argument& arg, const char* name) {
  const std::string& text = arg.value.AsString();
  if (Chars(text) > 16) BadArguments(method + ": " + name + " takes at most 16 characters");
  for (unsigned char c : text) {
    if (c < 0x20) BadArguments(method + ": " + name + " holds a control character");
  }
  return text;
}

bool AllFlag(const std::string& method, const wire::Argument& arg) {
  const std::string& text = arg.value.AsString();
  if (text != "T" && !text.empty())
    BadArguments(method + ": the list flag is \"T\" or empty, not '" + text + "'");
  return text == "T";
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

wire::DataPacket Packet(std::vector<wire::FieldDef> fields, sql::Session& session, const std::string& text,
                        const std::vector<sql::Param>& params) {
  wire::DataPacket packet{std::move(fields), {}};
  session.QueryEach(text, params, [&](const sql::Row& row) {
    std::vector<wire::Cell> cells;
    for (const auto& value : row) cells.push_back(value ? wire::Cell(*value) : wire::Cell());
    packet.rows.push_back(std::move(cells));
  });
  return packet;
}

wire::FieldDef S(const char* name, int size) { return {name, wire::FieldType::String, size}; }

// A database's own message may quote the statement that failed: it goes to
// the log, and the user reads a short text.
std::string DatabaseFailure(const std::string& method, const std::function<void(const std::string&)>& log,
                            const sql::DatabaseError& e) {
  if (log) log(method + ": database error: " + e.what());
  return "Erro no banco de dados do servidor de aplicação (os detalhes estão no registro do servidor).";
}

// A lookup reports a failure of its own as a reply the client's check
// recognises, so that the screen shows it where the lookup was made.
template <typename F>
wire::CallReply Lookup(const std::string& method, const std::function<void(const std::string&)>& log,
                       SessionPool& sessions, F&& query) {
  try {
    auto session = sessions.Acquire();
    return wire::CallReply{query(*session), {}};
  } catch (const sql::DatabaseError& e) {
    return wire::CallReply{wire::VariantArray{"ERRO", DatabaseFailure(method, log, e)}, {}};
  }
}

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string IsoDate(const wire::CalendarDate& d) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", d.year, d.month, d.day);
  return buffer;
}

const std::vector<std::string> kFileTypes = {"SINTEGRA",      "DIEF - MA",     "DIEF - PI",
                                             "SINTEGRA - MS", "SINTEGRA - RJ", "SINTEGRA - RS"};

wire::DataPacket LinePacket() {
  return {{S("NRSEQARQMAG", 10),
           S("NRORDREGARQ", 10),
           {"DSREGARQMAG", wire::FieldType::Bytes, 4000},
           {"SQUENCIAL", wire::FieldType::Float, 0}},
          {}};
}

}  // namespace

const std::vector<std::string>& Mag04200::MethodNames() {
  static const std::vector<std::string> names = {"GetEmpresa",  "GetImpostonfe", "GetInscST",
                                                 "GetLivroMag", "GetRegistro",   "CancelRegistro"};
  return names;
}

bool Mag04200::IsLongCall(const wire::CallRequest& call) {
  if (call.method != wire::kGetRegistro || call.arguments.size() != wire::kRegistroArgumentCount)
    return false;
  const wire::Variant& first_page = call.arguments[wire::kFirstPageArg].value;
  return first_page.kind() == Kind::String && first_page.AsString() == "S";
}

std::string Mag04200::PendingKey(const wire::CallRequest& call, const wire::CallReply& reply) {
  if (call.method != wire::kGetRegistro || reply.result.kind() != Kind::Array) return {};
  const auto& items = reply.result.AsArray();
  if (items.size() != wire::kRegistroReplySize || items[wire::kMoreItem].kind() != Kind::String ||
      items[wire::kMoreItem].AsString() != "S" || items[wire::kKeyItem].kind() != Kind::String) {
    return {};
  }
  return items[wire::kKeyItem].AsString();
}

bool Mag04200::Abandon(const std::string& key) {
  auto session = sessions_.Acquire();
  RequestStore store(*session);
  const auto request = store.Find(key, Now());
  if (!request) return false;
  store.Finish(*request);
  return true;
}

std::string Mag04200::StoreFullStatus(std::int64_t stored, std::int64_t limit) {
  return "Servidor de aplicação sem espaço para novos arquivos: " + std::to_string(stored) +
         " linhas de exportações não concluídas estão guardadas (limite " + std::to_string(limit) +
         "). Tente novamente quando elas terminarem.";
}

wire::CallReply Mag04200::Call(const std::string& method, const std::vector<wire::Argument>& args) {
  if (method == "GetEmpresa") return GetEmpresa(args);
  if (method == "GetImpostonfe") return GetImpostonfe(args);
  if (method == "GetInscST") return GetInscST(args);
  if (method == "GetLivroMag") return GetLivroMag(args);
  if (method == "GetRegistro") return GetRegistro(args);
  if (method == "CancelRegistro") return CancelRegistro(args);
  throw MethodError(wire::ErrorKind::UnknownMethod,
                    std::string(kServerName) + " has no method '" + method + "'");
}

wire::CallReply Mag04200::GetEmpresa(const std::vector<wire::Argument>& args) {
  Check("GetEmpresa", args, {{"company", Kind::String, false}});
  const std::string& code = args[0].value.AsString();
  const bool all = code == "T";
  if (!all) Code("GetEmpresa", args[0], "the company", 2);
  return Lookup("GetEmpresa", log, sessions_, [&](sql::Session& s) {
    return Packet({S("CDEMPRESA", 2), S("NMEMPRESA", 40), S("CDSITUCRT", 1)}, s,
                  "SELECT CDEMPRESA, NMEMPRESA, CDSITUCRT FROM EMPRESA WHERE :ALL = 'T' OR CDEMPRESA = :COD"
                  " ORDER BY CDEMPRESA",
                  {{"ALL", all ? "T" : "N"}, {"COD", code}});
  });
}

wire::CallReply Mag04200::GetImpostonfe(const std::vector<wire::Argument>& args) {
  Check("GetImpostonfe", args, {{"tax", Kind::String, false}, {"list flag", Kind::String, false}});
  const std::string code = Code("GetImpostonfe", args[0], "the tax", 2);
  const bool all = AllFlag("GetImpostonfe", args[1]);
  return Lookup("GetImpostonfe", log, sessions_, [&](sql::Session& s) {
    return Packet({S("CDIMPOSTONFE", 2), S("SGIMPOSTONFE", 10), S("IDORGARRECADNFE", 1)}, s,
                  "SELECT CDIMPOSTONFE, SGIMPOSTONFE, IDORGARRECADNFE FROM IMPOSTONFE"
                  " WHERE :ALL = 'T' OR CDIMPOSTONFE = :COD ORDER BY CDIMPOSTONFE",
                  {{"ALL", all ? "T" : "N"}, {"COD", code}});
  });
}

wire::CallReply Mag04200::GetInscST(const std::vector<wire::Argument>& args) {
  Check("GetInscST", args,
        {{"company", Kind::String, false},
         {"registration", Kind::String, false},
         {"substitute registration", Kind::String, false}});
  const std::string company = Code("GetInscST", args[0], "the company", 2);
  const std::string registration = Registration("GetInscST", args[1], "the registration");
  const std::string substitute = Registration("GetInscST", args[2], "the substitute registration");
  return Lookup("GetInscST", log, sessions_, [&](sql::Session& s) {
    return Packet({S("CDEMPRESA", 2), S("CDINSCESTA", 16), S("CDINSCESTAST", 16), S("SGESTADO", 2)}, s,
                  "SELECT CDEMPRESA, CDINSCESTA, CDINSCESTAST, SGESTADO FROM INSCRSUBST"
                  " WHERE CDEMPRESA = :EMP AND CDINSCESTA = :IE AND (:ST = '' OR CDINSCESTAST = :ST)"
                  " ORDER BY CDINSCESTAST",
                  {{"EMP", company}, {"IE", registration}, {"ST", substitute}});
  });
}

wire::CallReply Mag04200::GetLivroMag(const std::vector<wire::Argument>& args) {
  Check("GetLivroMag", args, {{"book", Kind::String, false}, {"list flag", Kind::String, false}});
  const std::string code = Code("GetLivroMag", args[0], "the book", 10);
  const bool all = AllFlag("GetLivroMag", args[1]);
  return Lookup("GetLivroMag", log, sessions_, [&](sql::Session& s) {
    return Packet({S("CDLIVROMAG", 10), S("NMLIVROMAG", 50)}, s,
                  "SELECT CDLIVROMAG, NMLIVROMAG FROM LIVROMAG WHERE :ALL = 'T' OR CDLIVROMAG = :COD"
                  " ORDER BY CDLIVROMAG",
                  {{"ALL", all ? "T" : "N"}, {"COD", code}});
  });
}

namespace {

// The checks of a file request that end in the status "PARAM": the values
// are well-formed but do not describe a file that can be built. Returns why,
// for the server's log, or "" for a request that can be built.
std::string RefusalOf(sql::Session& s, const wire::RegistroRequest& a, FileRequest& r, std::string& tax) {
  const auto exists = [&](const std::string& text, const std::vector<sql::Param>& params) {
    return !s.Query(text, params).rows.empty();
  };
  r.mask = a.mask;
  if (r.mask.size() != 12 || r.mask.find_first_not_of("SN") != std::string::npos)
    return "the register mask is not 12 characters S or N";
  tax = Trim(a.tax);
  r.company = a.company;
  r.registration = a.registration;
  r.substitute = Trim(a.substitute);
  if (r.company.empty() || r.registration.empty()) return "no company or no registration";
  if (!exists("SELECT 1 FROM INSCRESTAD WHERE CDEMPRESA = :E AND CDINSCESTA = :I",
              {{"E", r.company}, {"I", r.registration}})) {
    return "company " + r.company + " has no registration " + r.registration;
  }
  if (!tax.empty() && !exists("SELECT 1 FROM IMPOSTONFE WHERE CDIMPOSTONFE = :T", {{"T", tax}}))
    return "no tax " + tax;
  if (!r.substitute.empty() &&
      !exists("SELECT 1 FROM INSCRSUBST WHERE CDEMPRESA = :E AND CDINSCESTA = :I AND CDINSCESTAST = :S",
              {{"E", r.company}, {"I", r.registration}, {"S", r.substitute}})) {
    return "registration " + r.registration + " has no substitute registration " + r.substitute;
  }

  const double first = a.first_day;
  const double last = a.last_day;
  if (!std::isfinite(first) || !std::isfinite(last) || first < 1 || last > 2958465 || first > last)
    return "the period's days are out of range or reversed";
  const auto d1 = wire::DecodeDate(first);
  const auto d2 = wire::DecodeDate(last);
  if (d1.day != 1 || d2.day != wire::DaysInMonth(d2.year, d2.month))
    return "the period does not run from the 1st of a month to the last day of a month";
  r.first_day = IsoDate(d1);
  r.last_day = IsoDate(d2);

  const std::string country = Trim(a.country);
  if (!country.empty() && !exists("SELECT 1 FROM PAIS WHERE CDPAIS = :P", {{"P", country}}))
    return "no country " + country;
  // The chosen states: two capital letters each, separated by commas, none
  // twice, each a state of the country when one is given.
  const std::string states = a.states;
  std::set<std::string> seen;
  for (std::size_t start = 0; !states.empty() && start <= states.size();) {
    const auto comma = states.find(',', start);
    const std::string uf =
        states.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (uf.size() != 2 || uf.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos ||
        !seen.insert(uf).second) {
      return "the state list '" + states + "' is malformed";
    }
    if (!country.empty() &&
        !exists("SELECT 1 FROM ESTADO WHERE CDPAIS = :P AND SGESTADO = :U", {{"P", country}, {"U", uf}})) {
      return "country " + country + " has no state " + uf;
    }
    r.states.push_back(uf);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }

  const std::string version = a.version;
  const std::string purpose = a.purpose;
  if (version.size() != 1 || std::string("123").find(version[0]) == std::string::npos)
    return "the convention version is not 1, 2 or 3";
  if (purpose.size() != 1 || std::string("1235").find(purpose[0]) == std::string::npos)
    return "the purpose is not 1, 2, 3 or 5";
  r.version = version[0];
  r.purpose = purpose[0];

  const std::string file_name = a.file_name;
  if (Trim(file_name).empty() || Chars(file_name) > 50 || !wire::IsSafeFileName(file_name))
    return "the file name is empty, longer than 50 characters or not a plain name";
  r.file_type = a.file_type;
  bool known_type = false;
  for (const auto& t : kFileTypes) known_type = known_type || t == r.file_type;
  if (!known_type) return "no file type '" + r.file_type + "'";
  r.book = Trim(a.book);
  if (!r.book.empty() && !exists("SELECT 1 FROM LIVROMAG WHERE CDLIVROMAG = :L", {{"L", r.book}}))
    return "no magnetic book " + r.book;
  const double inventory = a.inventory;
  if (!std::isfinite(inventory) || inventory < 0 || inventory > 2958465)
    return "the inventory day is out of range";
  // 30 and 31 December 1899 (host dates 0 and 1) stand for "no inventory date".
  if (inventory >= 2) r.inventory_day = IsoDate(wire::DecodeDate(inventory));
  return {};
}

// Every month of the period needs its fiscal map locked.
bool MapsLocked(sql::Session& s, const FileRequest& r) {
  int year = std::stoi(r.first_day.substr(0, 4));
  int month = std::stoi(r.first_day.substr(5, 2));
  const int last = std::stoi(r.last_day.substr(0, 4)) * 12 + std::stoi(r.last_day.substr(5, 2));
  for (; year * 12 + month <= last; month == 12 ? (month = 1, ++year) : ++month) {
    char period[8];
    std::snprintf(period, sizeof period, "%04d%02d", year, month);
    const auto rows = s.Query(
        "SELECT IDBLOQUEADO FROM MAPAFISCAL WHERE CDEMPRESA = :E AND CDINSCESTA = :I AND NRANOMES = :P",
        {{"E", r.company}, {"I", r.registration}, {"P", period}});
    if (rows.rows.empty() || rows.rows[0][0].value_or("") != "S") return false;
  }
  return true;
}

}  // namespace

wire::CallReply Mag04200::GetRegistro(const std::vector<wire::Argument>& args) {
  std::vector<Spec> specs;
  for (const auto& spec : wire::RegistroArguments())
    specs.push_back({spec.name, spec.kind, spec.by_reference});
  Check(wire::kGetRegistro, args, specs);
  const wire::RegistroRequest call = wire::DecodeRegistro(args);
  const std::string& first_page = call.first_page;
  if (first_page != "S" && first_page != "N")
    BadArguments("GetRegistro: the first-page flag is \"S\" or \"N\"");
  const double start = call.start;
  const double end = call.end;
  if (!std::isfinite(start) || !std::isfinite(end) || start < 0 || end < start ||
      start != std::floor(start) || end != std::floor(end) ||
      end - start > static_cast<double>(config_.max_page) || end > 1e15) {
    BadArguments("GetRegistro: the page range must be whole numbers 0 <= start <= end, at most " +
                 std::to_string(config_.max_page) + " lines");
  }

  wire::CallReply reply;
  std::string key = call.key;
  const auto answer = [&](const std::string& status, wire::DataPacket lines, const std::string& more) {
    reply.result = wire::VariantArray{status, std::move(lines), config_.output_dir, more, key};
    reply.by_reference = {{wire::kMaskArg, args[wire::kMaskArg].value},
                          {wire::kStatesArg, args[wire::kStatesArg].value},
                          {wire::kKeyArg, key},
                          {wire::kPageStartArg, start},
                          {wire::kPageEndArg, end}};
    return reply;
  };

  try {
    auto session = sessions_.Acquire();
    RequestStore store(*session);
    std::optional<StoredRequest> request;
    if (first_page == "S") {
      FileRequest file;
      std::string tax;
      if (const std::string refusal = RefusalOf(*session, call, file, tax); !refusal.empty()) {
        if (log) log("GetRegistro: PARAM: " + refusal);
        return answer("PARAM", LinePacket(), "N");
      }
      if (!MapsLocked(*session, file)) return answer("MP_BLOQ", LinePacket(), "N");
      if (file.version != '3') {
        // Only the current structure is built, and the validators take no
        // other for a period from 2004 on.
        const std::string v(1, file.version);
        return answer(
            file.first_day >= "2004-01-01"
                ? "A estrutura do convênio " + v + " não vale para períodos a partir de 2004; use 3."
                : "A estrutura do convênio " + v + " não é gerada por este servidor; use 3.",
            LinePacket(), "N");
      }
      if (const std::string rule = StateRule(file, SelectRegisters(file.file_type, file.mask)); !rule.empty())
        return answer(rule, LinePacket(), "N");
      store.Expire(Now(), config_.request_ttl);
      if (const std::int64_t stored = store.StoredLines(); stored >= config_.max_stored_lines) {
        return answer(StoreFullStatus(stored, config_.max_stored_lines), LinePacket(), "N");
      }
      // The build reads through a session of its own while the store
      // writes the blocks: the reads see one snapshot of the data and hold
      // no lock that other exports wait for.
      auto reader = sessions_.Acquire();
      FileBuilder builder(
          *reader, config_.encoding,
          [this](const std::function<void(sql::Session&)>& body) {
            auto own = sessions_.Acquire();
            body(*own);
          },
          config_.build_threads);
      try {
        request = store.Create([&](LineSink& out) { builder.Build(file, out); }, Now());
      } catch (const FileRefused& e) {
        if (log) {
          const std::string where =
              "GetRegistro: company " + file.company + ", registration " + file.registration;
          log(where + ": file refused: " + e.what());
          try {
            for (const std::string& problem : builder.Problems(file)) log(where + ": " + problem);
          } catch (const std::exception& audit) {
            log(where + ": the documents could not be listed: " + audit.what());
          }
        }
        key.clear();
        return answer(e.what(), LinePacket(), "N");
      }
      key = request->key;
    } else {
      request = store.Find(key, Now());
      if (!request) BadArguments("GetRegistro: the continuation key '" + key + "' is unknown or has expired");
    }
    wire::DataPacket lines = LinePacket();
    const std::string sequence = std::to_string(request->sequence);
    store.Page(*request, static_cast<std::int64_t>(start), static_cast<std::int64_t>(end),
               [&](std::int64_t number, const std::string& line) {
                 lines.rows.push_back({sequence, std::to_string(number), line, static_cast<double>(number)});
               });
    const bool more = request->lines > static_cast<std::int64_t>(end);
    if (!more) store.Finish(*request);
    return answer("OK", std::move(lines), more ? "S" : "N");
  } catch (const sql::DatabaseError& e) {
    throw MethodError(wire::ErrorKind::ServerFailure, DatabaseFailure("GetRegistro", log, e));
  } catch (const FieldOverflow& e) {
    throw MethodError(wire::ErrorKind::ServerFailure,
                      std::string("a value does not fit the layout: ") + e.what());
  }
}

wire::CallReply Mag04200::CancelRegistro(const std::vector<wire::Argument>& args) {
  Check("CancelRegistro", args, {{"continuation key", Kind::String, false}});
  try {
    return wire::CallReply{wire::Variant(Abandon(args[0].value.AsString()) ? "S" : "N"), {}};
  } catch (const sql::DatabaseError& e) {
    throw MethodError(wire::ErrorKind::ServerFailure, DatabaseFailure("CancelRegistro", log, e));
  }
}

}  // namespace server
