// CefPostTask and CefCurrentlyOn over the default GLib main context. Posts may come from any
// thread; tasks run on the process's main thread at one priority, in posting order.
#include <glib.h>

#include <atomic>
#include <exception>
#include <thread>

#include "common/engine_state.h"
#include "include/base/cef_logging.h"
#include "include/cef_task.h"

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

gboolean RunTask(gpointer data) {
  auto* task = static_cast<CefRefPtr<CefTask>*>(data);
  try {
    (*task)->Execute();
  } catch (const std::exception& e) {
    LOG(ERROR) << "task raised: " << e.what();
  } catch (...) {
    LOG(ERROR) << "task raised an unknown exception";
  }
  return G_SOURCE_REMOVE;
}

void DestroyTask(gpointer data) { delete static_cast<CefRefPtr<CefTask>*>(data); }

bool Post(CefThreadId thread_id, CefRefPtr<CefTask> task, int64_t delay_ms) {
  if (!task || static_cast<int>(thread_id) != g_main_thread_id.load()) return false;
  GSource* source = delay_ms > 0 ? g_timeout_source_new(static_cast<guint>(delay_ms))
                                 : g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, RunTask, new CefRefPtr<CefTask>(task), DestroyTask);
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

}  // namespace qvex_engine

bool CefCurrentlyOn(CefThreadId thread_id) {
  return static_cast<int>(thread_id) == g_main_thread_id.load() &&
         std::this_thread::get_id() == g_main_thread;
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
