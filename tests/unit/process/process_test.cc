// Tests of qvex::Process against real children run through /bin/sh.
#include "process/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "gtest/gtest.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Output {
  std::mutex mutex;
  std::string out;
  std::string err;
  size_t largest_chunk = 0;

  qvex::Process::Reader outReader() {
    return [this](const char* b, size_t n) {
      std::lock_guard<std::mutex> lock(mutex);
      out.append(b, n);
      largest_chunk = std::max(largest_chunk, n);
    };
  }
  qvex::Process::Reader errReader() {
    return [this](const char* b, size_t n) {
      std::lock_guard<std::mutex> lock(mutex);
      err.append(b, n);
    };
  }
};

TEST(ProcessTest, ChildHasOwnGroupAndOnlyStandardStreams) {
  // Left open without close-on-exec on purpose: the child must not get it anyway.
  int leaked = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(leaked, 0);
  Output output;
  // "; true" keeps the shell from exec'ing ls, so ls lists the shell's descriptors.
  qvex::Process process(
      "read -r _ _ _ _ group _ < /proc/$$/stat; echo \"$$ $group\"; ls /proc/$$/fd; true", "",
      output.outReader(), output.errReader());
  EXPECT_EQ(0, process.get_exit_status());
  ::close(leaked);

  const std::string pid = std::to_string(process.get_id());
  EXPECT_EQ(pid + " " + pid + "\n0\n1\n2\n", output.out);
  EXPECT_EQ("", output.err);
}

TEST(ProcessTest, ExitStatusComesAfterAllOutputAndStaysTheSame) {
  Output output;
  qvex::Process process("head -c 300000 /dev/zero; head -c 1000 /dev/zero >&2; exit 5", "",
                        output.outReader(), output.errReader());
  EXPECT_EQ(5, process.get_exit_status());
  // Read without waiting: the reader must already have delivered everything.
  EXPECT_EQ(300000u, output.out.size());
  EXPECT_EQ(1000u, output.err.size());
  EXPECT_LE(output.largest_chunk, qvex::Process::kReadBufferSize);
  EXPECT_EQ(5, process.get_exit_status());
  // Collected: signalling now must not reach anything (the id may already be reused).
  process.kill(false);
  process.kill(true);
}

TEST(ProcessTest, KillReachesEveryProcessOfTheGroup) {
  Output output;
  // The inner shell and its sleep are in the child's group too; if they missed the signal
  // the output pipe would stay open for 30 s.
  qvex::Process process("sh -c 'sleep 30'; echo after", "", output.outReader(),
                        output.errReader());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto start = Clock::now();
  process.kill(false);
  EXPECT_EQ(SIGINT, process.get_exit_status());
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ("", output.out);

  qvex::Process stubborn("trap '' INT; sleep 30", "", nullptr, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  stubborn.kill(true);
  EXPECT_EQ(SIGKILL, stubborn.get_exit_status());
}

// The shell catches a SIGINT that arrives while it forks its command; whenever it comes, the
// command must stop too and release the pipes.
TEST(ProcessTest, InterruptAtAnyMomentOfTheStartStopsTheCommand) {
  const auto begin = Clock::now();
  int slow = 0;
  for (int i = 0; i < 400 && Clock::now() - begin < std::chrono::seconds(60); ++i) {
    qvex::Process process("sleep 30", "", nullptr, nullptr);
    std::this_thread::sleep_for(std::chrono::microseconds((i * 37) % 3000));
    const auto start = Clock::now();
    process.kill(false);
    EXPECT_EQ(SIGINT, process.get_exit_status());
    if (Clock::now() - start > std::chrono::seconds(5))
      ++slow;
  }
  EXPECT_EQ(0, slow);
}

TEST(ProcessTest, WriteToClosedInputFailsWithoutSignal) {
  Output output;
  qvex::Process reader("head -c 5; echo", "", output.outReader(), output.errReader());
  EXPECT_TRUE(reader.write("hello world"));
  EXPECT_EQ(0, reader.get_exit_status());
  EXPECT_EQ("hello\n", output.out);

  // More than a pipe holds, to a child that has closed its input: the write must fail with
  // EPIPE, and the SIGPIPE it raises must neither end this program nor stay pending.
  qvex::Process closed("exec 0<&-; sleep 0.2", "", nullptr, nullptr);
  EXPECT_FALSE(closed.write(std::string(1 << 20, 'x')));
  sigset_t pending;
  sigemptyset(&pending);
  sigpending(&pending);
  EXPECT_EQ(0, sigismember(&pending, SIGPIPE));
  struct sigaction action;
  ASSERT_EQ(0, sigaction(SIGPIPE, nullptr, &action));
  EXPECT_EQ(SIG_DFL, action.sa_handler);
  EXPECT_EQ(0, closed.get_exit_status());
}

TEST(ProcessTest, DestructorClosesInputAndDeliversTheLastOutput) {
  Output output;
  pid_t pid;
  {
    // cat ends only when its input closes; the destructor must close it before waiting.
    qvex::Process process("cat", "", output.outReader(), output.errReader());
    pid = process.get_id();
    EXPECT_TRUE(process.write("tail"));
  }
  EXPECT_EQ("tail", output.out);
  // The destructor does not collect the child; do it here so no zombie is left behind.
  int status = -1;
  EXPECT_EQ(pid, ::waitpid(pid, &status, 0));
  EXPECT_TRUE(WIFEXITED(status));
}

}  // namespace

namespace {

bool GroupAlive(pid_t group) {
  // A zombie still counts for kill(); /proc says whether anything of the group runs.
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t paren = text.rfind(')');
    if (paren == std::string::npos) continue;
    std::istringstream fields(text.substr(paren + 2));
    std::string state;
    long ppid, pgrp;
    fields >> state >> ppid >> pgrp;
    if (pgrp == group && state != "Z") return true;
  }
  return false;
}

}  // namespace

TEST(ProcessTest, OptionsGiveEnvironmentAndTieTheGroupToThisProgram) {
  std::string out;
  {
    qvex::Process::Options options;
    options.environment = {"QVEX_A=one", "HOME=/elsewhere"};
    qvex::Process p("echo $QVEX_A $HOME; env | grep -c '^HOME='", "",
                    [&out](const char* b, size_t n) { out.append(b, n); }, nullptr, options);
    EXPECT_EQ(p.get_exit_status(), 0);
  }
  EXPECT_EQ(out, "one /elsewhere\n1\n");

  // A program that starts a tied group and then dies at once: the group goes with it.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t helper = fork();
  if (helper == 0) {
    qvex::Process::Options options;
    options.die_with_parent = true;
    auto* p = new qvex::Process("sleep 60 & sleep 60", "", nullptr, nullptr, options);
    const pid_t group = p->get_id();
    ssize_t ignored = write(fds[1], &group, sizeof(group));
    (void)ignored;
    _exit(0);  // Like a SIGKILL: nothing is cleaned up.
  }
  pid_t group = 0;
  ASSERT_EQ(read(fds[0], &group, sizeof(group)), static_cast<ssize_t>(sizeof(group)));
  waitpid(helper, nullptr, 0);
  const auto ended = std::chrono::steady_clock::now();
  while (GroupAlive(group) && std::chrono::steady_clock::now() - ended < std::chrono::seconds(5))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(GroupAlive(group));
  EXPECT_LT(std::chrono::steady_clock::now() - ended, std::chrono::seconds(2));
  close(fds[0]);
  close(fds[1]);

  // The group is signalled while the child runs, not once it has been collected.
  qvex::Process::Options options;
  options.die_with_parent = true;
  auto* p = new qvex::Process("sleep 60", "", nullptr, nullptr, options);
  EXPECT_TRUE(p->signal(SIGTERM));
  EXPECT_EQ(p->get_exit_status(), SIGTERM);
  EXPECT_EQ(p->wait_status(), SIGTERM);
  EXPECT_FALSE(p->signal(SIGTERM));
  delete p;
}
