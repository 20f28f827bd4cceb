// RequestImpl: a read-only CefRequest over a WebKitURIRequest. UI thread.
#ifndef QVEX_ENGINE_BROWSER_REQUEST_IMPL_H_
#define QVEX_ENGINE_BROWSER_REQUEST_IMPL_H_

#include <webkit2/webkit2.h>

#include <string>

#include "include/cef_request.h"

namespace qvex_engine {

class RequestImpl : public CefRequest {
 public:
  explicit RequestImpl(WebKitURIRequest* request) {
    const gchar* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
    const gchar* method = request ? webkit_uri_request_get_http_method(request) : nullptr;
    url_ = uri ? uri : "";
    method_ = method ? method : "GET";
  }
  RequestImpl(const std::string& url, const std::string& method) : url_(url), method_(method) {}
  bool IsReadOnly() override { return true; }
  CefString GetURL() override { return url_; }
  CefString GetMethod() override { return method_; }

 private:
  CefString url_;
  CefString method_;
  IMPLEMENT_REFCOUNTING(RequestImpl);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_REQUEST_IMPL_H_
