// Finding a page's icons after a load: its icon links in document order, else the origin's
// /favicon.ico. UI thread.
#ifndef QVEX_ENGINE_BROWSER_PAGE_FAVICON_URLS_H_
#define QVEX_ENGINE_BROWSER_PAGE_FAVICON_URLS_H_

#include <string>
#include <vector>

namespace qvex_engine {

class BrowserImpl;

// Reads the page's icon links and reports them to the client's OnFaviconURLChange.
void ReportFaviconUrls(BrowserImpl* browser);

// The icon URLs to report: `links` when there are any, else <origin>/favicon.ico for an
// http(s) page, else none.
std::vector<std::string> FaviconUrlsFor(const std::string& page_url,
                                        const std::vector<std::string>& links);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_PAGE_FAVICON_URLS_H_
