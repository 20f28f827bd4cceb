// The whole life of a shell process, in every process role.
#ifndef QVEXDESK_APP_QVEXDESK_LINUX_H_
#define QVEXDESK_APP_QVEXDESK_LINUX_H_

#include "app/browser_events.h"

namespace corvane {

// Returns the process's exit status: the port's code in a sub-process, 0 in the browser
// process once its last browser has closed, and at once after `--version` or `--help`
// (ProgramInfo). `events.onInit` is the only hook called here.
int createBrowser(BrowserEvents& events, int argc, char** argv);

}  // namespace corvane

#endif  // QVEXDESK_APP_QVEXDESK_LINUX_H_
