// Tests of qvex::Process against real children run through /bin/sh.
#include "process/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
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
