// Entry of the shell in WebKit's web process, reached from the web-extension module: the same
// start-up as main, which the renderer process-type switch sends down the renderer path.
#include "app/qvexdesk_linux.h"
#include "include/cef_app.h"

int CefRendererMain(int argc, char** argv) { return corvane::createBrowser(be, argc, argv); }
