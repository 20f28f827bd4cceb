// CefPostTask and CefCurrentlyOn over the default GLib main context. Posts may come from any
// thread; tasks run on the process's main thread at one priority, in posting order.
#include <glib.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "common/engine_state.h"
#include "include/base/cef_logging.h"
#include "include/cef_task.h"
#include "include/wrapper/cef_closure_task.h"

namespace {

std::atomic<int> g_main_thread_id{-1};
std::thread::id g_main_thread;

class ClosureTask : public CefTask {
 public:
  explicit ClosureTask(base::RepeatingClosure closure) : closure_(std::move(closure)) {}
  void Execute() override { closure_.Run(); }

 private:
  base::RepeatingClosure closure_;
  IMPLEMENT_REFCOUNTING(ClosureTask);
};

void RunGuarded(CefTask* task) {
  try {
    task->Execute();
  } catch (const std::exception& e) {
    LOG(ERROR) << "task raised: " << e.what();
  } catch (...) {
    LOG(ERROR) << "task raised an unknown exception";
  }
}

// Undelayed tasks wait in one queue served by one long-lived source of the default context:
// a source per task cost its creation, attachment and destruction plus a place in every
// prepare/check of the main loop, a large share of a small router round trip. A turn runs
// the tasks that were queued when it began; a task posted meanwhile waits for the next turn,
// so nothing posted ever runs inside the code that posted it.
struct TaskQueue {
  std::mutex mutex;
  std::deque<std::pair<uint64_t, CefRefPtr<CefTask>>> tasks;
  uint64_t next_sequence = 0;
  std::atomic<bool> pending{false};
  GSource* source = nullptr;
  // Main thread only: see FollowCurrentSource.
  GSource* followed = nullptr;
  GSource* follower = nullptr;
};

// Never destroyed: tasks still queued at exit may hold objects whose destructors must not run
// after the rest of the process is gone.
TaskQueue& Queue() {
  static TaskQueue* queue = new TaskQueue;
  return *queue;
}

gboolean QueuePrepare(GSource*, gint* timeout) {
  *timeout = -1;
  return Queue().pending.load(std::memory_order_acquire);
}

gboolean QueueCheck(GSource*) { return Queue().pending.load(std::memory_order_acquire); }

gboolean QueueDispatch(GSource*, GSourceFunc, gpointer) {
  TaskQueue& queue = Queue();
  uint64_t end;
  {
    std::lock_guard<std::mutex> lock(queue.mutex);
    end = queue.next_sequence;
  }
  // One task at a time from the front: a task that runs a nested main loop (a modal dialog)
  // lets the nested turns take the tasks after it, still in posting order.
  for (;;) {
    CefRefPtr<CefTask> task;
    {
      std::lock_guard<std::mutex> lock(queue.mutex);
      if (queue.tasks.empty() || queue.tasks.front().first >= end) break;
      task = std::move(queue.tasks.front().second);
      queue.tasks.pop_front();
      queue.pending.store(!queue.tasks.empty(), std::memory_order_release);
    }
    RunGuarded(task.get());
  }
  return G_SOURCE_CONTINUE;
}

GSourceFuncs g_queue_funcs = {QueuePrepare, QueueCheck, QueueDispatch, nullptr, nullptr, nullptr};

// The follower is ready whenever the source it follows is about to be dispatched in the same
// turn of the loop; it never wakes the loop by itself (no prepare: a source without one costs
// the loop nothing before its poll).
gboolean FollowerCheck(GSource* follower) {
  const gint64 ready_time = g_source_get_ready_time(Queue().followed);
  return ready_time >= 0 && ready_time <= g_source_get_time(follower);
}

GSourceFuncs g_follower_funcs = {nullptr, FollowerCheck, QueueDispatch, nullptr, nullptr, nullptr};

void Enqueue(CefRefPtr<CefTask> task) {
  TaskQueue& queue = Queue();
  {
    std::lock_guard<std::mutex> lock(queue.mutex);
    if (!queue.source) {
      queue.source = g_source_new(&g_queue_funcs, sizeof(GSource));
      g_source_set_priority(queue.source, G_PRIORITY_DEFAULT);
      g_source_set_can_recurse(queue.source, TRUE);
      g_source_set_name(queue.source, "qvex-tasks");
      g_source_attach(queue.source, g_main_context_default());
    }
    queue.tasks.emplace_back(queue.next_sequence++, std::move(task));
    queue.pending.store(true, std::memory_order_release);
  }
  // The main thread is not waiting in the loop while it posts; any other thread must wake it.
  if (std::this_thread::get_id() != g_main_thread) g_main_context_wakeup(g_main_context_default());
}

gboolean RunDelayedTask(gpointer data) {
  RunGuarded(static_cast<CefRefPtr<CefTask>*>(data)->get());
  return G_SOURCE_REMOVE;
}

void DestroyTask(gpointer data) { delete static_cast<CefRefPtr<CefTask>*>(data); }

bool Post(CefThreadId thread_id, CefRefPtr<CefTask> task, int64_t delay_ms) {
  if (!task || static_cast<int>(thread_id) != g_main_thread_id.load()) return false;
  if (delay_ms <= 0) {
    Enqueue(std::move(task));
    return true;
  }
  GSource* source = g_timeout_source_new(static_cast<guint>(delay_ms));
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, RunDelayedTask, new CefRefPtr<CefTask>(task), DestroyTask);
  g_source_attach(source, g_main_context_default());
  g_source_unref(source);
  return true;
}

}  // namespace

namespace qvex_engine {

void RecordMainThread(CefThreadId thread_id) {
  g_main_thread = std::this_thread::get_id();
  g_main_thread_id.store(static_cast<int>(thread_id));
}

void FollowCurrentSource() {
  TaskQueue& queue = Queue();
  if (queue.followed || std::this_thread::get_id() != g_main_thread) return;
  GSource* current = g_main_current_source();
  if (!current || current == queue.source ||
      g_source_get_context(current) != g_main_context_default()) {
    return;
  }
  queue.followed = g_source_ref(current);
  // Same priority and attached later: dispatched right after the followed source in a turn.
  queue.follower = g_source_new(&g_follower_funcs, sizeof(GSource));
  g_source_set_priority(queue.follower, g_source_get_priority(current));
  g_source_set_can_recurse(queue.follower, TRUE);
  g_source_set_name(queue.follower, "qvex-tasks-after-messages");
  g_source_attach(queue.follower, g_main_context_default());
  const char* name = g_source_get_name(current);
  LOG(VERBOSE) << "tasks posted while \"" << (name ? name : "(unnamed)")
               << "\" dispatches run right after it (priority " << g_source_get_priority(current)
               << ")";
}

}  // namespace qvex_engine

bool CefCurrentlyOn(CefThreadId thread_id) {
  return static_cast<int>(thread_id) == g_main_thread_id.load() &&
         std::this_thread::get_id() == g_main_thread;
}

CefRefPtr<CefTask> CefCreateClosureTask(const base::RepeatingClosure& closure) {
  return new ClosureTask(closure);
}

bool CefPostTask(CefThreadId thread_id, CefRefPtr<CefTask> task) {
  return Post(thread_id, task, 0);
}

bool CefPostTask(CefThreadId thread_id, const base::RepeatingClosure& closure) {
  return Post(thread_id, new ClosureTask(closure), 0);
}

bool CefPostDelayedTask(CefThreadId thread_id, CefRefPtr<CefTask> task, int64_t delay_ms) {
  return Post(thread_id, task, delay_ms);
}

bool CefPostDelayedTask(CefThreadId thread_id, const base::RepeatingClosure& closure,
                        int64_t delay_ms) {
  return Post(thread_id, new ClosureTask(closure), delay_ms);
}
