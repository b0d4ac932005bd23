// mag-export: the batch front-end of the magnetic-file screen. It opens the
// screen headless, fills it field by field in tab order as a person would
// (type, leave the field, tick, pick), presses Export and prints every dialog
// the screen shows. Exit status: 0 after the success message, 1 when the
// screen stopped at a message of its own, 2 on any other error, 128 + the
// signal's number when SIGINT, SIGTERM or SIGHUP ended it.
#include <pthread.h>
#include <unistd.h>
#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "host/cli/batch_mode.h"
#include "host/cli/batch_run.h"
#include "host/cli/export_options.h"
#include "host/cli/export_screen.h"
#include "host/cli/screen_filler.h"
#include "host/components/host_settings.h"
#include "host/components/messages.h"
#include "host/loader/package_host.h"
#include "host/net/credentials.h"
#include "host/net/http_transport.h"
#include "host/toolkit/application.h"
#include "host/toolkit/headless_dialogs.h"
#include "lib/console/read_secret.h"
#include "lib/wire/registro_call.h"

namespace {

using cli::UsageError;

// The options of the program around the screen's values.
struct Options : cli::ExportOptions {
  std::string server, database, settings = comp::HostSettings::DefaultPath(), package;
  std::string lote, todas, relatorio, written;
  int paralelo = 0;
  bool refazer = false;
};

// The options that name one file's values, which a batch takes from its plan.
void RefuseSingleFileOptions(const Options& o) {
  const std::pair<const char*, const std::string*> single[] = {{"--empresa", &o.empresa},
                                                               {"--imposto", &o.imposto},
                                                               {"--inscricao", &o.inscricao},
                                                               {"--inscricao-st", &o.inscricao_st},
                                                               {"--livro", &o.livro},
                                                               {"--pais", &o.pais},
                                                               {"--estados", &o.estados},
                                                               {"--de", &o.de},
                                                               {"--ate", &o.ate},
                                                               {"--versao", &o.versao},
                                                               {"--registros", &o.registros},
                                                               {"--inventario", &o.inventario}};
  for (const auto& [option, value] : single) {
    if (!value->empty())
      throw UsageError(std::string(option) + ": num lote, cada arquivo tem o seu no plano");
  }
  if (o.registro_88st) throw UsageError("--registro-88st: num lote, cada arquivo tem o seu no plano");
}

// CLI11's own words, said in the user's language.
std::string PortugueseFailure(const CLI::App*, const CLI::Error& e) {
  const std::string what = e.what();
  const auto colon = what.find(": ");
  const std::string detail = colon == std::string::npos ? what : what.substr(colon + 2);
  std::string said;
  if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
    said = "argumentos não esperados: " + detail;
  } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
    said = "uma opção recebeu valores a mais ou a menos (cada opção aceita um valor, dado uma vez)";
  } else {
    said = "opções inválidas (" + what + ")";
  }
  return "mag-export: " + said + "\nVeja mag-export --help.\n";
}

const char* KindWord(tk::DialogEvent::Kind kind) {
  switch (kind) {
    case tk::DialogEvent::Kind::Error: return "erro";
    case tk::DialogEvent::Kind::Information: return "informação";
    case tk::DialogEvent::Kind::Plain: return "mensagem";
    case tk::DialogEvent::Kind::PickOne:
    case tk::DialogEvent::Kind::PickMany: return "lista";
    default: return nullptr;
  }
}

// SIGINT, SIGTERM and SIGHUP end an export cleanly: the call in progress
// fails at once, the screen's error path removes the temporary file and
// tells the server to drop the lines it keeps, and the exit status is
// 128 + the signal's number.
std::atomic<int> interrupted_by{0};
std::atomic<bool> batch_patience{false};

const char* SignalName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "um sinal";
  }
}

class ProgressTransport;
std::mutex transport_mutex;
ProgressTransport* active_transport = nullptr;

// The server transport with a progress line on standard error while the
// pages of the file arrive (pages and lines so far); silent when standard
// error is not a terminal. Once a signal came, no call but the cancel goes out.
class ProgressTransport : public comp::IServerTransport {
 public:
  ProgressTransport() : show_(isatty(STDERR_FILENO) != 0) {
    std::lock_guard lock(transport_mutex);
    active_transport = this;
  }
  ~ProgressTransport() override {
    std::lock_guard lock(transport_mutex);
    if (active_transport == this) active_transport = nullptr;
  }
  void Connect(const std::string& host, int port, const std::string& name) override {
    inner_.Connect(host, port, name);
  }
  void Disconnect() override { inner_.Disconnect(); }
  void Interrupt() { inner_.Interrupt(); }
  wire::Variant Call(const std::string& method, std::vector<comp::CallArgument>& args) override {
    const auto stop = [] {
      throw comp::EServerError(std::string("Exportação interrompida por ") + SignalName(interrupted_by) +
                               ".");
    };
    if (interrupted_by && method != "CancelRegistro") stop();
    wire::Variant reply;
    try {
      reply = inner_.Call(method, args);
    } catch (const std::exception&) {
      if (interrupted_by && method != "CancelRegistro") stop();
      throw;
    }
    if (!show_ || method != wire::kGetRegistro || reply.kind() != wire::Variant::Kind::Array) return reply;
    const auto page = wire::DecodeRegistroReply(reply.AsArray());
    if (!page) return reply;
    ++pages_;
    lines_ += static_cast<long>(page->lines->rows.size());
    std::cerr << "\rmag-export: " << pages_ << (pages_ == 1 ? " página, " : " páginas, ") << lines_
              << " linhas" << std::flush;
    if (!page->more) std::cerr << "\n";
    return reply;
  }

 private:
  net::HttpTransport inner_;
  bool show_;
  long pages_ = 0;
  long lines_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  CLI::App app{"mag-export: preenche a tela do arquivo magnético sem janela e pressiona Exportar"};
  app.option_defaults()->group("Opções");
  app.set_help_flag("-h,--help", "mostra esta ajuda e sai");
  app.get_formatter()->label("Usage", "Uso");
  app.get_formatter()->label("OPTIONS", "OPÇÕES");
  app.get_formatter()->label("TEXT", "TEXTO");
  app.failure_message(PortugueseFailure);
  app.add_option("--server", o.server, "servidor de aplicação HOST:PORTA (padrão: as configurações do host)");
  app.add_option("--database", o.database, "URL do banco das consultas (padrão: as configurações do host)");
  app.add_option("--settings", o.settings, "o arquivo de configurações do host")->capture_default_str();
  app.add_option("--package", o.package, "o pacote a carregar (padrão: ao lado deste programa)");
  app.add_option("--tipo", o.tipo, "tipo de arquivo, p. ex. \"SINTEGRA\" ou \"DIEF - MA\"");
  app.add_option("--empresa", o.empresa, "código da empresa");
  app.add_option("--imposto", o.imposto, "código do imposto");
  app.add_option("--inscricao", o.inscricao, "inscrição estadual (ou municipal)");
  app.add_option("--inscricao-st", o.inscricao_st, "inscrição do substituto tributário");
  app.add_option("--livro", o.livro, "código do livro magnético");
  app.add_option("--pais", o.pais, "código do país");
  app.add_option("--estados", o.estados, "todos, ou siglas de estados separadas por vírgulas");
  app.add_option("--de", o.de, "primeiro mês, MM/AAAA");
  app.add_option("--ate", o.ate, "último mês, MM/AAAA");
  app.add_option("--versao", o.versao, "versão do convênio: 1, 2 ou 3");
  app.add_option("--finalidade", o.finalidade, "finalidade do arquivo: 1, 2, 3 ou 5");
  app.add_option("--nome", o.nome, "nome do arquivo");
  app.add_option("--registros", o.registros,
                 "itens de registro: 50,51,53,54,55,60,61,70,74,75,88ST,88SM ou todos");
  app.add_option("--inventario", o.inventario, "mês do inventário, MM/AAAA (marca a opção do inventário)");
  app.add_flag("--registro-88st", o.registro_88st, "marca a opção do registro 88 (substituição tributária)");
  app.add_option("--lote", o.lote,
                 "faz os arquivos de um plano CSV (cabeçalho empresa,inscricao,inscricao-st,tipo,de,ate,"
                 "finalidade,nome); --nome dá o padrão dos nomes")
      ->group("Lote");
  app.add_option(
         "--todas", o.todas,
         "faz o arquivo de cada inscrição com o mapa fiscal do mês MM/AAAA bloqueado, e um por estado "
         "de cada inscrição do substituto")
      ->group("Lote");
  app.add_option("--paralelo", o.paralelo,
                 "arquivos feitos ao mesmo tempo (padrão: o que o servidor tem livre)")
      ->check(CLI::PositiveNumber)
      ->group("Lote");
  app.add_option("--relatorio", o.relatorio, "diretório de relatorio.csv e relatorio.html")->group("Lote");
  app.add_flag("--refazer", o.refazer, "regrava também os arquivos cujas linhas não mudaram")->group("Lote");
  // A batch's run tells where it wrote its file.
  app.add_option(cli::kWrittenOption, o.written)->group("");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help ends well; any other error of the options is status 2.
    return app.exit(e) == 0 ? 0 : 2;
  }

  // Taken by one thread of their own, so that no other thread is ever cut
  // short by them; blocked before any other thread starts.
  sigset_t signals;
  sigemptyset(&signals);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals] {
    int signal = 0;
    if (sigwait(&signals, &signal) != 0) return;
    interrupted_by = signal;
    {
      std::lock_guard lock(transport_mutex);
      if (active_transport) active_transport->Interrupt();
    }
    cli::SignalRuns(signal);
    // A second signal, or an export that does not wind down, ends the
    // process at once; the next export into the directory removes what
    // it left.
    // A batch waits longer than its runs do, to write its report after them.
    const timespec patience{batch_patience ? 30 : 10, 0};
    sigtimedwait(&signals, nullptr, &patience);
    cli::SignalRuns(SIGKILL);
    _exit(128 + signal);
  }).detach();

  try {
    comp::Settings().LoadFile(o.settings);
    if (!o.server.empty()) {
      const auto colon = o.server.rfind(':');
      if (colon == std::string::npos) throw UsageError("--server: informe HOST:PORTA");
      comp::Settings().Override("server.host", o.server.substr(0, colon));
      comp::Settings().Override("server.port", o.server.substr(colon + 1));
      comp::WebPort();  // a bad port is an error of the options
    }
    if (!o.database.empty()) comp::Settings().Override("database.url", o.database);
    // The password of server.user: MAG_PASSWORD, or asked once on the
    // terminal; never an option (a command line is seen by every user).
    net::SetPasswordSource([](const std::string& user, bool again) -> std::optional<std::string> {
      if (const char* given = std::getenv("MAG_PASSWORD"); given && !again) return std::string(given);
      if (isatty(STDIN_FILENO) == 0) return std::nullopt;
      const std::string prompt = "Senha de " + user + " no servidor de aplicação: ";
      return console::ReadSecret(prompt.c_str());
    });

    if (!o.lote.empty() || !o.todas.empty()) {
      RefuseSingleFileOptions(o);
      cli::BatchOptions batch;
      batch.plan = o.lote;
      batch.month = o.todas;
      batch.parallel = o.paralelo;
      batch.report = o.relatorio;
      batch.redo = o.refazer;
      batch.defaults.tipo = o.tipo;
      batch.defaults.finalidade = o.finalidade;
      batch.defaults.nome = o.nome;
      batch.program = "/proc/self/exe";
      batch.package = o.package;
      batch.arguments = {"--settings", o.settings};
      if (!o.server.empty()) batch.arguments.insert(batch.arguments.end(), {"--server", o.server});
      if (!o.database.empty()) batch.arguments.insert(batch.arguments.end(), {"--database", o.database});
      if (!o.package.empty()) batch.arguments.insert(batch.arguments.end(), {"--package", o.package});
      // The password is asked once, here; each file's run takes it from
      // its environment.
      const std::string user = comp::Settings().Get("server.user", "");
      if (!user.empty() && !std::getenv("MAG_PASSWORD")) {
        if (const auto password = net::SessionPassword(user)) setenv("MAG_PASSWORD", password->c_str(), 1);
      }
      batch_patience = true;
      return cli::RunBatchMode(batch, interrupted_by);
    }

    tk::HeadlessDialogs dialogs;
    std::string last_information;
    bool error_shown = false;
    dialogs.OnEvent = [&](const tk::DialogEvent& e) {
      if (const char* word = KindWord(e.kind)) std::cout << word << ": " << e.text << std::endl;
      if (e.kind == tk::DialogEvent::Kind::Information) last_information = e.text;
    };
    tk::Application().ExceptionShown.Connect([&](const std::string&) { error_shown = true; });
    if (!o.written.empty()) {
      tk::Application().FileWritten.Connect([&o](const std::string& path) {
        std::ofstream note(o.written, std::ios::trunc);
        note << path << "\n";
      });
    }
    host::PackageHost host(dialogs, [] { return std::make_unique<ProgressTransport>(); });
    tk::TForm* form = cli::OpenExportForm(host, o.package);
    if (!form) return 2;  // the package said why
    const cli::ExportScreen screen(*form);
    const std::string success = screen.msgPadrao.Msg("Sucess");
    cli::ScreenFiller filler(screen, dialogs);
    const bool completed = filler.Run(o);
    host.Unload();
    if (completed && last_information == success) return 0;
    if (const int signal = interrupted_by) {
      std::cerr << "mag-export: interrompido por " << SignalName(signal)
                << "; nenhum arquivo parcial ficou no diretório\n";
      return 128 + signal;
    }
    return error_shown ? 2 : 1;
  } catch (const UsageError& e) {
    std::cerr << "mag-export: " << e.what() << "\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "mag-export: " << e.what() << "\n";
    return 2;
  }
}
