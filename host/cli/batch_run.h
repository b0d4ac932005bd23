#pragma once
// Makes the files of a batch, several at once: each file through a screen of
// its own (a mag-export of its own, as a person would fill one screen per
// file), so that every rule of the screen applies to every file and one
// failure never stops the others. A file whose lines are those of the file
// already there is left as it was; each file made is checked as soon as it
// is written.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "host/cli/batch_report.h"

namespace cli {

struct BatchSettings {
  std::string program;                 // mag-export itself, run once per file
  std::vector<std::string> arguments;  // given to every run: --settings, --server, --database, --package
  int parallel = 1;
  bool redo = false;  // --refazer: rewrite a file even when its lines are unchanged
};

// Makes the outcomes whose status is Failed with an empty message (the ones
// still to make); the others (refused before anything ran) are left alone.
// `progress` is called after each file, from the thread that made it, one
// call at a time. A `stop` set (by a signal) makes no further file and
// passes the signal to the runs under way.
void RunBatch(std::vector<FileOutcome>& outcomes, const BatchSettings& settings,
              const std::function<void(const FileOutcome&)>& progress, const std::atomic<int>& stop);

// Passes a signal to every run under way (from the signal's thread).
void SignalRuns(int signal);

// The hidden option by which a run tells where it wrote its file.
inline constexpr const char* kWrittenOption = "--caminho-escrito";

}  // namespace cli
