// ZProcess: the registry, its lock, and the exit watcher that reports and removes each child.
#include "process/zprocess.h"

#include <chrono>
#include <list>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

#include "util/ZcLib.h"

namespace {

constexpr std::chrono::milliseconds kPollPeriod(300);

// Everything that guards zprocess_map. Never destroyed, like the map: detached watchers may
// still use both while the program's statics are being destroyed.
struct Registry {
  std::mutex mutex;
  // Notified whenever an entry is removed or a write() has finished with its process object.
  std::condition_variable changed;
  // Process objects that a write() is using outside the lock; their watcher waits before
  // destroying them.
  std::map<const qvex::Process*, int> writers;
  // One set per running closeAll(): the children it still waits for. Watchers take their
  // object out when they remove the entry, before the object (and its address) is released.
  std::list<std::set<const qvex::Process*>*> closers;
};

Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

}  // namespace

std::map<std::string, qvex::Process*>& ZProcess::zprocess_map =
    *new std::map<std::string, qvex::Process*>;

ZProcess::ZProcess() : waiting(false) {}

ZProcess::~ZProcess() {
  closeAll();
  std::unique_lock<std::mutex> lock(children_mutex_);
  children_done_.wait(lock, [this] { return live_children_ == 0; });
}

void ZProcess::callProcess(std::string name, std::string cmd, std::string path) {
  callProcess(std::move(name), std::move(cmd), std::move(path), qvex::Process::Options());
}

void ZProcess::callProcess(std::string name, std::string cmd, std::string path,
                           const qvex::Process::Options& options) {
  Registry& reg = registry();
  qvex::Process* process;
  {
    // Held across the start so that two callers cannot both claim one name.
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (zprocess_map.count(name) != 0)
      return;
    process = new qvex::Process(
        cmd, path,
        [this](const char* bytes, size_t n) { onStdout.fire<const char*, size_t>(bytes, n); },
        [this](const char* bytes, size_t n) { onStderr.fire<const char*, size_t>(bytes, n); },
        options);
    zprocess_map.emplace(name, process);
    std::lock_guard<std::mutex> children_lock(children_mutex_);
    ++live_children_;
  }
  try {
    std::thread(&ZProcess::watchExit, this, process, name).detach();
  } catch (const std::system_error&) {
    // No thread to spare: stop the child and run its watcher here.
    process->kill(true);
    watchExit(process, name);
  }
}

void ZProcess::watchExit(qvex::Process* process, std::string name) {
  const int status = process->get_exit_status();
  last_wait_status_ = process->wait_status();
  try {
    onExit.fire<int>(status);
  } catch (...) {
    // The entry must still go, whatever the hook did.
  }
  // The name stays registered for a while after onExit; sleep_for resumes after a signal.
  std::this_thread::sleep_for(kPollPeriod);

  Registry& reg = registry();
  {
    std::unique_lock<std::mutex> lock(reg.mutex);
    auto it = zprocess_map.find(name);
    if (it != zprocess_map.end() && it->second == process)
      zprocess_map.erase(it);
    for (auto* pending : reg.closers)
      pending->erase(process);
    reg.changed.notify_all();
    reg.changed.wait(lock, [&] { return reg.writers.count(process) == 0; });
  }
  delete process;
  try {
    onEnd.fire<int>(status);
  } catch (...) {
  }

  // Last touch of this instance: once the count drops the destructor may proceed.
  std::lock_guard<std::mutex> lock(children_mutex_);
  --live_children_;
  children_done_.notify_all();
}

void ZProcess::write(std::string name, std::string data) {
  Registry& reg = registry();
  qvex::Process* process;
  {
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto it = zprocess_map.find(name);
    if (it == zprocess_map.end())
      return;
    process = it->second;
    ++reg.writers[process];
  }
  // Outside the lock: a child that does not read may hold this write until it exits, and the
  // registry must stay usable (closeAll() is what makes it exit).
  process->write(data);
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (--reg.writers[process] == 0)
    reg.writers.erase(process);
  reg.changed.notify_all();
}

bool ZProcess::signal(std::string name, int sig) {
  Registry& reg = registry();
  // Under the lock: the entry's object lives at least until its watcher removes it.
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto it = zprocess_map.find(name);
  return it != zprocess_map.end() && it->second->signal(sig);
}

bool ZProcess::isExist(std::string name) {
  Registry& reg = registry();
  std::lock_guard<std::mutex> lock(reg.mutex);
  return zprocess_map.count(name) != 0;
}

void ZProcess::closeAll() {
  Registry& reg = registry();
  std::set<const qvex::Process*> pending;
  {
    std::unique_lock<std::mutex> lock(reg.mutex);
    // An entry's object lives at least until its watcher removes it under this lock.
    for (const auto& entry : zprocess_map) {
      entry.second->kill(false);
      pending.insert(entry.second);
    }
    reg.closers.push_back(&pending);
    reg.changed.wait(lock, [&] { return pending.empty(); });
    reg.closers.remove(&pending);
  }
  waiting = false;
}

void ZProcess::printAll() {
  std::vector<std::string> names;
  {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    for (const auto& entry : zprocess_map)
      names.push_back(entry.first);
  }
  for (const std::string& name : names)
    ZcLib::writeLogLine("all ctrl " + name);
}

void ZProcess::wait() {
  waiting = true;
  do {
    {
      Registry& reg = registry();
      std::lock_guard<std::mutex> lock(reg.mutex);
      if (zprocess_map.empty())
        waiting = false;
    }
    std::this_thread::sleep_for(kPollPeriod);
  } while (waiting);
}
