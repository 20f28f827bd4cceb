// The renderer settings line, and a GLib default log handler that writes it before a fatal
// error. The handler may run on any thread: it only reads the environment and writes.
#include "browser/crash/renderer_settings.h"

#include <unistd.h>

#include <cstdlib>

namespace qvex_engine {

namespace {

// The environment switches that WebKitGTK and Mesa read for rendering.
const char* const kRendererVariables[] = {
    "WEBKIT_DISABLE_DMABUF_RENDERER", "WEBKIT_DISABLE_COMPOSITING_MODE",
    "WEBKIT_SKIA_ENABLE_CPU_RENDERING", "LIBGL_ALWAYS_SOFTWARE", "GDK_BACKEND",
};

const char* PolicyName(WebKitHardwareAccelerationPolicy policy) {
  switch (policy) {
    case WEBKIT_HARDWARE_ACCELERATION_POLICY_ALWAYS: return "always";
    case WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER: return "never";
    default: return "on-demand";
  }
}

GLogFunc g_previous_default = nullptr;

void OnLog(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer data) {
  if (level & G_LOG_LEVEL_ERROR) {
    // WebKit's own message follows; when it says a web process could not be started, these
    // are the settings to change.
    std::string line = "qvexdesk: fatal error in the web engine; " +
                       DescribeRendererSettings(nullptr) + "\n";
    ssize_t unused = write(STDERR_FILENO, line.data(), line.size());
    (void)unused;
  }
  g_previous_default(domain, level, message, data);
}

}  // namespace

std::string DescribeRendererSettings(WebKitSettings* settings) {
  std::string text = "renderer settings:";
  for (const char* name : kRendererVariables) {
    const char* value = std::getenv(name);
    text += std::string(" ") + name + "=" + (value ? value : "(unset)");
  }
  if (settings) {
    text += std::string(" hardware-acceleration=") +
            PolicyName(webkit_settings_get_hardware_acceleration_policy(settings));
    text += std::string(" webgl=") + (webkit_settings_get_enable_webgl(settings) ? "on" : "off");
  }
  return text;
}

void NoteRendererSettingsOnFatalErrors() {
  if (g_previous_default) return;
  g_previous_default = g_log_set_default_handler(OnLog, nullptr);
}

}  // namespace qvex_engine
