// ContextMenuParamsImpl: what a context menu was opened on, taken when it opens. UI thread.
#ifndef QVEX_ENGINE_BROWSER_PAGE_CONTEXT_MENU_PARAMS_IMPL_H_
#define QVEX_ENGINE_BROWSER_PAGE_CONTEXT_MENU_PARAMS_IMPL_H_

#include <webkit2/webkit2.h>

#include <string>

#include "include/cef_context_menu_handler.h"

namespace qvex_engine {

class ContextMenuParamsImpl : public CefContextMenuParams {
 public:
  ContextMenuParamsImpl(GdkEvent* event, WebKitHitTestResult* hit, const char* page_url) {
    gdouble x = 0, y = 0;
    if (event) gdk_event_get_coords(event, &x, &y);
    x_ = static_cast<int>(x);
    y_ = static_cast<int>(y);
    const gchar* link = hit ? webkit_hit_test_result_get_link_uri(hit) : nullptr;
    link_url_ = link ? link : "";
    page_url_ = page_url ? page_url : "";
    editable_ = hit && webkit_hit_test_result_context_is_editable(hit);
  }

  int GetXCoord() override { return x_; }
  int GetYCoord() override { return y_; }
  CefString GetLinkUrl() override { return link_url_; }
  CefString GetPageUrl() override { return page_url_; }
  bool IsEditable() override { return editable_; }

 private:
  int x_ = 0;
  int y_ = 0;
  std::string link_url_;
  std::string page_url_;
  bool editable_ = false;
  IMPLEMENT_REFCOUNTING(ContextMenuParamsImpl);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_PAGE_CONTEXT_MENU_PARAMS_IMPL_H_
