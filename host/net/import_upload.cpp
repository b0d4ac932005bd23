#include "host/net/import_upload.h"

#include <atomic>
#include <fstream>
#include <mutex>

#include "host/components/host_settings.h"
#include "host/components/net_connection.h"
#include "host/net/credentials.h"
#include "host/net/http_client.h"
#include "lib/wire/rpc.h"

namespace net {
namespace {

std::string Encoded(const std::string& value) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : value) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string Target(const std::string& shown, const ImportTarget& t) {
  std::string target = "/v1/import?company=" + Encoded(t.company) +
                       "&registration=" + Encoded(t.registration) + "&file=" + Encoded(shown) +
                       "&kind=" + (t.magnetic ? "magnetic" : "documents");
  if (!t.book.empty()) target += "&book=" + Encoded(t.book);
  if (t.magnetic && t.notes) target += "&notes=1";
  return target;
}

std::uint16_t Little16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

struct ImportUpload::Impl {
  std::mutex mutex;  // guards the client against Cancel
  std::unique_ptr<httplib::Client> client;
  std::atomic<bool> cancelled{false};
  std::string where;
};

ImportUpload::ImportUpload() : impl_(std::make_unique<Impl>()) {
  const comp::HostSettings& settings = comp::Settings();
  const std::string host = settings.ServerHost();
  if (host.empty()) throw comp::EServerError("o endereço do servidor de aplicação não foi configurado");
  const int port = settings.ServerPort();
  impl_->where = host + ":" + std::to_string(port);
  // An import has no deadline as a whole: the server answers a line per
  // file as it goes.
  impl_->client =
      OpenClient(host, port, {std::chrono::seconds(5), std::chrono::seconds(600), std::chrono::seconds(600)});
}

ImportUpload::~ImportUpload() = default;

void ImportUpload::Cancel() {
  impl_->cancelled = true;
  std::lock_guard lock(impl_->mutex);
  impl_->client->stop();
}

wire::ImportSummaryLine ImportUpload::Send(const std::string& path, const std::string& shown,
                                           const ImportTarget& target,
                                           const std::function<void(const wire::ImportFileLine&)>& on_line) {
  auto file = std::make_shared<std::ifstream>(path, std::ios::binary);
  if (!*file) throw comp::EServerError("não foi possível ler o arquivo " + path);
  file->seekg(0, std::ios::end);
  const auto size = static_cast<std::uint64_t>(file->tellg());
  file->seekg(0);
  return SendBody(
      size,
      [file](std::size_t offset, char* out, std::size_t room) -> std::size_t {
        file->seekg(static_cast<std::streamoff>(offset));
        file->read(out, static_cast<std::streamsize>(room));
        return static_cast<std::size_t>(file->gcount());
      },
      shown, target, on_line);
}

wire::ImportSummaryLine ImportUpload::SendTogether(
    std::vector<ZipMember> files, const std::string& shown, const ImportTarget& target,
    const std::function<void(const wire::ImportFileLine&)>& on_line) {
  if (impl_->cancelled) throw comp::EServerError("Importação interrompida.");
  std::shared_ptr<StoredZip> archive;
  try {
    archive = std::make_shared<StoredZip>(std::move(files));
  } catch (const std::runtime_error& e) {
    throw comp::EServerError(e.what());
  }
  return SendBody(
      archive->Size(),
      [archive](std::size_t, char* out, std::size_t room) { return archive->Next(out, room); }, shown, target,
      on_line);
}

wire::ImportSummaryLine ImportUpload::SendBody(
    std::uint64_t size, Body body, const std::string& shown, const ImportTarget& target,
    const std::function<void(const wire::ImportFileLine&)>& on_line) {
  // A stop asked before the request is on the wire: the client has nothing
  // to cut yet.
  if (impl_->cancelled) throw comp::EServerError("Importação interrompida.");
  const std::string user = comp::Settings().Get("server.user", "");
  if (!user.empty()) {
    const auto password = SessionPassword(user);
    if (!password) throw comp::EServerError("Usuário ou senha inválidos.");
    impl_->client->set_basic_auth(user, *password);
  }

  httplib::Request request;
  request.method = "POST";
  request.path = Target(shown, target);
  request.headers.emplace("Content-Type", "application/octet-stream");
  request.content_length_ = static_cast<std::size_t>(size);
  std::string read_error;
  request.content_provider_ = [&](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
    if (impl_->cancelled) return false;
    char buffer[65536];
    try {
      const std::size_t read = body(offset, buffer, std::min(length, sizeof buffer));
      return read > 0 && sink.write(buffer, read);
    } catch (const std::runtime_error& e) {
      read_error = e.what();
      return false;
    }
  };
  int status = 0;
  request.response_handler = [&](const httplib::Response& response) {
    status = response.status;
    return true;
  };
  std::string pending;  // the bytes of a line not yet complete, or a refusal's body
  std::optional<wire::ImportSummaryLine> summary;
  std::string bad_line;
  request.content_receiver = [&](const char* data, std::size_t length, std::uint64_t, std::uint64_t) {
    pending.append(data, length);
    if (status != 200) return true;
    std::size_t start = 0;
    for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
      try {
        auto line = wire::DecodeImportLine(std::string_view(pending).substr(start, end - start));
        if (auto* one = std::get_if<wire::ImportFileLine>(&line)) {
          on_line(*one);
        } else {
          summary = std::get<wire::ImportSummaryLine>(std::move(line));
        }
      } catch (const wire::ProtocolError& e) {
        bad_line = e.what();
        return false;
      }
    }
    pending.erase(0, start);
    return !impl_->cancelled.load();
  };

  httplib::Response response;
  httplib::Error error = httplib::Error::Success;
  const auto started = std::chrono::steady_clock::now();
  const bool sent = impl_->client->send(request, response, error);
  if (impl_->cancelled) throw comp::EServerError("Importação interrompida.");
  if (!read_error.empty()) throw comp::EServerError(read_error);
  if (!bad_line.empty()) throw comp::EServerError("Resposta inválida do servidor de aplicação: " + bad_line);
  if (!sent) {
    throw comp::EServerError(
        "Falha de comunicação com o servidor de aplicação " + impl_->where + ": " +
        Describe(error, std::chrono::steady_clock::now() - started, std::chrono::seconds(600)));
  }
  if (status == 401) {
    ForgetPassword();
    throw comp::EServerError("Usuário ou senha inválidos.");
  }
  if (status != 200) {
    std::string said = "HTTP " + std::to_string(status);
    try {
      const auto reply = wire::DecodeReply(pending);
      if (const auto* refused = std::get_if<wire::CallError>(&reply)) said = refused->message;
    } catch (const wire::ProtocolError&) {
    }
    throw comp::EServerError("O servidor recusou a importação de " + shown + ": " + said);
  }
  if (!summary) throw comp::EServerError("A importação de " + shown + " terminou sem o resumo do servidor.");
  return *summary;
}

long ZipEntries(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return 0;
  in.seekg(0, std::ios::end);
  const auto size = static_cast<long>(in.tellg());
  // The end record is 22 bytes plus a comment of up to 65535.
  const long tail = std::min<long>(size, 22 + 65535);
  std::string bytes(static_cast<std::size_t>(tail), '\0');
  in.seekg(size - tail);
  in.read(bytes.data(), tail);
  for (long at = tail - 22; at >= 0; --at) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    if (p[0] == 'P' && p[1] == 'K' && p[2] == 5 && p[3] == 6) {
      const std::uint16_t entries = Little16(p + 10);
      return entries == 0xFFFF ? 0 : entries;
    }
  }
  return 0;
}

}  // namespace net
