// Tasks and threads. In the UI process TID_UI is the main thread (the GTK main loop); in the
// web process TID_RENDERER is the main thread. Both run posted tasks from the default GLib main
// context, all at one priority, in posting order. Other thread ids are not supported: posting to
// them fails (returns false).
#ifndef CEF_INCLUDE_CEF_TASK_H_
#define CEF_INCLUDE_CEF_TASK_H_

#include "include/base/cef_callback.h"
#include "include/cef_base.h"

class CefTask : public virtual CefBaseRefCounted {
 public:
  virtual void Execute() = 0;
};

// True when called on the thread that `thread_id` names in this process.
bool CefCurrentlyOn(CefThreadId thread_id);

// Queues the task on the thread; callable from any thread, never runs it inline.
bool CefPostTask(CefThreadId thread_id, CefRefPtr<CefTask> task);
bool CefPostTask(CefThreadId thread_id, const base::RepeatingClosure& closure);
bool CefPostDelayedTask(CefThreadId thread_id, CefRefPtr<CefTask> task, int64_t delay_ms);
bool CefPostDelayedTask(CefThreadId thread_id, const base::RepeatingClosure& closure,
                        int64_t delay_ms);

#endif  // CEF_INCLUDE_CEF_TASK_H_
