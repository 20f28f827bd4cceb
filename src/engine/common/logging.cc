// LOG(...) lines in Chromium's layout on standard error, and the minimum log level.
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <glib.h>

#include "common/engine_state.h"
#include "include/base/cef_logging.h"
#include "include/cef_command_line.h"

namespace {

std::atomic<int> g_min_level{0};

// The values of --log-severity and their levels, lowest first.
constexpr struct {
  const char* name;
  int level;
} kSeveritySwitch[] = {
    {"verbose", cef::logging::LOG_VERBOSE}, {"info", cef::logging::LOG_INFO},
    {"warning", cef::logging::LOG_WARNING}, {"error", cef::logging::LOG_ERROR},
    {"fatal", cef::logging::LOG_FATAL},     {"disable", cef::logging::LOG_FATAL + 1},
};

const char* SeverityName(int severity) {
  switch (severity) {
    case cef::logging::LOG_INFO: return "INFO";
    case cef::logging::LOG_WARNING: return "WARNING";
    case cef::logging::LOG_ERROR: return "ERROR";
    case cef::logging::LOG_FATAL: return "FATAL";
    default: return "VERBOSE1";
  }
}

const char* BaseName(const char* path) {
  const char* slash = strrchr(path, '/');
  return slash ? slash + 1 : path;
}

}  // namespace

extern "C" int cef_get_min_log_level() { return g_min_level.load(); }

namespace qvex_engine {

void SetMinLogLevel(int level) { g_min_level.store(level); }

int LogLevelFromSeverity(cef_log_severity_t severity) {
  switch (severity) {
    case LOGSEVERITY_VERBOSE: return cef::logging::LOG_VERBOSE;
    case LOGSEVERITY_WARNING: return cef::logging::LOG_WARNING;
    case LOGSEVERITY_ERROR: return cef::logging::LOG_ERROR;
    case LOGSEVERITY_FATAL: return cef::logging::LOG_FATAL;
    case LOGSEVERITY_DISABLE: return cef::logging::LOG_FATAL + 1;
    default: return cef::logging::LOG_INFO;
  }
}

void ApplyLogSeveritySwitch() {
  CefRefPtr<CefCommandLine> command_line = CefCommandLine::GetGlobalCommandLine();
  if (!command_line->HasSwitch("log-severity")) return;
  const std::string value = command_line->GetSwitchValue("log-severity").ToString();
  for (const auto& entry : kSeveritySwitch) {
    if (g_ascii_strcasecmp(value.c_str(), entry.name) == 0) {
      SetMinLogLevel(entry.level);
      return;
    }
  }
  LOG(WARNING) << "unknown --log-severity value \"" << value
               << "\" (verbose, info, warning, error, fatal or disable); keeping "
               << LogSeveritySwitchValue(g_min_level.load());
}

std::string LogSeveritySwitchValue(int level) {
  for (const auto& entry : kSeveritySwitch) {
    if (level <= entry.level) return entry.name;
  }
  return "disable";
}

}  // namespace qvex_engine

namespace cef {
namespace logging {

LogMessage::LogMessage(const char* file, int line, LogSeverity severity)
    : file_(file), line_(line), severity_(severity) {}

LogMessage::~LogMessage() {
  timeval tv;
  gettimeofday(&tv, nullptr);
  tm local;
  localtime_r(&tv.tv_sec, &local);
  char prefix[96];
  snprintf(prefix, sizeof(prefix), "[%d:%ld:%02d%02d/%02d%02d%02d.%03ld:%s:", getpid(),
           static_cast<long>(syscall(SYS_gettid)), local.tm_mon + 1, local.tm_mday,
           local.tm_hour, local.tm_min, local.tm_sec, static_cast<long>(tv.tv_usec / 1000),
           SeverityName(severity_));
  std::string text = std::string(prefix) + BaseName(file_) + "(" + std::to_string(line_) +
                     ")] " + stream_.str() + "\n";
  // One write per line, so lines from several threads never interleave.
  ssize_t unused = ::write(STDERR_FILENO, text.data(), text.size());
  (void)unused;
  if (severity_ >= LOG_FATAL) abort();
}

}  // namespace logging
}  // namespace cef
