// Termination signals of the UI process. They are blocked in the main thread from the start,
// and so in the threads and WebKit processes it starts: WebKit starts its web and network
// processes with the UI process's signal mask, so a signal sent to the whole process group (a
// terminal's Ctrl+C, a logout) leaves them alone and each page's unload still reaches the
// network while the shell closes its windows. GLib's spawns and the child-process registry
// clear the mask for the programs they start. The signal reaches the UI thread's loop either
// way: read from a signalfd while every thread blocks it, or, from a thread of a library that
// does not, through the handler, which only writes its number to a pipe.
#include "browser/close/termination_signals.h"

#include <errno.h>
#include <fcntl.h>
#include <glib-unix.h>
#include <signal.h>
#include <sys/signalfd.h>
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
int g_signal_fd = -1;
int g_wake[2] = {-1, -1};  // The pipe from the handler to the loop.
bool g_closing = false;

sigset_t TerminationSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int each : kSignals) sigaddset(&set, each);
  return set;
}

// A write to a closed pipe or socket then fails with EPIPE instead of ending the program. A
// handler rather than SIG_IGN: an ignored signal stays ignored in the programs we start, a
// handled one is back to its default there.
void OnBrokenPipe(int) {}

void SetAction(int signal_number, void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(signal_number, &action, nullptr);
}

// Any thread that does not block them, async-signal-safe. From the first termination signal
// on, a second one ends the program at once, even while a close sequence holds the UI thread.
void OnSignal(int signal_number) {
  const int saved_errno = errno;
  for (int each : kSignals) SetAction(each, SIG_DFL);
  const unsigned char byte = static_cast<unsigned char>(signal_number);
  const ssize_t written = write(g_wake[1], &byte, 1);
  (void)written;  // The pipe is empty: this is the first signal.
  errno = saved_errno;
}

void CloseEveryWindow(int signal_number) {
  if (g_closing) return;
  g_closing = true;
  // From now on a second one ends the program at once, even while a close sequence holds this
  // thread: its default action, delivered to this thread, which no longer blocks it.
  for (int each : kSignals) SetAction(each, SIG_DFL);
  const sigset_t set = TerminationSet();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);

  LOG(WARNING) << "signal " << signal_number << " (" << g_strsignal(signal_number)
               << "): closing every window";
  std::vector<CefRefPtr<BrowserImpl>> browsers = OpenBrowsers();
  if (browsers.empty()) {
    CefQuitMessageLoop();  // Before the first window: nothing to close.
  }
  for (const CefRefPtr<BrowserImpl>& browser : browsers) browser->CloseBrowser(true);
}

gboolean OnSignalPipe(gint fd, GIOCondition, gpointer) {
  CEF_REQUIRE_UI_THREAD();
  unsigned char byte = 0;
  if (read(fd, &byte, 1) != 1) return G_SOURCE_CONTINUE;
  CloseEveryWindow(byte);
  return G_SOURCE_REMOVE;
}

gboolean OnSignalFd(gint fd, GIOCondition, gpointer) {
  CEF_REQUIRE_UI_THREAD();
  signalfd_siginfo info;
  if (read(fd, &info, sizeof(info)) != static_cast<ssize_t>(sizeof(info)))
    return G_SOURCE_CONTINUE;
  CloseEveryWindow(static_cast<int>(info.ssi_signo));
  return G_SOURCE_REMOVE;
}

}  // namespace

void BlockTerminationSignals() {
  const sigset_t set = TerminationSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void InstallTerminationSignals() {
  SetAction(SIGPIPE, OnBrokenPipe);
  if (g_wake[0] >= 0) return;
  BlockTerminationSignals();  // Already, unless the caller came late.
  if (pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    LOG(ERROR) << "no pipe for termination signals (" << g_strerror(errno)
               << "): they end the program at once";
    const sigset_t set = TerminationSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    return;
  }
  g_unix_fd_add(g_wake[0], G_IO_IN, OnSignalPipe, nullptr);
  for (int each : kSignals) SetAction(each, OnSignal);
  const sigset_t set = TerminationSet();
  g_signal_fd = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  if (g_signal_fd >= 0) g_unix_fd_add(g_signal_fd, G_IO_IN, OnSignalFd, nullptr);
}

}  // namespace qvex_engine
