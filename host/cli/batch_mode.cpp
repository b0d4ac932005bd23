#include "host/cli/batch_mode.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <set>

#include "host/cli/batch_report.h"
#include "host/cli/batch_run.h"
#include "host/cli/export_screen.h"
#include "host/cli/month_plan.h"
#include "host/net/http_transport.h"
#include "host/net/server_capacity.h"
#include "host/toolkit/headless_dialogs.h"

namespace cli {
namespace {

std::vector<PlannedFile> ReadPlanFile(const BatchOptions& o, Lookups& lookups) {
  std::ifstream in(o.plan);
  if (!in) throw PlanError("não foi possível ler o plano " + o.plan);
  std::vector<PlannedFile> plan = ReadPlan(in, o.defaults.nome.empty() ? kNamePattern : o.defaults.nome);
  for (PlannedFile& file : plan) {
    if (file.options.tipo.empty()) file.options.tipo = o.defaults.tipo;
    if (file.options.finalidade.empty())
      file.options.finalidade = o.defaults.finalidade.empty() ? "1" : o.defaults.finalidade;
    try {
      Complete(lookups, file);
    } catch (const std::exception&) {
      // An unknown company or registration: the screen says so when the
      // line runs.
    }
  }
  return plan;
}

// Names every line and judges it as the screen would before anything is
// typed; a line it would refuse is reported as refused and not run.
std::vector<FileOutcome> Judge(std::vector<PlannedFile> plan, const ExportScreen& screen) {
  std::vector<FileOutcome> outcomes;
  std::set<std::string> names;
  for (PlannedFile& file : plan) {
    FileOutcome outcome;
    outcome.name = file.options.nome;
    try {
      outcome.name = NameFromPattern(file);
      ExportOptions typed = file.options;
      typed.nome = outcome.name;
      RefuseBeforeTyping(typed, screen);
      if (!names.insert(outcome.name).second) {
        throw UsageError("--nome: o nome " + outcome.name + " já é de outro arquivo do plano");
      }
    } catch (const UsageError& e) {
      outcome.status = FileStatus::RefusedByScreen;
      outcome.message = e.what();
    }
    outcome.file = std::move(file);
    outcomes.push_back(std::move(outcome));
  }
  return outcomes;
}

// The progress of the whole batch on one line of the terminal.
class ProgressLine {
 public:
  explicit ProgressLine(std::size_t total) : total_(total), shown_(isatty(STDERR_FILENO) != 0) {}
  void Add(const FileOutcome& outcome) {
    ++done_;
    if (outcome.status == FileStatus::Made || outcome.status == FileStatus::Kept) {
      ++made_;
    } else {
      ++not_made_;
    }
    if (!shown_) return;
    constexpr int kWidth = 30;
    const int filled = total_ == 0 ? kWidth : static_cast<int>(done_ * kWidth / total_);
    std::cerr << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(kWidth - filled), '-') << "] " << done_ << "/" << total_
              << "  prontos " << made_ << ", não feitos " << not_made_ << std::flush;
    if (done_ == total_) std::cerr << "\n";
  }

 private:
  std::size_t total_;
  bool shown_;
  std::size_t done_ = 0;
  std::size_t made_ = 0;
  std::size_t not_made_ = 0;
};

}  // namespace

int RunBatchMode(const BatchOptions& o, const std::atomic<int>& stop) {
  if (o.plan.empty() == o.month.empty()) throw UsageError("--lote e --todas: informe um dos dois");
  std::vector<FileOutcome> outcomes;
  {
    tk::HeadlessDialogs dialogs;
    host::PackageHost host(dialogs, net::HttpTransportFactory());
    tk::TForm* form = OpenExportForm(host, o.package);
    if (!form) return 2;  // the package said why
    const ExportScreen screen(*form);
    Lookups lookups;
    std::vector<PlannedFile> plan;
    try {
      if (!o.plan.empty()) {
        plan = ReadPlanFile(o, lookups);
      } else {
        plan = PlanForMonth(lookups, o.month, o.defaults.nome.empty() ? kNamePattern : o.defaults.nome);
        for (PlannedFile& file : plan) {
          file.options.tipo = o.defaults.tipo;
          if (!o.defaults.finalidade.empty()) file.options.finalidade = o.defaults.finalidade;
        }
      }
    } catch (const PlanError& e) {
      std::cerr << "mag-export: --lote: " << e.what() << "\n";
      return 2;
    }
    outcomes = Judge(std::move(plan), screen);
    host.Unload();
  }
  if (outcomes.empty()) {
    std::cerr << "mag-export: o plano não tem arquivos"
              << (o.month.empty() ? "" : " (nenhum mapa fiscal bloqueado no mês)") << "\n";
    return 2;
  }

  BatchSettings settings;
  settings.program = o.program;
  settings.arguments = o.arguments;
  settings.redo = o.redo;
  settings.parallel = o.parallel > 0 ? o.parallel : std::max(1, net::ServerFreeBuilds().value_or(1));
  ProgressLine progress(outcomes.size());
  for (const FileOutcome& outcome : outcomes) {
    if (outcome.status != FileStatus::Failed) progress.Add(outcome);
  }
  RunBatch(
      outcomes, settings, [&](const FileOutcome& outcome) { progress.Add(outcome); }, stop);
  for (FileOutcome& outcome : outcomes) {
    if (outcome.status == FileStatus::Failed && outcome.message.empty())
      outcome.message = "interrompido antes de começar";
  }

  std::cout << TerminalSummary(outcomes) << std::flush;
  if (!o.report.empty()) {
    const std::string title = o.month.empty() ? "Lote " + o.plan : "Arquivos magnéticos de " + o.month;
    WriteReport(o.report, title, outcomes);
    std::cout << "relatório: " << o.report << "/relatorio.html\n";
  }
  if (const int signal = stop.load()) return 128 + signal;
  const bool clean =
      std::all_of(outcomes.begin(), outcomes.end(), [](const FileOutcome& f) { return Clean(f); });
  return clean ? 0 : 1;
}

}  // namespace cli
