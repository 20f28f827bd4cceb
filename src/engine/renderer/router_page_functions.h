// The message router's two page functions (cefQuery and cefQueryCancel) as script of the
// page's own realm, and the delivery of answers into them. Renderer thread.
//
// The page-side work of a query (checking the query object, keeping its callbacks until the
// answer, calling them) is script made once per context (JavaScriptCore keeps its compiled
// form), so a round trip makes a handful of engine calls instead of one per member and
// callback. What leaves the page goes
// through two native functions that only these functions can reach.
#ifndef QVEX_ENGINE_RENDERER_ROUTER_PAGE_FUNCTIONS_H_
#define QVEX_ENGINE_RENDERER_ROUTER_PAGE_FUNCTIONS_H_

#include <JavaScriptCore/JavaScript.h>

#include <string>

#include "include/cef_v8.h"
#include "renderer/v8_context_impl.h"

namespace qvex_engine {

// What the page functions ask of the router, in the context of the calling page.
class RouterPageNatives : public virtual CefBaseRefCounted {
 public:
  // Sends a checked query; the new request id, or 0 with `error` set.
  virtual int Send(V8ContextImpl* context, const CefString& request, bool persistent,
                   std::string* error) = 0;
  // Whether a pending request of the context was cancelled.
  virtual bool Cancel(V8ContextImpl* context, int request_id) = 0;
};

class RouterPageFunctions {
 public:
  RouterPageFunctions(const CefString& query_name, const CefString& cancel_name);
  ~RouterPageFunctions();
  RouterPageFunctions(const RouterPageFunctions&) = delete;
  RouterPageFunctions& operator=(const RouterPageFunctions&) = delete;

  // Defines the two functions on the context's global object (read-only, not enumerable, not
  // deletable) unless it already has them (a pop-up's second document keeps its own).
  void Install(V8ContextImpl* context, CefRefPtr<RouterPageNatives> natives) const;

  // Calls the page's callback of a request that the natives had sent: onSuccess(payload), or
  // onFailure(error_code, payload). The page forgets the request after a failure or the
  // success of a one-shot request. What the callback throws ends up in the log.
  void Deliver(V8ContextImpl* context, int request_id, bool success, int error_code,
               const CefString& payload) const;

 private:
  const CefString query_name_;
  const CefString cancel_name_;
  const JSStringRef query_key_;
  // Marks a call of the query function as a delivery from here; a page cannot read it.
  const double secret_;
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_RENDERER_ROUTER_PAGE_FUNCTIONS_H_
