// Process-wide state of the port, set once while a process starts (main thread).
#ifndef QVEX_ENGINE_COMMON_ENGINE_STATE_H_
#define QVEX_ENGINE_COMMON_ENGINE_STATE_H_

#include <string>

#include "include/cef_app.h"

namespace qvex_engine {

// The calling thread becomes `thread_id` (TID_UI or TID_RENDERER) for CefCurrentlyOn and
// CefPostTask.
void RecordMainThread(CefThreadId thread_id);

// Called (main thread) from inside the dispatch of the main loop source that delivers the
// other process's messages: from then on, tasks posted while that source is dispatched run
// right after it in the same turn of the loop, instead of in a turn of their own (a poll and
// a walk over every source for each answer that a handler posts). They still never run
// inside the code that posted them, and stay in posting order with every other task.
void FollowCurrentSource();

// Fills CefCommandLine::GetGlobalCommandLine().
void SetGlobalCommandLine(int argc, const char* const* argv);

// Chromium levels: -1 verbose ... 3 fatal; see cef_get_min_log_level.
void SetMinLogLevel(int level);
int LogLevelFromSeverity(cef_log_severity_t severity);
// The switch --log-severity=verbose|info|warning|error|fatal|disable of the global command line,
// as CEF reads it: when present it overrides the level the settings gave. An unknown value
// keeps the level and is logged. Each process applies it at start (the UI process forwards it
// to the web processes).
void ApplyLogSeveritySwitch();
// The switch value that names `level` ("info" for 0).
std::string LogSeveritySwitchValue(int level);

// Set by the web-extension module before it enters the application: what CefExecuteProcess
// does in a renderer process.
using RendererStartup = int (*)(CefRefPtr<CefApp> app);
void SetRendererStartup(RendererStartup startup);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_COMMON_ENGINE_STATE_H_
