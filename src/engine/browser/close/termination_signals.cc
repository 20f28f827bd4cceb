// Termination signals of the UI process. The handler only puts the termination signals back to
// their default action and writes the signal's number to a pipe; OnTerminationSignal runs on
// the UI thread from the loop, whose one source for them is that pipe's descriptor (nothing to
// ask before each poll, where a GLib signal source per signal would be asked each time).
#include "browser/close/termination_signals.h"

#include <errno.h>
#include <fcntl.h>
#include <glib-unix.h>
#include <signal.h>
#include <unistd.h>

#include <vector>

#include "browser/browser_impl.h"
#include "browser/open_browsers.h"
#include "include/base/cef_logging.h"
#include "include/cef_app.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int g_wake[2] = {-1, -1};  // The pipe from the handler to the loop.

void SetAction(int signal_number, void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(signal_number, &action, nullptr);
}

// A write to a closed pipe or socket then fails with EPIPE instead of ending the program. A
// handler rather than SIG_IGN: an ignored signal stays ignored in the programs we start, a
// handled one is back to its default there.
void OnBrokenPipe(int) {}

// Any thread, async-signal-safe. From the first termination signal on, a second one ends the
// program at once, even while a close sequence holds the UI thread.
void OnSignal(int signal_number) {
  const int saved_errno = errno;
  for (int each : kSignals) SetAction(each, SIG_DFL);
  const unsigned char byte = static_cast<unsigned char>(signal_number);
  const ssize_t written = write(g_wake[1], &byte, 1);
  (void)written;  // The pipe is empty: this is the first signal.
  errno = saved_errno;
}

gboolean OnTerminationSignal(gint fd, GIOCondition, gpointer) {
  CEF_REQUIRE_UI_THREAD();
  unsigned char byte = 0;
  if (read(fd, &byte, 1) != 1) return G_SOURCE_CONTINUE;
  const int signal_number = byte;
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
  SetAction(SIGPIPE, OnBrokenPipe);
  if (g_wake[0] >= 0) return;
  if (pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    LOG(ERROR) << "no pipe for termination signals (" << g_strerror(errno)
               << "): they end the program at once";
    return;
  }
  g_unix_fd_add(g_wake[0], G_IO_IN, OnTerminationSignal, nullptr);
  for (int each : kSignals) SetAction(each, OnSignal);
}

}  // namespace qvex_engine
