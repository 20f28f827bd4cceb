// Close requests that GTK would drop: a window manager's close (WM_DELETE_WINDOW) of a window
// while a modal dialog of that or another window (a file chooser, the print dialog, the
// leave-page question) holds GTK's grab reaches the window all the same, which then decides
// what becomes of the dialog. UI thread.
#ifndef QVEX_ENGINE_BROWSER_CLOSE_CLOSE_REQUESTS_H_
#define QVEX_ENGINE_BROWSER_CLOSE_CLOSE_REQUESTS_H_

namespace qvex_engine {

// Once, right after GTK is initialised: puts itself in front of GTK's event dispatch.
void InstallCloseRequestHook();

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_CLOSE_CLOSE_REQUESTS_H_
