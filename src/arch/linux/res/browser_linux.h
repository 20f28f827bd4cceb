// X error handlers of the browser process: a protocol error is logged and never fatal.
// Xlib calls them on whatever thread made the failing request (in practice the UI thread).
#ifndef QVEXDESK_ARCH_LINUX_RES_BROWSER_LINUX_H_
#define QVEXDESK_ARCH_LINUX_RES_BROWSER_LINUX_H_

#include <X11/Xlib.h>

#include <string>

#include "include/base/cef_logging.h"

namespace {

// "X error received: type 0, serial 812, error_code 3, request_code 20, minor_code 0"
inline std::string DescribeXError(const XErrorEvent* event) {
  return "X error received: type " + std::to_string(event->type) + ", serial " +
         std::to_string(event->serial) + ", error_code " +
         std::to_string(static_cast<int>(event->error_code)) + ", request_code " +
         std::to_string(static_cast<int>(event->request_code)) + ", minor_code " +
         std::to_string(static_cast<int>(event->minor_code));
}

int XErrorHandlerImpl(Display* display, XErrorEvent* event) {
  LOG(WARNING) << DescribeXError(event);
  return 0;
}

int XIOErrorHandlerImpl(Display* display) { return 0; }

}  // namespace

#endif  // QVEXDESK_ARCH_LINUX_RES_BROWSER_LINUX_H_
