// LOG(severity) << ...: one line to standard error when the severity is at or above the
// minimum level, in Chromium's layout. Any thread; each line is written with one call.
#ifndef CEF_INCLUDE_BASE_CEF_LOGGING_H_
#define CEF_INCLUDE_BASE_CEF_LOGGING_H_

#include <sstream>

#include "include/internal/cef_logging_internal.h"

namespace cef {
namespace logging {

typedef int LogSeverity;
const LogSeverity LOG_VERBOSE = -1;
const LogSeverity LOG_INFO = 0;
const LogSeverity LOG_WARNING = 1;
const LogSeverity LOG_ERROR = 2;
const LogSeverity LOG_FATAL = 3;

class LogMessage {
 public:
  LogMessage(const char* file, int line, LogSeverity severity);
  ~LogMessage();
  std::ostream& stream() { return stream_; }

 private:
  const char* file_;
  int line_;
  LogSeverity severity_;
  std::ostringstream stream_;
};

// Swallows the stream expression when a level is off.
class LogMessageVoidify {
 public:
  void operator&(std::ostream&) {}
};

}  // namespace logging
}  // namespace cef

#define LOG_IS_ON(severity) \
  (::cef::logging::LOG_##severity >= cef_get_min_log_level())

#define LOG(severity)                                           \
  !(LOG_IS_ON(severity))                                        \
      ? (void)0                                                 \
      : ::cef::logging::LogMessageVoidify() &                   \
            ::cef::logging::LogMessage(__FILE__, __LINE__,      \
                                       ::cef::logging::LOG_##severity) \
                .stream()

#ifdef NDEBUG
#define DCHECK(condition)                                                  \
  true ? (void)0                                                           \
       : ::cef::logging::LogMessageVoidify() &                             \
             ::cef::logging::LogMessage(__FILE__, __LINE__,                \
                                        ::cef::logging::LOG_INFO).stream()
#else
#define DCHECK(condition)                                                     \
  (condition) ? (void)0                                                       \
              : ::cef::logging::LogMessageVoidify() &                         \
                    ::cef::logging::LogMessage(__FILE__, __LINE__,            \
                                               ::cef::logging::LOG_FATAL)     \
                            .stream()                                         \
                        << "Check failed: " #condition ". "
#endif
#define NOTREACHED() DCHECK(false)

#endif  // CEF_INCLUDE_BASE_CEF_LOGGING_H_
