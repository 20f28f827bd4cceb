// Automation: a W3C WebDriver client driving the shell through WebKit's WebDriver
// (WebKitWebDriver), which starts the program with the switch --automation. Every view of such
// a run is under automation; the session's first window is the shell's start window, its later
// windows new windows of the shell. UI thread.
#ifndef QVEX_ENGINE_BROWSER_AUTOMATION_H_
#define QVEX_ENGINE_BROWSER_AUTOMATION_H_

#include <webkit2/webkit2.h>

#include "include/cef_app.h"

namespace qvex_engine {

class BrowserImpl;

// Reads the switch --automation from the program's command line. Without it, says on standard
// error when a WebDriver started the program anyway (no session could start).
void ReadAutomationSwitch();
// Whether this run is driven; known once ReadAutomationSwitch has run.
bool AutomationEnabled();

// Before any view exists, in a driven run: lets `context` be automated and answers sessions
// with the application named in `settings.product_version` ("name/major.minor.micro"; the
// program's file name otherwise).
void SetUpAutomation(WebKitWebContext* context, const CefSettings& settings);

// A browser with a web view was made; the session hands out the start window from these.
void NoteBrowserCreated(BrowserImpl* browser);

// The message loop is to end: while a session is on, it ends once the session has finished
// (the driver closes the windows before it ends the session, and would lose its program
// half-way), at the latest after a few seconds. Returns false when `quit` was kept for later.
bool QuitNowOrAfterSession(void (*quit)());

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_AUTOMATION_H_
