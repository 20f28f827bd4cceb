// ConsoleLog: console messages as LOG lines "CONSOLE(line)". Renderer thread.
#include "renderer/console_log.h"

#include "common/log_text.h"
#include "include/base/cef_logging.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

void OnConsoleMessage(WebKitWebPage* page, WebKitConsoleMessage* message, gpointer) {
  CEF_REQUIRE_RENDERER_THREAD();
  // Scripts' messages and exceptions: ConsoleHook has them, in every session.
  const WebKitConsoleMessageSource source = webkit_console_message_get_source(message);
  if (source == WEBKIT_CONSOLE_MESSAGE_SOURCE_JAVASCRIPT ||
      source == WEBKIT_CONSOLE_MESSAGE_SOURCE_CONSOLE_API) {
    return;
  }
  const gchar* text = webkit_console_message_get_text(message);
  const gchar* source_id = webkit_console_message_get_source_id(message);
  ConsoleLog::Write(ConsoleLog::SeverityOf(webkit_console_message_get_level(message)),
                    text ? text : "", source_id ? source_id : "",
                    webkit_console_message_get_line(message));
}

}  // namespace

void ConsoleLog::Attach(WebKitWebPage* page) {
  g_signal_connect(page, "console-message-sent", G_CALLBACK(OnConsoleMessage), nullptr);
}

bool ConsoleLog::IsOn(int severity) { return severity >= cef_get_min_log_level(); }

void ConsoleLog::Write(int severity, const std::string& text, const std::string& source,
                       unsigned line) {
  if (!IsOn(severity)) return;
  // CEF's layout: the file is "CONSOLE", its line the message's line.
  cef::logging::LogMessage("CONSOLE", static_cast<int>(line), severity).stream()
      << Format(text, source, line);
}

int ConsoleLog::SeverityOf(WebKitConsoleMessageLevel level) {
  switch (level) {
    case WEBKIT_CONSOLE_MESSAGE_LEVEL_WARNING: return cef::logging::LOG_WARNING;
    case WEBKIT_CONSOLE_MESSAGE_LEVEL_ERROR: return cef::logging::LOG_ERROR;
    default: return cef::logging::LOG_INFO;
  }
}

std::string ConsoleLog::Format(const std::string& text, const std::string& source,
                               unsigned line) {
  return "\"" + LogText::Escape(text, kMaxMessageBytes) +
         "\", source: " + LogText::Escape(source, kMaxSourceBytes) + " (" +
         std::to_string(line) + ")";
}

}  // namespace qvex_engine
