#include "server/rpc/methods.h"

#include <chrono>
#include <cmath>

#include "lib/text/utf8.h"
#include "lib/wire/registro_call.h"
#include "server/build/file_builder.h"
#include "server/rpc/file_request_check.h"
#include "server/store/audit_log.h"
#include "server/store/request_store.h"

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

// A code argument: at most `width` characters, digits and blanks only.
std::string Code(const std::string& method, const wire::Argument& arg, const char* name, std::size_t width) {
  const std::string& text = arg.value.AsString();
  if (::text::utf8::Length(text) > width)
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
  if (::text::utf8::Length(text) > 16) BadArguments(method + ": " + name + " takes at most 16 characters");
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
  if (log) log(method + ": database error: " + e.detail());
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
  const auto decoded = wire::DecodeRegistroReply(reply.result.AsArray());
  return decoded && decoded->more ? decoded->key : std::string();
}

bool Mag04200::Abandon(const std::string& key) {
  auto session = sessions_.Acquire();
  RequestStore store(*session);
  const auto request = store.Find(key, Now());
  if (!request) return false;
  store.Finish(*request);
  return true;
}

void Mag04200::Audit(const CallerInfo& who, const std::string& action, const std::string& detail) {
  try {
    auto session = sessions_.Acquire();
    RecordAudit(*session, {{}, who.user, who.address, action, detail});
  } catch (const sql::DatabaseError& e) {
    if (log) log("audit: the record of " + action + " could not be written: " + e.detail());
  }
}

std::string Mag04200::StoreFullStatus(std::int64_t stored, std::int64_t limit) {
  return "Servidor de aplicação sem espaço para novos arquivos: " + std::to_string(stored) +
         " linhas de exportações não concluídas estão guardadas (limite " + std::to_string(limit) +
         "). Tente novamente quando elas terminarem.";
}

wire::CallReply Mag04200::Call(const std::string& method, const std::vector<wire::Argument>& args,
                               const CallerInfo& who) {
  if (method == "GetEmpresa") return GetEmpresa(args);
  if (method == "GetImpostonfe") return GetImpostonfe(args);
  if (method == "GetInscST") return GetInscST(args);
  if (method == "GetLivroMag") return GetLivroMag(args);
  if (method == "GetRegistro") return GetRegistro(args, who);
  if (method == "CancelRegistro") return CancelRegistro(args, who);
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

wire::CallReply Mag04200::GetRegistro(const std::vector<wire::Argument>& args, const CallerInfo& who) {
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
      auto checked = CheckFileRequest(*session, call);
      if (const auto* refusal = std::get_if<Refusal>(&checked)) {
        if (log && !refusal->detail.empty()) log("GetRegistro: " + refusal->status + ": " + refusal->detail);
        return answer(refusal->status, LinePacket(), "N");
      }
      const FileRequest& file = std::get<FileRequest>(checked);
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
        request = store.Create([&](LineSink& out) { builder.Build(file, out); }, Now(), who.user);
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
      Audit(who, "exportacao",
            "empresa " + file.company + ", inscrição " + file.registration +
                (file.substitute.empty() ? "" : ", substituto " + file.substitute) + ", período " +
                file.first_day + " a " + file.last_day + ", arquivo " + call.file_name + ", " +
                std::to_string(request->lines) + " linhas");
      if (log) {
        for (const std::string& warning : builder.Warnings(file))
          log("GetRegistro: company " + file.company + ", registration " + file.registration + ": " +
              warning);
      }
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

wire::CallReply Mag04200::CancelRegistro(const std::vector<wire::Argument>& args, const CallerInfo& who) {
  Check("CancelRegistro", args, {{"continuation key", Kind::String, false}});
  const std::string& key = args[0].value.AsString();
  try {
    if (!who.administrator) {
      auto session = sessions_.Acquire();
      const auto owner = RequestStore(*session).Owner(key);
      if (owner && *owner != who.user)
        throw MethodError(wire::ErrorKind::Forbidden,
                          "O usuário " + who.user + " não pode cancelar a exportação de outro usuário.");
    }
    const bool cancelled = Abandon(key);
    if (cancelled) Audit(who, "cancelamento", "exportação " + key.substr(0, key.find('-')));
    return wire::CallReply{wire::Variant(cancelled ? "S" : "N"), {}};
  } catch (const sql::DatabaseError& e) {
    throw MethodError(wire::ErrorKind::ServerFailure, DatabaseFailure("CancelRegistro", log, e));
  }
}

}  // namespace server
