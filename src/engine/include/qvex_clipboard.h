// The desktop's clipboard for the web process. The port's addition, not CEF's (CEF leaves the
// clipboard to the browser process): the application writes text to the CLIPBOARD selection
// without running anything in the page, whatever element has the focus.
#ifndef QVEX_INCLUDE_QVEX_CLIPBOARD_H_
#define QVEX_INCLUDE_QVEX_CLIPBOARD_H_

#include <string>

#include "include/cef_browser.h"

namespace qvex_clipboard {

// Renderer thread, in the web process: hands `text` (UTF-8) to the UI process of `browser`,
// which puts it on the CLIPBOARD selection and owns it from then on (an earlier owner, this
// program or another, loses it). Returns without waiting for the UI process. False, with a
// warning in the log, when the text could not be handed over (no such browser in this process,
// no memory file for a long text); the UI process logs what it could not take.
bool SetText(CefRefPtr<CefBrowser> browser, const std::string& text);

}  // namespace qvex_clipboard

#endif  // QVEX_INCLUDE_QVEX_CLIPBOARD_H_
