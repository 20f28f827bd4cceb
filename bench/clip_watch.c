/* Watches the CLIPBOARD selection for the clipboard bench: prints "ready" once it listens,
 * then one line per change of owner, CLOCK_MONOTONIC in microseconds (the clock of the page's
 * benchNow() and of Python's time.monotonic()). Ends when its standard input closes. */
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <poll.h>
#include <stdio.h>
#include <time.h>
#include <unistd.h>

int main(void) {
  Display *display = XOpenDisplay(NULL);
  if (!display) {
    fprintf(stderr, "clip_watch: cannot open the display\n");
    return 1;
  }
  int event_base, error_base;
  if (!XFixesQueryExtension(display, &event_base, &error_base)) {
    fprintf(stderr, "clip_watch: no XFixes\n");
    return 1;
  }
  Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
  XFixesSelectSelectionInput(display, DefaultRootWindow(display), clipboard,
                             XFixesSetSelectionOwnerNotifyMask);
  XSync(display, False);
  printf("ready\n");
  fflush(stdout);
  struct pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {0, POLLIN, 0}};
  for (;;) {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type != event_base + XFixesSelectionNotify) continue;
      struct timespec ts;
      clock_gettime(CLOCK_MONOTONIC, &ts);
      printf("%.1f %lu\n", ts.tv_sec * 1e6 + ts.tv_nsec / 1e3,
             ((XFixesSelectionNotifyEvent *)&event)->owner);
      fflush(stdout);
    }
    if (poll(fds, 2, -1) < 0) break;
    if (fds[1].revents) break;
  }
  XCloseDisplay(display);
  return 0;
}
