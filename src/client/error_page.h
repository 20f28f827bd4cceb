// The page shown in place of a page that failed to load, as a data: URL. Any thread.
#ifndef QVEXDESK_CLIENT_ERROR_PAGE_H_
#define QVEXDESK_CLIENT_ERROR_PAGE_H_

#include <string>

// Replaces & < > " ' by their character references, so the text shows literally.
std::string HtmlEscape(const std::string& text);

// One white page with one heading: "Failed to load URL <url> with error <text> (<code>)."
// The URL and the error text are escaped: a crafted URL must not become markup in a page
// that has the native bridge.
std::string ComposeErrorPage(const std::string& failed_url, const std::string& error_text,
                             int error_code);

// "data:text/html;base64," followed by the page's Base64, URI-escaped.
std::string ErrorPageDataUrl(const std::string& html);

#endif  // QVEXDESK_CLIENT_ERROR_PAGE_H_
