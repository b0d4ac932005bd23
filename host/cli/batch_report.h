#pragma once
// What a batch made of each planned file, and the report a person reads:
// relatorio.csv and a self-contained relatorio.html in the report directory,
// and a one-screen summary for the terminal.
#include <string>
#include <vector>

#include "host/cli/batch_plan.h"

namespace cli {

enum class FileStatus {
  Made,             // written (new, or its lines changed)
  Kept,             // its lines were the file's already: the file is left as it was
  RefusedByScreen,  // the screen stopped at a message of its own, or refused the plan line
  RefusedByServer,  // the server answered a status text instead of the lines
  Failed,           // anything else: the server unreachable, a file that cannot be written
};

struct FileOutcome {
  PlannedFile file;
  std::string name;  // the file's name, or the pattern when it could not be named
  std::string path;  // where it is, when made or kept
  FileStatus status = FileStatus::Failed;
  std::string message;  // the screen's or the server's words, or why it failed
  long lines = 0;
  long errors = 0;
  long warnings = 0;
  std::string findings;  // the checker's report, when it found anything
  double seconds = 0;
};

// "feito", "mantido", "recusado pela tela", "recusado pelo servidor", "falhou".
const char* StatusWord(FileStatus status);

// Whether the batch's exit status is 0 for it: made or kept, and clean.
bool Clean(const FileOutcome& outcome);

// Writes relatorio.csv and relatorio.html into `directory` (created when
// missing). Throws std::runtime_error naming the file that cannot be written.
void WriteReport(const std::string& directory, const std::string& title,
                 const std::vector<FileOutcome>& outcomes);

// The summary for the terminal: the counts by status, the files with
// findings, and one line per file that was not made.
std::string TerminalSummary(const std::vector<FileOutcome>& outcomes);

}  // namespace cli
