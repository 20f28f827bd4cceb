// Termination signals of the UI process. The signal handlers are GLib's (they only wake the
// main loop); OnTerminationSignal runs on the UI thread from the loop.
#include "browser/close/termination_signals.h"

#include <glib-unix.h>
#include <signal.h>

#include "browser/browser_impl.h"
#include "browser/open_browsers.h"
#include "include/base/cef_logging.h"
#include "include/cef_app.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
guint g_sources[sizeof(kSignals) / sizeof(kSignals[0])] = {};

// A write to a closed pipe or socket then fails with EPIPE instead of ending the program. A
// handler rather than SIG_IGN: an ignored signal stays ignored in the programs we start, a
// handled one is back to its default there.
void OnBrokenPipe(int) {}

gboolean OnTerminationSignal(gpointer data) {
  CEF_REQUIRE_UI_THREAD();
  const int signal_number = GPOINTER_TO_INT(data);
  // Once GLib's sources are gone it puts back each signal's default action: a second signal
  // ends the program at once, even while a close sequence holds the UI thread.
  for (size_t i = 0; i < sizeof(kSignals) / sizeof(kSignals[0]); ++i) {
    if (g_sources[i] && kSignals[i] != signal_number) g_source_remove(g_sources[i]);
    g_sources[i] = 0;
  }
  LOG(WARNING) << "signal " << signal_number << " (" << g_strsignal(signal_number)
               << "): closing every window";
  std::vector<CefRefPtr<BrowserImpl>> browsers = OpenBrowsers();
  if (browsers.empty()) {
    CefQuitMessageLoop();  // Before the first window: nothing to close.
  }
  for (const CefRefPtr<BrowserImpl>& browser : browsers) browser->CloseBrowser(true);
  return G_SOURCE_REMOVE;
}

}  // namespace

void InstallTerminationSignals() {
  struct sigaction action = {};
  action.sa_handler = OnBrokenPipe;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGPIPE, &action, nullptr);
  for (size_t i = 0; i < sizeof(kSignals) / sizeof(kSignals[0]); ++i)
    g_sources[i] = g_unix_signal_add(kSignals[i], OnTerminationSignal, GINT_TO_POINTER(kSignals[i]));
}

}  // namespace qvex_engine
