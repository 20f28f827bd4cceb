// Guarded: runs application code that WebKit's C callbacks reach, so that no C++ exception
// unwinds into GLib or WebKit: an exception is logged and the engine goes on as if the
// application had not answered. The caller's thread.
#ifndef QVEX_ENGINE_COMMON_GUARDED_H_
#define QVEX_ENGINE_COMMON_GUARDED_H_

#include <exception>
#include <utility>

#include "include/base/cef_logging.h"

namespace qvex_engine {

// Runs `f`; returns what it returned, or `fallback` when it raised. `event` names the call in
// the log.
template <typename R, typename F>
R GuardedOr(const char* event, R fallback, F&& f) {
  try {
    return std::forward<F>(f)();
  } catch (const std::exception& e) {
    LOG(ERROR) << event << " raised: " << e.what();
  } catch (...) {
    LOG(ERROR) << event << " raised an unknown exception";
  }
  return fallback;
}

template <typename F>
void Guarded(const char* event, F&& f) {
  try {
    std::forward<F>(f)();
  } catch (const std::exception& e) {
    LOG(ERROR) << event << " raised: " << e.what();
  } catch (...) {
    LOG(ERROR) << event << " raised an unknown exception";
  }
}

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_COMMON_GUARDED_H_
