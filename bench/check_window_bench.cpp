// The check window on a large magnetic file, end to end (from Open to the
// findings in the tree, on Qt's offscreen platform), beside mag-check on the
// same file in the same run: the ratio of their wall times and of their peak
// memory. Also how often the progress bar moved and the longest the GUI's
// event loop went without turning (a 10 ms timer's largest gap), which say
// whether the window stayed responsive. Printed, not asserted.
//   check_window_bench [FILE] [RUNS]
// Without a FILE it writes a 1,000,000-line file with a disagreeing CFOP on
// every tenth register 50 (about 100,000 findings of one rule). Run it from
// a release build; mag-check is taken from beside this program.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "host/qt/check_window.h"
#include "host/qt/check_words.h"
#include "tests/qt/sample_magnetic_file.h"
#include "tests/support/process_memory.h"

namespace {

constexpr long kLines = 1000000;
// Reading a process's memory map walks its page tables and holds it up
// meanwhile: both programs are sampled as seldom.
constexpr int kSampleMs = 100;

void WriteLargeFile(const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  const long notes = kLines - 3;
  out << sample::kRegister10 << "\r\n" << sample::kRegister11 << "\r\n";
  for (long k = 0; k < notes; ++k) out << sample::Register50(k, k % 10 == 0 ? "6102" : "5102") << "\r\n";
  out << sample::Register90(notes, kLines) << "\r\n";
}

struct Run {
  double seconds = 0;
  long peak_kib = 0;     // resident
  long private_kib = 0;  // anonymous pages, sampled
};

Run MagCheck(const std::string& binary, const std::string& file) {
  std::fflush(stdout);
  const auto started = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    std::FILE* out = std::freopen("/dev/null", "w", stdout);
    (void)out;
    execl(binary.c_str(), binary.c_str(), file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Run run;
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, WNOHANG, &usage) == 0) {
    run.private_kib = std::max(run.private_kib, PrivateKiB(pid));
    std::this_thread::sleep_for(std::chrono::milliseconds(kSampleMs));
  }
  // 0 clean, 1 warnings, 2 errors: anything else is a failure to run.
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 2) throw std::runtime_error(binary + " failed");
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  run.peak_kib = usage.ru_maxrss;
  return run;
}

struct WindowRun : Run {
  int progress_moves = 0;
  long longest_gap_ms = 0;
  QString summary;
};

// The peak resident size counts from here on (the file's writing and the
// runs before are forgotten).
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

WindowRun CheckInWindow(const std::string& file) {
  qtfront::CheckWindow window;
  window.resize(1000, 600);
  window.show();
  QApplication::processEvents();
  ResetPeak();
  const long private_before = PrivateKiB(getpid());

  WindowRun run;
  QObject::connect(window.Progress(), &QProgressBar::valueChanged, [&run] { ++run.progress_moves; });
  QElapsedTimer since_tick;
  QTimer ticks;
  ticks.setInterval(10);
  QElapsedTimer since_sample;
  QObject::connect(&ticks, &QTimer::timeout, [&] {
    run.longest_gap_ms = std::max<long>(run.longest_gap_ms, static_cast<long>(since_tick.restart()));
    if (since_sample.elapsed() >= kSampleMs) {
      run.private_kib = std::max(run.private_kib, PrivateKiB(getpid()) - private_before);
      since_sample.restart();
    }
  });
  bool ended = false;
  window.OnFinished([&](qtfront::CheckWindow::State) { ended = true; });

  QElapsedTimer clock;
  clock.start();
  since_tick.start();
  since_sample.start();
  ticks.start();
  window.Open(QString::fromStdString(file));
  while (!ended) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  // The tree painted with the findings is the end a user sees.
  QApplication::processEvents();
  run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  ticks.stop();
  run.peak_kib = PeakKiB(getpid());
  run.summary = window.Summary()->text();
  return run;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const std::string mag_check = (std::filesystem::path(argv[0]).parent_path() / "mag-check").string();
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  QTemporaryDir dir;
  std::string file = argc > 1 ? argv[1] : "";
  if (file.empty()) {
    file = dir.filePath("large.txt").toStdString();
    WriteLargeFile(file);
  }
  std::printf(
      "file: %s, %s bytes\n", file.c_str(),
      qtfront::Thousands(static_cast<long long>(std::filesystem::file_size(file))).toUtf8().constData());

  MagCheck(mag_check, file);  // the file into the page cache for both
  std::vector<double> window_seconds, check_seconds;
  WindowRun window;
  Run check;
  for (int i = 0; i < runs; ++i) {
    const Run c = MagCheck(mag_check, file);
    const WindowRun w = CheckInWindow(file);
    check_seconds.push_back(c.seconds);
    window_seconds.push_back(w.seconds);
    if (i == 0) {
      check = c;
      window = w;
    }
    window.longest_gap_ms = std::max(window.longest_gap_ms, w.longest_gap_ms);
  }
  const double tw = Median(window_seconds), tc = Median(check_seconds);
  std::printf("window: %s\n", window.summary.toUtf8().constData());
  std::printf("time (median of %d): window %.2f s, mag-check %.2f s, ratio window/mag-check %.2f\n", runs, tw,
              tc, tw / tc);
  std::printf(
      "peak resident: window's process %ld KiB, mag-check %ld KiB, ratio %.2f; private memory the check "
      "added: window %ld KiB, mag-check %ld KiB, ratio %.2f\n",
      window.peak_kib, check.peak_kib,
      static_cast<double>(window.peak_kib) / static_cast<double>(check.peak_kib), window.private_kib,
      check.private_kib,
      static_cast<double>(window.private_kib) / static_cast<double>(std::max(1L, check.private_kib)));
  std::printf("progress bar: %d moves in one check; longest the event loop went without turning: %ld ms\n",
              window.progress_moves, window.longest_gap_ms);
  return 0;
}
