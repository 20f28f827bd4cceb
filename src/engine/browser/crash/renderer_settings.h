// What decides how WebKit's web process renders, told on standard error when a web process
// ends or WebKit gives up on one, so that a user can change it. UI thread.
#ifndef QVEX_ENGINE_BROWSER_CRASH_RENDERER_SETTINGS_H_
#define QVEX_ENGINE_BROWSER_CRASH_RENDERER_SETTINGS_H_

#include <webkit2/webkit2.h>

#include <string>

namespace qvex_engine {

// "renderer settings: WEBKIT_DISABLE_DMABUF_RENDERER=1 ... hardware-acceleration=on-demand";
// without the view's own settings when `settings` is null.
std::string DescribeRendererSettings(WebKitSettings* settings);

// WebKit ends the program with a fatal GLib error when a web process dies before it could be
// started (a broken graphics driver, for example): that error is preceded by the settings line.
void NoteRendererSettingsOnFatalErrors();

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_CRASH_RENDERER_SETTINGS_H_
