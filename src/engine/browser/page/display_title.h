// The title a browser reports for its page: the page's own, or for a page without one the
// URL in the form a browser's tab shows it. Plain text functions; any thread.
#ifndef QVEX_ENGINE_BROWSER_PAGE_DISPLAY_TITLE_H_
#define QVEX_ENGINE_BROWSER_PAGE_DISPLAY_TITLE_H_

#include <string>

namespace qvex_engine {

// `url` for display: no "http://", no user name or password, no "/" after a bare host, "%20"
// shown as a blank; for a file: URL its file name only. Long texts are cut in the middle.
std::string UrlForDisplay(const std::string& url);

// `title` when it is non-empty, else UrlForDisplay(url). Null counts as empty.
std::string TitleForDisplay(const char* title, const char* url);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_PAGE_DISPLAY_TITLE_H_
