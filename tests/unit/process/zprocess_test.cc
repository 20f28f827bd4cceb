// Tests of ZProcess with real children: hooks, the registry's life cycle, wait and closeAll.
#include "process/zprocess.h"

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

// A project directory for the log, set once before anything reads QVEX_PROJPATH (the path is
// cached for the life of the process once known).
const std::string& ProjectDir() {
  static const std::string dir = [] {
    char templ[] = "/tmp/zprocess_test.XXXXXX";
    std::string made = ::mkdtemp(templ);
    ::setenv("QVEX_PROJPATH", made.c_str(), 1);
    return made;
  }();
  return dir;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Records every hook of one ZProcess. Optionally notes, inside onExit, whether a name is
// still registered at that moment.
class Recorder : public EventHandler {
 public:
  explicit Recorder(ZProcess* process, std::string name = "")
      : process_(process), name_(std::move(name)) {
    process->onStdout.registerHandler(
        this, Event::method<Recorder, const char*, size_t>(&Recorder::gotStdout));
    process->onStderr.registerHandler(
        this, Event::method<Recorder, const char*, size_t>(&Recorder::gotStderr));
    process->onExit.registerHandler(this, Event::method<Recorder, int>(&Recorder::gotExit));
  }

  void gotStdout(const char* bytes, size_t n) {
    std::lock_guard<std::mutex> lock(mutex_);
    out_.append(bytes, n);
    chunks_.push_back(n);
  }
  void gotStderr(const char* bytes, size_t n) {
    std::lock_guard<std::mutex> lock(mutex_);
    err_.append(bytes, n);
  }
  void gotExit(int status) {
    bool registered = !name_.empty() && process_->isExist(name_);
    std::lock_guard<std::mutex> lock(mutex_);
    statuses_.push_back(status);
    out_at_exit_ = out_;
    err_at_exit_ = err_;
    registered_at_exit_ = registered;
    exit_time_ = Clock::now();
    changed_.notify_all();
  }

  // Waits (generously) until `count` children have reported their exit.
  bool WaitForExits(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, seconds(20), [&] { return statuses_.size() >= count; });
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  ZProcess* process_;
  std::string name_;
  std::string out_, err_, out_at_exit_, err_at_exit_;
  std::vector<size_t> chunks_;
  std::vector<int> statuses_;
  bool registered_at_exit_ = false;
  Clock::time_point exit_time_;
};

// Polls until `name` is gone; returns when it went.
Clock::time_point WaitUntilRemoved(ZProcess& process, const std::string& name) {
  const auto deadline = Clock::now() + seconds(20);
  while (process.isExist(name) && Clock::now() < deadline)
    std::this_thread::sleep_for(milliseconds(5));
  return Clock::now();
}

TEST(ZProcessTest, DuplicateNameStartsNothingAndLeavesFirstChildAlone) {
  ZProcess process;
  Recorder recorder(&process);
  process.callProcess("dup", "read line; echo \"first:$line\"", "");
  process.callProcess("dup", "echo second", "");
  EXPECT_TRUE(process.isExist("dup"));
  process.write("dup", "x\n");
  ASSERT_TRUE(recorder.WaitForExits(1));
  std::this_thread::sleep_for(milliseconds(50));

  std::lock_guard<std::mutex> lock(recorder.mutex_);
  EXPECT_EQ("first:x\n", recorder.out_);
  EXPECT_EQ(std::vector<int>{0}, recorder.statuses_);  // One child, one onExit.
}

TEST(ZProcessTest, OutputArrivesBeforeExitAndNameStaysBriefly) {
  ZProcess process;
  Recorder recorder(&process, "quick");
  process.callProcess("quick", "printf out; printf err >&2; exit 3", "");
  ASSERT_TRUE(recorder.WaitForExits(1));
  const auto removed = WaitUntilRemoved(process, "quick");

  std::lock_guard<std::mutex> lock(recorder.mutex_);
  EXPECT_EQ(3, recorder.statuses_[0]);
  EXPECT_EQ("out", recorder.out_at_exit_);
  EXPECT_EQ("err", recorder.err_at_exit_);
  EXPECT_TRUE(recorder.registered_at_exit_);
  EXPECT_FALSE(process.isExist("quick"));
  EXPECT_GE(removed - recorder.exit_time_, milliseconds(290));
  EXPECT_LT(removed - recorder.exit_time_, seconds(5));
}

TEST(ZProcessTest, ExitStatusGivesCodeOrSignal) {
  struct Case {
    const char* cmd;
    int status;
  };
  const Case cases[] = {
      {"exit 0", 0},
      {"exit 7", 7},
      {"exit 300", 300 & 0xff},             // The shell keeps the low byte only.
      {"no_such_command_zp", 127},          // The shell's "not found".
      {"kill -TERM $$", SIGTERM},           // Raw status of a signalled child.
      {"kill -KILL $$", SIGKILL},
      {"ulimit -c 0; kill -SEGV $$", SIGSEGV},  // No core: no 128 bit.
  };
  // One instance per case, all running at once and sharing the registry.
  std::vector<std::unique_ptr<ZProcess>> processes;
  std::vector<std::unique_ptr<Recorder>> recorders;
  for (const Case& c : cases) {
    processes.push_back(std::make_unique<ZProcess>());
    recorders.push_back(std::make_unique<Recorder>(processes.back().get()));
    processes.back()->callProcess(std::string("status ") + c.cmd, c.cmd, "");
  }
  for (size_t i = 0; i < recorders.size(); ++i) {
    ASSERT_TRUE(recorders[i]->WaitForExits(1)) << cases[i].cmd;
    std::lock_guard<std::mutex> lock(recorders[i]->mutex_);
    EXPECT_EQ(cases[i].status, recorders[i]->statuses_[0]) << cases[i].cmd;
  }
}

TEST(ZProcessTest, ChildRunsInGivenDirectoryWithProgramEnvironment) {
  const std::string dir = ProjectDir();
  char real[PATH_MAX];
  ASSERT_NE(nullptr, ::realpath(dir.c_str(), real));
  char here[PATH_MAX];
  ASSERT_NE(nullptr, ::getcwd(here, sizeof(here)));

  ZProcess in_dir, no_dir, bad_dir;
  Recorder in_rec(&in_dir), no_rec(&no_dir), bad_rec(&bad_dir);
  in_dir.callProcess("cwd given", "pwd -P; printf %s \"$QVEX_PROJPATH\"", dir);
  no_dir.callProcess("cwd empty", "pwd -P", "");
  // A directory that does not exist: the command must not run in some other directory.
  bad_dir.callProcess("cwd bad", "echo ran", dir + "/missing");
  ASSERT_TRUE(in_rec.WaitForExits(1));
  ASSERT_TRUE(no_rec.WaitForExits(1));
  ASSERT_TRUE(bad_rec.WaitForExits(1));

  EXPECT_EQ(std::string(real) + "\n" + dir, in_rec.out_);
  EXPECT_EQ(0, in_rec.statuses_[0]);
  EXPECT_EQ(std::string(here) + "\n", no_rec.out_);
  EXPECT_EQ("", bad_rec.out_);
  EXPECT_NE(std::string::npos, bad_rec.err_.find(dir + "/missing"));
  EXPECT_NE(0, bad_rec.statuses_[0]);
}

TEST(ZProcessTest, WaitReturnsOnceRegistryIsEmpty) {
  ZProcess process;
  auto start = Clock::now();
  process.wait();  // Nothing registered: exactly one poll period.
  auto took = Clock::now() - start;
  EXPECT_GE(took, milliseconds(290));
  EXPECT_LT(took, seconds(3));
  EXPECT_FALSE(process.waiting);

  Recorder recorder(&process);
  process.callProcess("short", "sleep 0.2", "");
  start = Clock::now();
  process.wait();
  took = Clock::now() - start;
  EXPECT_FALSE(process.isExist("short"));
  EXPECT_GE(took, milliseconds(490));  // The child's life plus the time it stays registered.
  EXPECT_LT(took, seconds(5));
  EXPECT_EQ(1u, recorder.statuses_.size());
}

TEST(ZProcessTest, CloseAllFromAnotherThreadEndsWaitAndPrintAllListsInOrder) {
  const std::string log = ProjectDir() + "/zcliblog.txt";
  const std::string before = ReadFile(log);
  ZProcess process;
  Recorder recorder(&process);
  process.callProcess("b", "sleep 30", "");
  process.callProcess("a", "sleep 30", "");
  process.printAll();
  EXPECT_EQ(before + "all ctrl a\nall ctrl b\n", ReadFile(log));

  const auto start = Clock::now();
  std::thread closer([&] {
    std::this_thread::sleep_for(milliseconds(200));
    process.closeAll();
  });
  process.wait();
  const auto took = Clock::now() - start;
  closer.join();

  EXPECT_LT(took, seconds(10));  // Far below the children's 30 s.
  EXPECT_FALSE(process.waiting);
  EXPECT_FALSE(process.isExist("a"));
  EXPECT_FALSE(process.isExist("b"));
  std::lock_guard<std::mutex> lock(recorder.mutex_);
  EXPECT_EQ((std::vector<int>{SIGINT, SIGINT}), recorder.statuses_);
}

TEST(ZProcessTest, WriteSendsExactlyTheBytesGiven) {
  ZProcess process;
  Recorder recorder(&process);
  process.callProcess("reader", "read line; echo \"got:$line\"; head -c 200000 | wc -c", "");
  process.write("reader", "abc");
  std::this_thread::sleep_for(milliseconds(200));
  {
    // No line feed was added, so the line is still incomplete.
    std::lock_guard<std::mutex> lock(recorder.mutex_);
    EXPECT_EQ("", recorder.out_);
  }
  process.write("reader", "def\n");
  process.write("reader", std::string(200000, 'z'));  // Larger than a pipe holds.
  ASSERT_TRUE(recorder.WaitForExits(1));
  EXPECT_EQ("got:abcdef\n200000\n", recorder.out_);

  // Unknown names: nothing is sent, and no entry appears for them.
  process.write("nobody", "data");
  process.write("", "");
  EXPECT_FALSE(process.isExist("nobody"));
  EXPECT_FALSE(process.isExist(""));
}

TEST(ZProcessTest, WriteToChildThatClosedItsInputIsHarmless) {
  ZProcess process;
  Recorder recorder(&process);
  process.callProcess("deaf", "exec 0<&-; sleep 0.2", "");
  process.write("deaf", std::string(1 << 20, 'x'));  // Fails with a broken pipe.
  ASSERT_TRUE(recorder.WaitForExits(1));
  EXPECT_EQ(0, recorder.statuses_[0]);
}

TEST(ZProcessTest, BigOutputArrivesWholeInBoundedChunks) {
  ZProcess process;
  Recorder recorder(&process);
  process.callProcess("big", "head -c 1000000 /dev/zero; head -c 500000 /dev/zero >&2", "");
  ASSERT_TRUE(recorder.WaitForExits(1));

  EXPECT_EQ(1000000u, recorder.out_at_exit_.size());
  EXPECT_EQ(500000u, recorder.err_at_exit_.size());
  EXPECT_GT(recorder.chunks_.size(), 1u);
  for (size_t n : recorder.chunks_)
    EXPECT_LE(n, 131072u);
}

TEST(ZProcessTest, ManyChildrenAreAllCollected) {
  ZProcess process;
  Recorder recorder(&process);
  const int kChildren = 20;
  for (int i = 0; i < kChildren; ++i)
    process.callProcess("many" + std::to_string(100 + i), "exit 0", "");
  process.wait();

  EXPECT_EQ(static_cast<size_t>(kChildren), recorder.statuses_.size());
  // No child left at all, not even a zombie.
  int status;
  EXPECT_EQ(-1, ::waitpid(-1, &status, WNOHANG));
  EXPECT_EQ(ECHILD, errno);
}

TEST(ZProcessTest, DestructorStopsChildrenAndWaitsForTheirWatchers) {
  ZProcess observer;
  std::unique_ptr<Recorder> recorder;
  const auto start = Clock::now();
  {
    ZProcess process;
    recorder = std::make_unique<Recorder>(&process);
    process.callProcess("long", "sleep 30", "");
    EXPECT_TRUE(observer.isExist("long"));
  }
  // The destructor returned only after the child's onExit and removal.
  EXPECT_LT(Clock::now() - start, seconds(10));
  EXPECT_FALSE(observer.isExist("long"));
  EXPECT_EQ(std::vector<int>{SIGINT}, recorder->statuses_);
}

}  // namespace

// A long run: a thousand children started and finished leave no zombie, no thread and no
// file descriptor behind.
TEST(ZProcessTest, ThousandChildrenLeaveNothingBehind) {
  auto count_fds = [] {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
      (void)entry;
      ++n;
    }
    return n;
  };
  auto count_threads = [] {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    return -1;
  };
  const int fds_before = count_fds();
  const int threads_before = count_threads();
  {
    ZProcess process;
    Recorder recorder(&process);
    const int kBatches = 4, kPerBatch = 250;
    for (int b = 0; b < kBatches; ++b) {
      for (int i = 0; i < kPerBatch; ++i)
        process.callProcess("long" + std::to_string(b * kPerBatch + i), "echo $$", "");
      process.wait();
    }
    std::lock_guard<std::mutex> lock(recorder.mutex_);
    EXPECT_EQ(recorder.statuses_.size(), static_cast<size_t>(kBatches * kPerBatch));
    for (int status : recorder.statuses_) EXPECT_EQ(status, 0);
  }
  int status;
  EXPECT_EQ(-1, ::waitpid(-1, &status, WNOHANG));
  EXPECT_EQ(ECHILD, errno);
  EXPECT_EQ(count_fds(), fds_before);
  // Exit watchers are detached; give the last ones a moment to return.
  for (int i = 0; i < 100 && count_threads() > threads_before; ++i)
    std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(count_threads(), threads_before);
}

namespace {

// Notes onEnd and whether the name was free by then.
class EndRecorder : public EventHandler {
 public:
  EndRecorder(ZProcess* process, std::string name) : process_(process), name_(std::move(name)) {
    process->onEnd.registerHandler(this, Event::method<EndRecorder, int>(&EndRecorder::gotEnd));
  }
  void gotEnd(int status) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
    free_at_end_ = !process_->isExist(name_);
    ended_ = true;
    changed_.notify_all();
  }
  bool Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, seconds(20), [this] { return ended_; });
  }
  ZProcess* process_;
  std::string name_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool ended_ = false, free_at_end_ = false;
  int status_ = 0;
};

}  // namespace

TEST(ZProcessTest, SignalReachesTheNamedGroupAndOnEndComesOnceTheNameIsFree) {
  ProjectDir();
  ZProcess process;
  Recorder recorder(&process);
  EndRecorder ends(&process, "sig");
  qvex::Process::Options options;
  options.environment = {"QVEX_GREETING=hi"};
  process.callProcess("sig", "echo $QVEX_GREETING; trap 'echo term; exit 4' TERM; "
                             "while :; do sleep 0.05; done", "", options);
  const auto deadline = Clock::now() + seconds(10);
  while (recorder.out_.find("hi") == std::string::npos && Clock::now() < deadline)
    std::this_thread::sleep_for(milliseconds(10));
  EXPECT_FALSE(process.signal("other", SIGTERM));
  EXPECT_TRUE(process.signal("sig", SIGTERM));
  ASSERT_TRUE(recorder.WaitForExits(1));
  EXPECT_EQ(recorder.statuses_[0], 4);
  EXPECT_EQ(process.lastWaitStatus(), 4 << 8);
  EXPECT_EQ(recorder.out_at_exit_, "hi\nterm\n");
  ASSERT_TRUE(ends.Wait());
  EXPECT_EQ(ends.status_, 4);
  EXPECT_TRUE(ends.free_at_end_);
}
