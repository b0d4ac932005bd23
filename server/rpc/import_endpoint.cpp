#include "server/rpc/import_endpoint.h"

#include <unistd.h>

#include <filesystem>

#include "lib/sql/session.h"
#include "lib/wire/import_answer.h"
#include "server/import/dfe_store.h"
#include "server/import/import_run.h"
#include "server/import/register_merge.h"
#include "server/rpc/error_response.h"
#include "server/rpc/request_target.h"
#include "server/store/audit_log.h"

namespace server {
namespace {

namespace fs = std::filesystem;
using import::ImportRefused;

// A file name of the client's, as a name in a directory of ours: its last
// part, without what a path could do; `fallback` when nothing is left.
std::string SafeName(const std::string& given, const std::string& fallback) {
  std::string name =
      given.substr(given.find_last_of("/\\") == std::string::npos ? 0 : given.find_last_of("/\\") + 1);
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ':') c = '_';
  }
  if (name.empty() || name == "." || name == "..") return fallback;
  return name;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A directory of its own for one import, removed with it.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/mag-import-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("no temporary directory for the import");
    path_ = pattern;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

bool IsImportRequest(const http::Request& request) {
  return request.method == "POST" && TargetPath(request.target).value_or("") == "/v1/import";
}

void ServeImport(const ServerConfig& config, const http::Request& request, const http::Respond& respond,
                 const CallerInfo& who, const std::function<void(const std::string&)>& log) {
  const auto query = TargetQuery(request.target);
  if (!query) return respond(ErrorResponse(wire::ErrorKind::BadRequest, "the query holds a broken %-escape"));
  const auto value = [&](const char* name) {
    const auto it = query->find(name);
    return it == query->end() ? std::string() : it->second;
  };
  const std::string company = value("company"), registration = value("registration"), kind = value("kind");
  if (company.empty() || registration.empty()) {
    return respond(
        ErrorResponse(wire::ErrorKind::BadArguments,
                      "/v1/import needs the company and the registration (?company=..&registration=..)"));
  }
  if (!kind.empty() && kind != "documents" && kind != "magnetic") {
    return respond(ErrorResponse(wire::ErrorKind::BadArguments,
                                 "kind '" + kind + "' is neither documents nor magnetic"));
  }
  if (!request.spooled_body || request.spooled_body->size() == 0)
    return respond(
        ErrorResponse(wire::ErrorKind::BadArguments, "/v1/import takes the file as the request body"));

  std::unique_ptr<sql::Session> session;
  import::Informant informant;
  try {
    session = sql::OpenSession(config.database);
    informant = import::LoadInformant(*session, company, registration);
    informant.book = value("book");
  } catch (const ImportRefused& e) {
    return respond(ErrorResponse(wire::ErrorKind::BadArguments, e.what()));
  } catch (const sql::DatabaseError& e) {
    if (log) log("import: database error: " + e.detail());
    return respond(
        ErrorResponse(wire::ErrorKind::ServerFailure, std::string("erro do banco de dados: ") + e.what()));
  }
  // Another user's export or import holds the database: the import waits
  // its turn, as the command does.
  session->WaitForTurn([](std::chrono::milliseconds) {});

  // The body under the client's own name, so that every line names its file
  // as the client knows it.
  ScratchDirectory scratch;
  std::string name = SafeName(value("file"), kind == "magnetic" ? "arquivo.txt" : "documentos");
  if (kind != "magnetic") {
    char magic[4] = {};
    if (FILE* f = std::fopen(request.spooled_body->path().c_str(), "rb")) {
      [[maybe_unused]] const auto n = std::fread(magic, 1, sizeof magic, f);
      std::fclose(f);
    }
    const bool zip = std::string(magic, 4) == std::string("PK\x03\x04", 4);
    if (zip && !EndsWith(name, ".zip")) name += ".zip";
    if (!zip && !EndsWith(name, ".xml")) name += ".xml";
  }
  const std::string path = scratch.path() + "/" + name;
  if (link(request.spooled_body->path().c_str(), path.c_str()) != 0) {
    std::error_code error;
    fs::copy_file(request.spooled_body->path(), path, error);
    if (error)
      return respond(ErrorResponse(wire::ErrorKind::ServerFailure, "the body could not be read back"));
  }
  const std::string prefix = scratch.path() + "/";
  const auto shown = [&](const std::string& file) {
    return file.rfind(prefix, 0) == 0 ? file.substr(prefix.size()) : file;
  };

  // What was done, without a fiscal value, for the office's audit.
  const auto audit = [&](const std::string& action, const std::string& outcome) {
    try {
      RecordAudit(*session, {{},
                             who.user,
                             who.address,
                             action,
                             "empresa " + company + ", inscrição " + registration + ", arquivo " + name +
                                 ": " + outcome});
    } catch (const sql::DatabaseError& e) {
      if (log) log("audit: the record of an import could not be written: " + e.detail());
    }
  };

  auto stream = std::make_shared<http::Stream>();
  http::Response answer;
  answer.content_type = "application/x-ndjson";
  answer.stream = stream;
  respond(std::move(answer));

  if (kind == "magnetic") {
    try {
      const std::string text = import::MergeMagneticFile(*session, informant, path, value("notes") == "1");
      audit("mesclagem", "mesclado");
      stream->Write(wire::EncodeImportLine(wire::ImportFileLine{name, "merged", ""}));
      stream->Write(wire::EncodeImportLine(
          wire::ImportSummaryLine{{{"files", 1}, {"merged", 1}, {"refused", 0}}, std::nullopt, text}));
    } catch (const ImportRefused& e) {
      audit("mesclagem", "recusado");
      stream->Write(wire::EncodeImportLine(wire::ImportFileLine{name, "refused", e.what()}));
      stream->Write(wire::EncodeImportLine(
          wire::ImportSummaryLine{{{"files", 1}, {"merged", 0}, {"refused", 1}},
                                  std::nullopt,
                                  std::string("recusado: ") + name + ": " + e.what() + "\n"}));
    } catch (const sql::DatabaseError& e) {
      if (log) log("import: database error: " + e.detail());
      stream->Write(wire::EncodeImportLine(
          wire::ImportFileLine{name, "failed", std::string("erro do banco de dados: ") + e.what()}));
    }
    return stream->Close();
  }

  try {
    import::DfeStore store(*session, informant);
    import::ImportOutput output;
    bool client_gone = false;
    output.result = [&](const std::string& file, const char* outcome, const std::string& reason) {
      if (!stream->Write(wire::EncodeImportLine(wire::ImportFileLine{shown(file), outcome, reason})))
        client_gone = true;
    };
    output.go_on = [&] { return !client_gone; };
    output.log = [&](const std::string& line) {
      if (log) log("import: " + line);
    };
    const import::ImportSummary s = import::ImportDocuments(*session, store, {path}, output);
    audit("importacao", std::to_string(s.files) + " arquivos, " + std::to_string(s.imported) +
                            " importados, " + std::to_string(s.updated) + " atualizados, " +
                            std::to_string(s.cancelled) + " cancelados, " +
                            std::to_string(s.ignored + s.unchanged) + " ignorados, " +
                            std::to_string(s.refused) + " recusados");
    import::ImportSummary named = s;
    if (!named.stopped.empty()) named.stopped = shown(named.stopped);
    for (std::string& link_name : named.skipped_links) link_name = shown(link_name);
    stream->Write(wire::EncodeImportLine(wire::ImportSummaryLine{{{"files", s.files},
                                                                  {"imported", s.imported},
                                                                  {"updated", s.updated},
                                                                  {"unchanged", s.unchanged},
                                                                  {"cancelled", s.cancelled},
                                                                  {"ignored", s.ignored},
                                                                  {"refused", s.refused},
                                                                  {"service_items", s.service_items}},
                                                                 named.stopped,
                                                                 import::DescribeSummary(named)}));
  } catch (const std::exception& e) {
    if (log) log(std::string("import: ") + e.what());
    stream->Write(wire::EncodeImportLine(wire::ImportFileLine{name, "failed", e.what()}));
  }
  stream->Close();
}

}  // namespace server
