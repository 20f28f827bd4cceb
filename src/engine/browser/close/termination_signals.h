// Ending by signal: SIGTERM, SIGINT and SIGHUP close every browser as a forced close does (no
// leave-page question; each page's close sequence, its unload included, runs), after which the
// message loop ends as it does when the last window closes. A second one while they close ends
// the program at once. SIGPIPE never ends the program. UI process, main thread.
#ifndef QVEX_ENGINE_BROWSER_CLOSE_TERMINATION_SIGNALS_H_
#define QVEX_ENGINE_BROWSER_CLOSE_TERMINATION_SIGNALS_H_

namespace qvex_engine {

// First thing in the browser process, before any thread starts: blocks the termination
// signals in this thread and so in every thread and WebKit process started after it.
void BlockTerminationSignals();
// Once, in the browser process, before the message loop runs.
void InstallTerminationSignals();

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_CLOSE_TERMINATION_SIGNALS_H_
