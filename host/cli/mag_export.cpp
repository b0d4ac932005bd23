// mag-export: the batch front-end of the magnetic-file screen. It opens the
// screen headless, fills it field by field in tab order as a person would
// (type, leave the field, tick, pick), presses Export and prints every dialog
// the screen shows. Exit status: 0 after the success message, 1 when the
// screen stopped at a message of its own, 2 on any other error, 128 + the
// signal's number when SIGINT, SIGTERM or SIGHUP ended it.
#include <pthread.h>
#include <termios.h>
#include <unistd.h>
#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "host/components/host_settings.h"
#include "host/components/messages.h"
#include "host/loader/package_host.h"
#include "host/net/credentials.h"
#include "host/net/http_transport.h"
#include "host/toolkit/application.h"
#include "host/toolkit/headless_dialogs.h"
#include "host/toolkit/user_input.h"
#include "lib/text/utf8.h"
#include "lib/wire/file_name.h"
#include "lib/wire/registro_call.h"

namespace {

struct Options {
  std::string server, database, settings = comp::HostSettings::DefaultPath(), package;
  std::string tipo, empresa, imposto, inscricao, inscricao_st, livro, pais, estados, de, ate, versao,
      finalidade, nome, registros, inventario;
  bool registro_88st = false;
};

// A problem with the options, not with the screen.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> items;
  std::stringstream in(list);
  for (std::string item; std::getline(in, item, ',');) {
    item.erase(0, item.find_first_not_of(' '));
    item.erase(item.find_last_not_of(' ') + 1);
    if (!item.empty()) items.push_back(item);
  }
  return items;
}

// The screen's controls, found by name in the form the package created: this
// program knows the toolkit, not the package's form class.
struct Screen {
  explicit Screen(tk::TForm& f) : form(f) {}
  tk::TForm& form;
  template <typename T>
  T& Find(const char* name) const {
    auto* found = dynamic_cast<T*>(form.FindComponent(name));
    if (!found)
      throw std::runtime_error(std::string("the screen has no control '") + name + "' of the kind expected");
    return *found;
  }
  tk::TComboBox& cbbArquivo = Find<tk::TComboBox>("cbbArquivo");
  tk::TCustomEdit& medCdEmpresa = Find<tk::TCustomEdit>("medCdEmpresa");
  tk::TCustomEdit& medCdImposto = Find<tk::TCustomEdit>("medCdImposto");
  tk::TCustomEdit& edtNrInscricao = Find<tk::TCustomEdit>("edtNrInscricao");
  tk::TCustomEdit& edtNrInscricaoST = Find<tk::TCustomEdit>("edtNrInscricaoST");
  tk::TCustomEdit& medLivro = Find<tk::TCustomEdit>("medLivro");
  tk::TCustomEdit& medCodPais = Find<tk::TCustomEdit>("medCodPais");
  tk::TRadioButton& rbtEstTodos = Find<tk::TRadioButton>("rbtEstTodos");
  tk::TRadioButton& rbtEstLista = Find<tk::TRadioButton>("rbtEstLista");
  tk::TControl& sbtPescEst = Find<tk::TControl>("sbtPescEst");
  tk::TCustomEdit& depMesInicial = Find<tk::TCustomEdit>("depMesInicial");
  tk::TCustomEdit& depMesFinal = Find<tk::TCustomEdit>("depMesFinal");
  tk::TComboBox& cbbVersao = Find<tk::TComboBox>("cbbVersao");
  tk::TComboBox& cbbFinalidade = Find<tk::TComboBox>("cbbFinalidade");
  tk::TCustomEdit& edtNmArquivo = Find<tk::TCustomEdit>("edtNmArquivo");
  tk::TCheckListBox& clbArquivos = Find<tk::TCheckListBox>("clbArquivos");
  tk::TCheckBox& ckcInventario = Find<tk::TCheckBox>("ckcInventario");
  tk::TCustomEdit& depInventario = Find<tk::TCustomEdit>("depInventario");
  tk::TCheckBox& ckcRegistro88st = Find<tk::TCheckBox>("ckcRegistro88st");
  tk::TControl& sbtImportExport = Find<tk::TControl>("sbtImportExport");
  comp::TMessages& msgPadrao = Find<comp::TMessages>("msgPadrao");
};

int ItemStartingWith(const tk::TComboBox& combo, const std::string& code, const char* option) {
  for (std::size_t i = 0; i < combo.Items().size(); ++i) {
    if (combo.Items()[i].rfind(code, 0) == 0 && !code.empty()) return static_cast<int>(i);
  }
  throw UsageError(std::string(option) + " '" + code + "' is not in the list");
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

class Filler {
 public:
  Filler(const Screen& screen, tk::HeadlessDialogs& dialogs)
      : f_(screen), user_(screen.form), dialogs_(dialogs) {}

  // Fills the screen as a person would and presses Export; stops at the
  // first check that keeps the focus in its field. Returns whether the
  // Export click completed.
  bool Run(const Options& o) {
    // The months start on the current one: a batch run names its period.
    if (o.de.empty()) throw UsageError("--de: o primeiro mês do período deve ser informado");
    if (o.ate.empty()) throw UsageError("--ate: o último mês do período deve ser informado");
    RefuseAlteredName(o.nome);
    try {
      return Fill(o);
    } catch (const FocusKept&) {
      // The message was shown once; a person fixes the field first.
      return false;
    }
  }

 private:
  // A field's check kept the focus in it: typing on would only run the check
  // again from every later field.
  struct FocusKept {};

  bool Fill(const Options& o) {
    if (!o.tipo.empty()) {
      const auto& items = f_.cbbArquivo.Items();
      const auto it = std::find(items.begin(), items.end(), o.tipo);
      if (it == items.end()) throw UsageError("--tipo '" + o.tipo + "' is not a file type");
      user_.Choose(f_.cbbArquivo, static_cast<int>(it - items.begin()));
    }
    Field(f_.medCdEmpresa, o.empresa, "--empresa");
    Field(f_.medCdImposto, o.imposto, "--imposto");
    Field(f_.edtNrInscricao, o.inscricao, "--inscricao");
    Field(f_.edtNrInscricaoST, o.inscricao_st, "--inscricao-st");
    Field(f_.medLivro, o.livro, "--livro");
    Field(f_.medCodPais, o.pais, "--pais", "o país");
    if (!o.estados.empty()) {
      Enabled(f_.rbtEstLista, "--estados", "a lista de estados");
      if (o.estados == "todos") {
        user_.Click(f_.rbtEstTodos);
      } else {
        user_.Click(f_.rbtEstLista);
        dialogs_.ScriptPick(tk::PickAnswer::Values(Split(o.estados)));
        user_.Click(f_.sbtPescEst);
      }
    }
    Field(f_.depMesInicial, o.de, "--de");
    Field(f_.depMesFinal, o.ate, "--ate");
    if (!o.versao.empty()) user_.Choose(f_.cbbVersao, ItemStartingWith(f_.cbbVersao, o.versao, "--versao"));
    if (!o.finalidade.empty()) {
      user_.Choose(f_.cbbFinalidade, ItemStartingWith(f_.cbbFinalidade, o.finalidade, "--finalidade"));
    }
    Field(f_.edtNmArquivo, o.nome, "--nome");
    if (!o.registros.empty()) {
      static const std::map<std::string, std::size_t> kItems = {
          {"50", 0}, {"51", 1}, {"53", 2}, {"54", 3}, {"55", 4},    {"60", 5},
          {"61", 6}, {"70", 7}, {"74", 8}, {"75", 9}, {"88ST", 10}, {"88SM", 11}};
      std::vector<std::size_t> wanted;
      if (o.registros == "todos") {
        for (std::size_t i = 0; i < 12; ++i) wanted.push_back(i);
      } else {
        for (const auto& r : Split(o.registros)) {
          const auto it = kItems.find(r);
          if (it == kItems.end()) throw UsageError("--registros: no register item '" + r + "'");
          wanted.push_back(it->second);
        }
      }
      Enabled(f_.clbArquivos, "--registros", "a lista de registros");
      for (std::size_t i : wanted) {
        if (!f_.clbArquivos.Checked(i)) user_.Toggle(f_.clbArquivos, i);
      }
    }
    if (!o.inventario.empty()) {
      Enabled(f_.ckcInventario, "--inventario", "o inventário");
      if (!f_.ckcInventario.Checked()) user_.Click(f_.ckcInventario);
      Field(f_.depInventario, o.inventario, "--inventario");
    }
    if (o.registro_88st) {
      Enabled(f_.ckcRegistro88st, "--registro-88st", "a opção do registro 88");
      if (!f_.ckcRegistro88st.Checked()) user_.Click(f_.ckcRegistro88st);
    }
    return user_.Click(f_.sbtImportExport);
  }

  // An option that names a control the screen has disabled would be
  // dropped without a word: it is refused, naming what it asked for.
  void Enabled(const tk::TControl& control, const char* option, const char* what) {
    if (control.EffectivelyEnabled()) return;
    throw UsageError(std::string(option) + ": " + what + " não se aplica ao tipo " + f_.cbbArquivo.Text());
  }

  void Field(tk::TCustomEdit& field, const std::string& text, const char* option,
             const char* what = "o campo") {
    if (text.empty()) return;
    if (!field.CanFocus()) {
      Enabled(field, option, what);
      throw UsageError(std::string(option) + ": o campo está desabilitado na tela");
    }
    if (!user_.Fill(field, text)) return;
    if (!user_.Tab() && user_.form().ActiveControl() == &field) throw FocusKept{};
  }

  // The screen drops what its key filter refuses and cuts what passes its
  // length: a batch caller's name would be written altered, so it is
  // refused before anything is typed.
  void RefuseAlteredName(const std::string& name) const {
    std::string refused;
    const std::size_t characters = ::text::utf8::Length(name);
    for (unsigned char c : name) {
      if (wire::IsForbiddenInFileName(c) && refused.find(static_cast<char>(c)) == std::string::npos) {
        refused += refused.empty() ? "" : " ";
        refused += static_cast<char>(c);
      }
    }
    if (!refused.empty()) throw UsageError("--nome: a tela recusa no nome os caracteres " + refused);
    const int limit = f_.edtNmArquivo.MaxLength();
    if (limit > 0 && characters > static_cast<std::size_t>(limit)) {
      throw UsageError("--nome: o nome tem " + std::to_string(characters) +
                       " caracteres; a tela aceita até " + std::to_string(limit));
    }
  }

  const Screen& f_;
  tk::UserInput user_;
  tk::HeadlessDialogs& dialogs_;
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  CLI::App app{"mag-export: fills the magnetic-file screen headless and presses Export"};
  app.add_option("--server", o.server, "application server HOST:PORT (default: the host's settings)");
  app.add_option("--database", o.database, "database URL of the lookups (default: the host's settings)");
  app.add_option("--settings", o.settings, "the host's settings file")->capture_default_str();
  app.add_option("--package", o.package, "the package to load (default: beside this program)");
  app.add_option("--tipo", o.tipo, "file type, e.g. \"SINTEGRA\" or \"DIEF - MA\"");
  app.add_option("--empresa", o.empresa, "company code");
  app.add_option("--imposto", o.imposto, "tax code");
  app.add_option("--inscricao", o.inscricao, "state (or municipal) registration");
  app.add_option("--inscricao-st", o.inscricao_st, "registration of the tax substitute");
  app.add_option("--livro", o.livro, "magnetic book code");
  app.add_option("--pais", o.pais, "country code");
  app.add_option("--estados", o.estados, "todos, or state abbreviations separated by commas");
  app.add_option("--de", o.de, "first month, MM/AAAA");
  app.add_option("--ate", o.ate, "last month, MM/AAAA");
  app.add_option("--versao", o.versao, "convention version: 1, 2 or 3");
  app.add_option("--finalidade", o.finalidade, "file purpose: 1, 2, 3 or 5");
  app.add_option("--nome", o.nome, "file name");
  app.add_option("--registros", o.registros,
                 "register items: 50,51,53,54,55,60,61,70,74,75,88ST,88SM or todos");
  app.add_option("--inventario", o.inventario, "inventory month, MM/AAAA (ticks the inventory option)");
  app.add_flag("--registro-88st", o.registro_88st, "ticks the option of register 88 (tax substitution)");
  CLI11_PARSE(app, argc, argv);

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
    // A second signal, or an export that does not wind down, ends the
    // process at once; the next export into the directory removes what
    // it left.
    const timespec patience{10, 0};
    sigtimedwait(&signals, nullptr, &patience);
    _exit(128 + signal);
  }).detach();

  try {
    comp::Settings().LoadFile(o.settings);
    if (!o.server.empty()) {
      const auto colon = o.server.rfind(':');
      if (colon == std::string::npos) throw UsageError("--server takes HOST:PORT");
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
      std::cerr << "Senha de " << user << " no servidor de aplicação: " << std::flush;
      termios old{};
      tcgetattr(STDIN_FILENO, &old);
      termios quiet = old;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
      std::string password;
      std::getline(std::cin, password);
      tcsetattr(STDIN_FILENO, TCSANOW, &old);
      std::cerr << "\n";
      return password;
    });

    tk::HeadlessDialogs dialogs;
    std::string last_information;
    bool error_shown = false;
    dialogs.OnEvent = [&](const tk::DialogEvent& e) {
      if (const char* word = KindWord(e.kind)) std::cout << word << ": " << e.text << std::endl;
      if (e.kind == tk::DialogEvent::Kind::Information) last_information = e.text;
    };
    tk::Application().ExceptionShown.Connect([&](const std::string&) { error_shown = true; });
    host::PackageHost host(dialogs, [] { return std::make_unique<ProgressTransport>(); });
    host.Load(o.package.empty() ? host::PackageHost::DefaultPackagePath() : o.package);
    host.IniProc();
    tk::TForm* form = nullptr;
    for (tk::TForm* open : tk::Application().Forms()) {
      if (open->Name() == "frmArquMag") form = open;
    }
    if (!form) return 2;  // the package said why
    const Screen screen(*form);
    const std::string success = screen.msgPadrao.Msg("Sucess");
    Filler filler(screen, dialogs);
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
