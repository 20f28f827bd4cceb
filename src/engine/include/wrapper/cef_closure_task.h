// Closure posting, as CEF's wrapper offers it (CefPostTask with a base::Bind result).
#ifndef CEF_INCLUDE_WRAPPER_CEF_CLOSURE_TASK_H_
#define CEF_INCLUDE_WRAPPER_CEF_CLOSURE_TASK_H_

#include "include/base/cef_bind.h"
#include "include/cef_task.h"

#endif  // CEF_INCLUDE_WRAPPER_CEF_CLOSURE_TASK_H_
