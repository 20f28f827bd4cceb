// Tests for ZcLib: environment, cached directories, standard output and the shared log.
#include "util/ZcLib.h"

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The project directory is fixed for the life of the process once found, so every test in
// this process shares one scratch project directory, removed at exit.
const fs::path& ProjectDir() {
  static const struct Scratch {
    Scratch() {
      char name[] = "/tmp/zclib_test_XXXXXX";
      path = mkdtemp(name);
      setenv("QVEX_PROJPATH", path.c_str(), 1);
    }
    ~Scratch() { fs::remove_all(path); }
    fs::path path;
  } scratch;
  return scratch.path;
}

fs::path LogPath() {
  return ProjectDir() / "zcliblog.txt";
}

// Runs the check in a fresh copy of this program, where no cache has been filled yet; it
// returns an empty string on success or a description of the fault. Anything on standard
// error (a sanitizer's report, say) fails the test too.
#define EXPECT_IN_FRESH_PROCESS(...)                 \
  do {                                               \
    GTEST_FLAG_SET(death_test_style, "threadsafe");  \
    EXPECT_EXIT(                                     \
        {                                            \
          const std::string fault = (__VA_ARGS__)(); \
          std::fputs(fault.c_str(), stderr);         \
          std::_Exit(fault.empty() ? 0 : 1);         \
        },                                           \
        testing::ExitedWithCode(0), "^$");           \
  } while (0)

TEST(ZcLibDeathTest, StartupPathIsKeptOnceFound) {
  EXPECT_IN_FRESH_PROCESS([]() -> std::string {
    unsetenv("QVEX_PROJPATH");
    if (!ZcLib::GetStartupPath().empty())
      return "not empty while unset";
    setenv("QVEX_PROJPATH", "/first", 1);  // Set later: found on the next call.
    if (ZcLib::GetStartupPath() != "/first")
      return "variable set later was not read";
    setenv("QVEX_PROJPATH", "/second", 1);  // Changed again: the first value stays.
    if (ZcLib::GetStartupPath() != "/first")
      return "cached value changed";
    return "";
  });
}

TEST(ZcLibDeathTest, ConcurrentFirstCallsAgree) {
  EXPECT_IN_FRESH_PROCESS([]() -> std::string {
    setenv("QVEX_PROJPATH", "/project/dir/of/some/length/beyond/small/strings", 1);
    const std::string app_dir = fs::read_symlink("/proc/self/exe").parent_path().string();
    std::vector<std::string> startup(16), app(16);
    std::vector<std::thread> threads;
    std::atomic<size_t> ready{0};
    for (size_t i = 0; i < startup.size(); ++i) {
      threads.emplace_back([&, i] {
        ++ready;
        while (ready < startup.size()) {  // Start together.
        }
        startup[i] = ZcLib::GetStartupPath();
        app[i] = ZcLib::GetApplicationDir();
      });
    }
    for (auto& t : threads)
      t.join();
    for (size_t i = 0; i < startup.size(); ++i) {
      if (startup[i] != "/project/dir/of/some/length/beyond/small/strings")
        return "startup path " + startup[i];
      if (app[i] != app_dir)
        return "application dir " + app[i];
    }
    return "";
  });
}

TEST(ZcLibTest, EnvironmentVariables) {
  setenv("ZCLIB_TEST_VAR", "value with spaces", 1);
  EXPECT_EQ(ZcLib::GetEnvVar("ZCLIB_TEST_VAR"), "value with spaces");
  setenv("ZCLIB_TEST_VAR", "", 1);
  EXPECT_EQ(ZcLib::GetEnvVar("ZCLIB_TEST_VAR"), "");  // Set but empty reads as unset.
  unsetenv("ZCLIB_TEST_VAR");
  EXPECT_EQ(ZcLib::GetEnvVar("ZCLIB_TEST_VAR"), "");
  EXPECT_EQ(ZcLib::GetEnvVar(""), "");
}

TEST(ZcLibTest, ApplicationDirIsTheExecutablesDirectory) {
  if (const char* report = getenv("ZCLIB_TEST_REPORT_APP_DIR")) {
    std::ofstream(report) << ZcLib::GetApplicationDir();  // Child run of the test below.
    return;
  }
  const fs::path self = fs::read_symlink("/proc/self/exe");
  EXPECT_EQ(ZcLib::GetApplicationDir(), self.parent_path().string());
  EXPECT_EQ(ZcLib::GetApplicationDir(), self.parent_path().string());

  // A copy of this program deeper than readlink's first 1024-byte try: a truncated target
  // would give a wrong directory.
  char name[] = "/tmp/zclib_app_XXXXXX";
  const fs::path root = mkdtemp(name);
  fs::path bin = root;
  while (bin.string().size() < 1500)
    bin /= std::string(100, 'd');
  fs::create_directories(bin);
  fs::copy_file(self, bin / "prog");
  const fs::path report = root / "report";
  const std::string command = "ZCLIB_TEST_REPORT_APP_DIR=" + report.string() + " " +
                              (bin / "prog").string() +
                              " --gtest_filter=ZcLibTest.ApplicationDir* >/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(ReadFile(report), bin.string());
  fs::remove_all(root);
}

TEST(ZcLibTest, ConsoleLogWritesBytesAsTheyAre) {
  testing::internal::CaptureStdout();
  ZcLib::consoleLog("a\0b"s);
  ZcLib::consoleLog("c");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "a\0bc"s);
}

TEST(ZcLibTest, LogAppendsUnchanged) {
  ASSERT_EQ(ZcLib::GetStartupPath(), ProjectDir().string());
  std::ofstream(LogPath(), std::ios::binary | std::ios::trunc) << "earlier\n";
  ZcLib::writeLogLine("a");
  ZcLib::writeLogLine("a");
  ZcLib::writeLog("a");
  ZcLib::writeLog("b");
  ZcLib::writeLog("\0x"s);
  EXPECT_EQ(ReadFile(LogPath()), "earlier\na\na\nab\0x"s);
  fs::remove(LogPath());
  ZcLib::writeLog("new");  // Created when missing.
  EXPECT_EQ(ReadFile(LogPath()), "new");
  fs::remove(LogPath());
  fs::create_directory(LogPath());  // Cannot be opened for appending: dropped silently.
  ZcLib::writeLogLine("lost");
  fs::remove(LogPath());
}

TEST(ZcLibTest, ConcurrentWritersLoseNoLine) {
  ASSERT_EQ(ZcLib::GetStartupPath(), ProjectDir().string());
  fs::remove(LogPath());
  constexpr int kProcesses = 4, kThreads = 3, kLines = 300;
  // Lines up to 12 KB, beyond any pipe or stream buffer size.
  auto line = [](int writer, int n) {
    return std::to_string(writer) + ":" + std::string(1 + (n * 997) % 12000, 'a' + writer % 26);
  };
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::vector<std::thread> threads;
      for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
          for (int n = 0; n < kLines; ++n)
            ZcLib::writeLogLine(line(p * kThreads + t, n));
        });
      }
      for (auto& t : threads)
        t.join();
      std::_Exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::map<int, int> next;  // Per writer, lines arrive in order and whole.
  std::istringstream log(ReadFile(LogPath()));
  int total = 0;
  for (std::string text; std::getline(log, text); ++total) {
    const int writer = std::stoi(text);
    ASSERT_EQ(text, line(writer, next[writer]++)) << "line " << total;
  }
  EXPECT_EQ(total, kProcesses * kThreads * kLines);
  fs::remove(LogPath());
}

}  // namespace
