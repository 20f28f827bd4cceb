// Closure posting, as CEF's wrapper offers it (CefPostTask with a base::Bind result).
#ifndef CEF_INCLUDE_WRAPPER_CEF_CLOSURE_TASK_H_
#define CEF_INCLUDE_WRAPPER_CEF_CLOSURE_TASK_H_

#include "include/base/cef_bind.h"
#include "include/cef_task.h"

// A task that runs the closure, for the calls that take a CefTask.
CefRefPtr<CefTask> CefCreateClosureTask(const base::RepeatingClosure& closure);

#endif  // CEF_INCLUDE_WRAPPER_CEF_CLOSURE_TASK_H_
