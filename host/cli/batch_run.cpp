#include "host/cli/batch_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "lib/layout/layout_check.h"

extern char** environ;

namespace cli {
namespace {

namespace fs = std::filesystem;

std::mutex runs_mutex;
std::set<pid_t> runs;  // the children under way
bool runs_stopped = false;

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string output;
};

// Runs the program with its output (standard output and error) read back.
RunResult Run(const std::vector<std::string>& argv) {
  int pipe_ends[2];
  if (pipe2(pipe_ends, O_CLOEXEC) != 0) throw std::runtime_error("não foi possível criar um pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  // The signals this program takes on a thread of its own are blocked in
  // it; the run must take them as usual.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  // A group of its own: a Ctrl-C at the terminal reaches this program
  // alone, which passes it on once (SignalRuns); twice, a run would take
  // it as the second signal that ends it at once.
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  int error = 0;
  {
    // After a signal no run starts: one started now would never get it.
    std::lock_guard lock(runs_mutex);
    error = runs_stopped ? ECANCELED
                         : posix_spawn(&pid, argv[0].c_str(), &actions, &attributes, args.data(), environ);
    if (error == 0) runs.insert(pid);
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(pipe_ends[1]);
  if (error == ECANCELED) {
    close(pipe_ends[0]);
    throw std::runtime_error("interrompido por um sinal antes de começar");
  }
  if (error != 0) {
    close(pipe_ends[0]);
    throw std::runtime_error("não foi possível executar " + argv[0] + ": " + std::strerror(error));
  }
  RunResult result;
  char buffer[4096];
  for (ssize_t n; (n = read(pipe_ends[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    result.output.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipe_ends[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  {
    std::lock_guard lock(runs_mutex);
    runs.erase(pid);
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::string After(const std::string& line, const std::string& prefix) {
  return line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : line;
}

// What a run that did not end with the success message said, read as the
// report tells it: the server's status text, the screen's message, or why
// it failed.
void ReadRefusal(const RunResult& run, FileOutcome& outcome) {
  const auto lines = Lines(run.output);
  const std::string last = lines.empty() ? std::string() : lines.back();
  // The server's status text is shown as a plain message, then the export
  // says it was stopped by the server.
  static const std::string kStopped = "erro: A geração do arquivo foi interrompida pelo servidor: ";
  if (last.rfind(kStopped, 0) == 0) {
    outcome.status = FileStatus::RefusedByServer;
    outcome.message = last.substr(kStopped.size());
    return;
  }
  if (run.status == 1) {
    outcome.status = FileStatus::RefusedByScreen;
    outcome.message = After(After(After(last, "erro: "), "informação: "), "mensagem: ");
    return;
  }
  // An option the screen would refuse names the option.
  if (run.status == 2 && last.rfind("mag-export: --", 0) == 0) {
    outcome.status = FileStatus::RefusedByScreen;
    outcome.message = After(last, "mag-export: ");
    return;
  }
  outcome.status = FileStatus::Failed;
  outcome.message = last.empty() ? "a exportação terminou com o código " + std::to_string(run.status)
                                 : After(After(last, "mag-export: "), "erro: ");
}

bool SameBytes(const fs::path& a, const fs::path& b) {
  std::error_code error;
  if (fs::file_size(a, error) != fs::file_size(b, error) || error) return false;
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  char bx[65536], by[65536];
  while (x && y) {
    x.read(bx, sizeof bx);
    y.read(by, sizeof by);
    if (x.gcount() != y.gcount() || !std::equal(bx, bx + x.gcount(), by)) return false;
  }
  return true;
}

// The name a run writes under, beside the file it may replace; the name
// field takes 50 characters, and a name without room is written in place.
std::string NewName(const std::string& name) {
  static constexpr const char* kSuffix = ".novo";
  return name.size() + 5 <= 50 ? name + kSuffix : name;
}

void Make(FileOutcome& outcome, const BatchSettings& settings, const fs::path& notes, int index) {
  const auto started = std::chrono::steady_clock::now();
  const ExportOptions& o = outcome.file.options;
  const std::string written_note = (notes / ("escrito-" + std::to_string(index))).string();
  std::vector<std::string> argv{settings.program};
  argv.insert(argv.end(), settings.arguments.begin(), settings.arguments.end());
  const auto option = [&](const char* name, const std::string& value) {
    if (!value.empty()) argv.insert(argv.end(), {name, value});
  };
  option("--tipo", o.tipo);
  option("--empresa", o.empresa);
  option("--imposto", o.imposto);
  option("--inscricao", o.inscricao);
  option("--inscricao-st", o.inscricao_st);
  option("--livro", o.livro);
  option("--pais", o.pais);
  option("--estados", o.estados);
  option("--de", o.de);
  option("--ate", o.ate);
  option("--versao", o.versao);
  option("--finalidade", o.finalidade);
  option("--registros", o.registros);
  option("--inventario", o.inventario);
  if (o.registro_88st) argv.push_back("--registro-88st");
  const std::string temporary = NewName(outcome.name);
  argv.insert(argv.end(), {"--nome", temporary, kWrittenOption, written_note});
  try {
    const RunResult run = Run(argv);
    if (run.status != 0) {
      ReadRefusal(run, outcome);
    } else {
      std::ifstream note(written_note);
      std::string written;
      std::getline(note, written);
      if (written.empty()) throw std::runtime_error("a exportação não disse onde gravou o arquivo");
      const fs::path made(written);
      const fs::path target = made.parent_path() / outcome.name;
      std::error_code error;
      if (made != target) {
        if (!settings.redo && fs::exists(target, error) && SameBytes(made, target)) {
          fs::remove(made, error);
          outcome.status = FileStatus::Kept;
        } else {
          fs::rename(made, target, error);
          if (error) {
            // The new lines are not left beside the file under a name of their own.
            std::error_code ignored;
            fs::remove(made, ignored);
            throw std::runtime_error("o arquivo " + target.string() +
                                     " não pôde ser substituído: " + error.message());
          }
          outcome.status = FileStatus::Made;
        }
      } else {
        outcome.status = FileStatus::Made;
      }
      // Only a file made or kept is checked.
      outcome.path = target.string();
    }
  } catch (const std::exception& e) {
    outcome.status = FileStatus::Failed;
    outcome.message = e.what();
  }
  std::error_code ignored;
  fs::remove(written_note, ignored);
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

void Check(FileOutcome& outcome) {
  if (outcome.path.empty()) return;
  const auto started = std::chrono::steady_clock::now();
  try {
    const layout::Report report = layout::CheckFile(outcome.path);
    outcome.lines = report.lines;
    outcome.errors = report.Errors();
    outcome.warnings = report.Warnings();
    if (!report.ok()) outcome.findings = layout::Describe(report);
  } catch (const std::exception& e) {
    outcome.status = FileStatus::Failed;
    outcome.message = std::string("o arquivo gravado não pôde ser verificado: ") + e.what();
  }
  outcome.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

}  // namespace

void SignalRuns(int signal) {
  std::lock_guard lock(runs_mutex);
  runs_stopped = true;
  for (pid_t pid : runs) kill(pid, signal);
}

void RunBatch(std::vector<FileOutcome>& outcomes, const BatchSettings& settings,
              const std::function<void(const FileOutcome&)>& progress, const std::atomic<int>& stop) {
  std::vector<std::size_t> pending;
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    if (outcomes[i].status == FileStatus::Failed && outcomes[i].message.empty()) pending.push_back(i);
  }
  char pattern[] = "/tmp/mag-lote-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("não foi possível criar um diretório temporário");
  const fs::path notes(pattern);
  // A file is checked on a thread of its own while the next one is made:
  // the check reads the file the export has just written, the export waits
  // on the server.
  std::mutex mutex;  // guards next, the checks' queue and the progress calls
  std::condition_variable checks_changed;
  std::deque<std::size_t> checks;
  bool made_all = false;
  std::size_t next = 0;
  std::thread checker([&] {
    for (;;) {
      std::size_t index = 0;
      {
        std::unique_lock lock(mutex);
        checks_changed.wait(lock, [&] { return !checks.empty() || made_all; });
        if (checks.empty()) return;
        index = checks.front();
        checks.pop_front();
      }
      Check(outcomes[index]);
      std::lock_guard lock(mutex);
      progress(outcomes[index]);
    }
  });
  const auto work = [&] {
    for (;;) {
      std::size_t index = 0;
      {
        std::lock_guard lock(mutex);
        if (next == pending.size() || stop) return;
        index = pending[next++];
      }
      Make(outcomes[index], settings, notes, static_cast<int>(index));
      std::lock_guard lock(mutex);
      checks.push_back(index);
      checks_changed.notify_one();
    }
  };
  std::vector<std::thread> workers;
  for (int i = 1; i < std::max(1, settings.parallel); ++i) workers.emplace_back(work);
  work();
  for (auto& worker : workers) worker.join();
  {
    std::lock_guard lock(mutex);
    made_all = true;
    checks_changed.notify_one();
  }
  checker.join();
  std::error_code ignored;
  fs::remove_all(notes, ignored);
}

}  // namespace cli
