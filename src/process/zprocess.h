// ZProcess: registry of named child processes run through the shell. onStdout and onStderr
// fire on the child's reader thread, onExit on its exit-watcher thread.
#ifndef QVEX_PROCESS_ZPROCESS_H_
#define QVEX_PROCESS_ZPROCESS_H_

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

#include "process/event.h"
#include "process/process.h"

// Starts children under caller-chosen names, feeds their standard input, delivers their output
// and their exit to the hooks of the instance that started them. One registry of names is
// shared by all instances.
//
// Hook signatures: onStdout and onStderr (const char* bytes, size_t length), one call per
// chunk of at most 131072 bytes; onExit (int status), once per child after all its output,
// with the exit code, the raw wait status of a child ended by a signal, or -1 if the child
// could not be created. The name stays registered for 300 ms after onExit returns; onEnd
// (int status) fires once it has been removed, when the name may be used again.
//
// Threads: the operations may be called from any thread. Hooks run on threads of their own
// and must make their own hand-over. A hook must not call closeAll() or destroy the instance:
// both wait for the very thread the hook runs on.
class ZProcess {
 public:
  ZProcess();
  // Stops every registered child as closeAll() does, then waits until the exit watchers of
  // this instance's children have finished, so no hook fires on a destroyed instance.
  ~ZProcess();

  ZProcess(const ZProcess&) = delete;
  ZProcess& operator=(const ZProcess&) = delete;

  // Starts `cmd` through "/bin/sh -c" in `path` (when not empty) under `name`. Does nothing
  // if the name is registered.
  void callProcess(std::string name, std::string cmd, std::string path);
  // The same with the environment and the group's fate given by `options`.
  void callProcess(std::string name, std::string cmd, std::string path,
                   const qvex::Process::Options& options);
  // Sends `sig` to the named child's process group; false when the name is not registered or
  // nothing of the group was left to signal.
  bool signal(std::string name, int sig);
  // Sends the bytes, as they are, to the named child's standard input. Does nothing for a
  // name that is not registered or a child that no longer reads its input.
  void write(std::string name, std::string data);
  bool isExist(std::string name);
  // Sends SIGINT to every registered child's process group, in name order, waits until each
  // has exited and been removed (its onExit has fired), then clears `waiting`. A child that
  // ignores SIGINT holds it until the child ends by other means.
  void closeAll();
  // Appends "all ctrl <name>" to the log for every registered name, in name order.
  void printAll();
  // The raw wait status of this instance's child that ended last (as onExit fires: read it
  // from the hook to tell an exit code from a signal); 0 before any.
  int lastWaitStatus() const { return last_wait_status_; }
  // Returns once the registry is found empty (checked every 300 ms) or closeAll() has cleared
  // `waiting`. Always sleeps at least once.
  void wait();

  Event onStdout;
  Event onStderr;
  Event onExit;
  Event onEnd;
  std::atomic<bool> waiting;

 private:
  // Runs on the child's exit-watcher thread.
  void watchExit(qvex::Process* process, std::string name);

  // Name -> running child, ordered by byte comparison. Guarded by the registry lock in
  // zprocess.cc; never destroyed, so that watchers still running at program exit find it.
  static std::map<std::string, qvex::Process*>& zprocess_map;

  std::mutex children_mutex_;
  std::condition_variable children_done_;
  int live_children_ = 0;
  std::atomic<int> last_wait_status_{0};  // Children started here whose exit watcher has not finished.
};

#endif  // QVEX_PROCESS_ZPROCESS_H_
