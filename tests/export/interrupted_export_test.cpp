// mag-export stopped by a signal in the middle of a file: nothing partial
// stays in the directory, the server drops what it kept, and the exit status
// says which signal ended it.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <algorithm>
#include <thread>

#include "lib/sql/session.h"
#include "tests/support/export_command.h"
#include "tests/support/server_process.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

struct InterruptedExport : ::testing::Test {
  static inline std::string database, out;
  static inline std::unique_ptr<ServerProcess> server;
  static void SetUpTestSuite() {
    database = TestDatabase("interrupted");
    out = std::filesystem::temp_directory_path() / ("mag_interrupted_out_" + std::to_string(getpid()));
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    // Two pages of lines: the file is being written while the second comes.
    PrepareDatabase(database, {"--init-demo", "--demo-volume", "11001"});
    server = std::make_unique<ServerProcess>(database, std::vector<std::string>{"--output-dir", out});
  }
  static void TearDownTestSuite() {
    server.reset();
    DropTestDatabase(database);
    std::filesystem::remove_all(out);
  }
  void SetUp() override {
    for (const auto& entry : std::filesystem::directory_iterator(out)) std::filesystem::remove(entry.path());
  }

  // Starts mag-export on a file of the volume company (or of company 01).
  static pid_t Start(bool volume, const std::string& name) {
    std::vector<std::string> args = ExportCommand(MAG_EXPORT_PATH, server->port(), database, volume, name);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }
  static int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  static std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(out))
      names.push_back(entry.path().filename());
    return names;
  }
  static bool Temporary(const std::string& name) {
    return name.size() > 12 && name.compare(name.size() - 12, 12, ".mag-parcial") == 0;
  }
  // Waits until the export of this file writes its temporary file; false
  // when it never does.
  static bool WritingWithin(const std::string& target, std::chrono::seconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
      for (const auto& name : Files()) {
        if (Temporary(name) && name.rfind(target + ".", 0) == 0) return true;
      }
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  static std::int64_t StoredLines() {
    auto session = sql::OpenSession(database);
    return std::stoll(
        session->Query("SELECT COALESCE(SUM(NRULTIMA - NRPRIMEIRA + 1), 0) FROM ARQMAGBLOCO", {})
            .rows.at(0)
            .at(0)
            .value_or("0"));
  }
};

TEST_F(InterruptedExport, ASignalLeavesNoPartialFileAndTheServerDropsTheRest) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t pid = Start(true, "volume.txt");
    ASSERT_TRUE(WritingWithin("volume.txt", 120s)) << strsignal(signal);
    kill(pid, signal);
    EXPECT_EQ(Wait(pid), 128 + signal) << strsignal(signal);
    EXPECT_TRUE(Files().empty()) << strsignal(signal) << ": " << (Files().empty() ? "" : Files().front());
    // The export told the server before it ended.
    EXPECT_EQ(StoredLines(), 0) << strsignal(signal);
  }
}

TEST_F(InterruptedExport, ATemporaryFileOfAKilledExportIsRemovedByTheNextOne) {
  const pid_t pid = Start(true, "volume.txt");
  ASSERT_TRUE(WritingWithin("volume.txt", 120s));
  kill(pid, SIGKILL);
  Wait(pid);
  const auto left = Files();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(Temporary(left.front())) << left.front();

  // A running export's temporary file is not the next one's to take.
  const pid_t running = Start(true, "other.txt");
  ASSERT_TRUE(WritingWithin("other.txt", 120s));
  EXPECT_EQ(Wait(Start(false, "janeiro.txt")), 0);
  EXPECT_EQ(Wait(running), 0);
  auto names = Files();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"janeiro.txt", "other.txt"}));
}

}  // namespace
