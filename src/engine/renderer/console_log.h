// ConsoleLog: a page's console messages and uncaught errors, from every frame, written to the
// log as CEF writes them. The web process writes them itself: it shares the shell's standard
// error, and it applies the log level the UI process forwarded. Renderer thread.
#ifndef QVEX_ENGINE_RENDERER_CONSOLE_LOG_H_
#define QVEX_ENGINE_RENDERER_CONSOLE_LOG_H_

#include <webkit2/webkit-web-extension.h>

#include <string>

namespace qvex_engine {

class ConsoleLog {
 public:
  // Longest message and source URL written; longer ones are cut with a marker.
  static constexpr size_t kMaxMessageBytes = 4096;
  static constexpr size_t kMaxSourceBytes = 1024;

  // Logs WebKit's own messages about `page` (network, security) when WebKit gives them to the
  // extension; those of scripts come from ConsoleHook.
  static void Attach(WebKitWebPage* page);
  // Whether lines of `severity` are written at all.
  static bool IsOn(int severity);
  // One line "...:SEVERITY:CONSOLE(line)] ..." on standard error, if its severity is on.
  static void Write(int severity, const std::string& text, const std::string& source,
                    unsigned line);
  // The log severity of a console level: log, info and debug are INFO, warnings WARNING,
  // errors and uncaught exceptions ERROR.
  static int SeverityOf(WebKitConsoleMessageLevel level);
  // What follows "CONSOLE(line)] " in the log line: "\"text\", source: URL (line)".
  static std::string Format(const std::string& text, const std::string& source, unsigned line);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_RENDERER_CONSOLE_LOG_H_
