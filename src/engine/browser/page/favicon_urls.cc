// The page's icon links, read in a script world of the port's own so page script cannot
// interfere, and reported to the display handler.
#include "browser/page/favicon_urls.h"

#include <webkit2/webkit2.h>

#include <sstream>

#include "browser/browser_impl.h"
#include "common/guarded.h"

namespace qvex_engine {

namespace {

const char kIconLinksScript[] =
    "Array.prototype.map.call(document.querySelectorAll('link[rel~=\"icon\" i][href]'),"
    " function (l) { return l.href; }).join('\\n')";
const char kWorld[] = "qvex-favicons";

void OnIconLinks(GObject* source, GAsyncResult* result, gpointer data) {
  auto* browser = static_cast<BrowserImpl*>(data);
  JSCValue* value =
      webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
  std::vector<std::string> links;
  if (value && jsc_value_is_string(value)) {
    gchar* text = jsc_value_to_string(value);
    std::istringstream lines(text ? text : "");
    for (std::string line; std::getline(lines, line);)
      if (!line.empty()) links.push_back(line);
    g_free(text);
  }
  if (value) g_object_unref(value);

  CefRefPtr<CefClient> client = browser->GetClient();
  CefRefPtr<CefDisplayHandler> handler = client ? client->GetDisplayHandler() : nullptr;
  if (handler && !browser->is_closed() && browser->web_view()) {
    const gchar* uri = webkit_web_view_get_uri(browser->web_view());
    std::vector<CefString> urls;
    for (const std::string& url : FaviconUrlsFor(uri ? uri : "", links)) urls.push_back(url);
    Guarded("OnFaviconURLChange", [&] { handler->OnFaviconURLChange(browser, urls); });
  }
  browser->Release();
}

}  // namespace

std::vector<std::string> FaviconUrlsFor(const std::string& page_url,
                                        const std::vector<std::string>& links) {
  if (!links.empty()) return links;
  GUri* uri = g_uri_parse(page_url.c_str(), G_URI_FLAGS_NONE, nullptr);
  std::vector<std::string> urls;
  if (uri) {
    std::string scheme = g_uri_get_scheme(uri);
    const char* host = g_uri_get_host(uri);
    if ((scheme == "http" || scheme == "https") && host && *host) {
      GUri* origin = g_uri_build(G_URI_FLAGS_NONE, scheme.c_str(), nullptr, host,
                                 g_uri_get_port(uri), "/favicon.ico", nullptr, nullptr);
      gchar* text = g_uri_to_string(origin);
      urls.push_back(text);
      g_free(text);
      g_uri_unref(origin);
    }
    g_uri_unref(uri);
  }
  return urls;
}

void ReportFaviconUrls(BrowserImpl* browser) {
  if (!browser->web_view()) return;
  browser->AddRef();  // Released in OnIconLinks.
  webkit_web_view_evaluate_javascript(browser->web_view(), kIconLinksScript, -1, kWorld, nullptr,
                                      nullptr, OnIconLinks, browser);
}

}  // namespace qvex_engine
