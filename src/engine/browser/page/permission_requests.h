// Pages' permission requests (WebKit's permission-request signal) handed to the client's
// CefPermissionHandler, which decides; without one, or when it declines, they are denied.
// UI thread.
#ifndef QVEX_ENGINE_BROWSER_PAGE_PERMISSION_REQUESTS_H_
#define QVEX_ENGINE_BROWSER_PAGE_PERMISSION_REQUESTS_H_

#include <string>

namespace qvex_engine {

class BrowserImpl;

void AttachPermissionRequests(BrowserImpl* browser);
// "scheme://host[:port]" of `uri`; "file://" for a file; empty when it has none.
std::string OriginOf(const char* uri);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_PAGE_PERMISSION_REQUESTS_H_
