// The renderer side of the message router: the natives behind the page's cefQuery and
// cefQueryCancel, the pending requests of each context, and the delivery of answers.
// Renderer thread.
#include <limits>
#include <map>
#include <tuple>

#include "common/message_router_wire.h"
#include "include/base/cef_bind.h"
#include "include/base/cef_logging.h"
#include "include/cef_task.h"
#include "include/wrapper/cef_helpers.h"
#include "include/wrapper/cef_message_router.h"
#include "renderer/render_browser.h"
#include "renderer/render_frame.h"
#include "renderer/router_page_functions.h"
#include "renderer/v8_context_impl.h"

namespace qvex_engine {

namespace {

namespace wire = router_wire;

int NextId(int* last) {
  if (*last == std::numeric_limits<int>::max()) *last = 0;
  return ++*last;
}

class RendererRouter : public CefMessageRouterRendererSide, public RouterPageNatives {
 public:
  explicit RendererRouter(const CefMessageRouterConfig& config)
      : page_functions_(config.js_query_function, config.js_cancel_function),
        query_message_(wire::QueryName(config.js_query_function)),
        cancel_message_(wire::CancelName(config.js_cancel_function)) {}

  int GetPendingCount(CefRefPtr<CefBrowser> browser, CefRefPtr<CefV8Context> context) override {
    CEF_REQUIRE_RENDERER_THREAD();
    const int context_id = context ? IdOf(context) : 0;
    int count = 0;
    for (const auto& entry : pending_) {
      if ((!browser || entry.first.browser_id == browser->GetIdentifier()) &&
          (!context || entry.first.context_id == context_id)) {
        ++count;
      }
    }
    return count;
  }

  void OnContextCreated(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                        CefRefPtr<CefV8Context> context) override {
    CEF_REQUIRE_RENDERER_THREAD();
    auto* impl = static_cast<V8ContextImpl*>(context.get());
    if (!impl || !impl->IsValid()) return;
    page_functions_.Install(impl, this);
  }

  void OnContextReleased(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                         CefRefPtr<CefV8Context> context) override {
    CEF_REQUIRE_RENDERER_THREAD();
    const int context_id = IdOf(context);
    if (!contexts_.erase(context_id) || !browser) return;
    if (CancelLocally(browser->GetIdentifier(), context_id, wire::kAllRequests) > 0 && frame)
      frame->SendProcessMessage(PID_BROWSER,
                                wire::Encode(cancel_message_, wire::Cancel{context_id, 0}));
  }

  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                CefProcessId source_process,
                                CefRefPtr<CefProcessMessage> message) override {
    CEF_REQUIRE_RENDERER_THREAD();
    if (!browser || !message || message->GetName().ToString() != query_message_) return false;
    wire::Response response;
    if (!wire::Decode(message, &response)) {
      LOG(WARNING) << "malformed " << query_message_ << " message ignored";
      return false;
    }
    // Answers run as tasks of their own, never inside the code that received them.
    CefPostTask(TID_RENDERER, base::Bind(&RendererRouter::Deliver, this,
                                         browser->GetIdentifier(), response));
    return true;
  }

 private:
  struct Key {
    int browser_id;
    int context_id;
    int request_id;
    bool operator<(const Key& o) const {
      return std::tie(browser_id, context_id, request_id) <
             std::tie(o.browser_id, o.context_id, o.request_id);
    }
  };

  struct Request {
    bool persistent = false;
  };

  static int IdOf(CefRefPtr<CefV8Context> context) {
    return context ? static_cast<V8ContextImpl*>(context.get())->id() : 0;
  }

  // The page functions' natives; the script has checked the arguments already.
  int Send(V8ContextImpl* context, const CefString& request, bool persistent,
           std::string* error) override {
    CefRefPtr<CefBrowser> browser = context->GetBrowser();
    CefRefPtr<CefFrame> frame = context->GetFrame();
    if (!browser || !frame) {
      *error = "The query cannot be sent from this context";
      return 0;
    }
    const int context_id = context->id();
    contexts_[context_id] = context;
    const int request_id = NextId(&last_request_id_);
    pending_[Key{browser->GetIdentifier(), context_id, request_id}] = Request{persistent};
    const wire::Query query{context_id, request_id, request, persistent};
    // A frame of this engine takes the query's bytes, written without the message objects;
    // any other frame the message.
    if (auto* port_frame = dynamic_cast<RenderFrame*>(frame.get()))
      port_frame->SendFrameMessage(query_message_,
                                   wire::ToFrameVariant(port_frame->GetIdentifier(), query));
    else
      frame->SendProcessMessage(PID_BROWSER, wire::Encode(query_message_, query));
    return request_id;
  }

  bool Cancel(V8ContextImpl* context, int request_id) override {
    CefRefPtr<CefBrowser> browser = context->GetBrowser();
    if (!browser || CancelLocally(browser->GetIdentifier(), context->id(), request_id) == 0)
      return false;
    if (CefRefPtr<CefFrame> frame = context->GetFrame())
      frame->SendProcessMessage(
          PID_BROWSER, wire::Encode(cancel_message_, wire::Cancel{context->id(), request_id}));
    return true;
  }

  // Forgets one request, or every request of the context; returns how many.
  int CancelLocally(int browser_id, int context_id, int request_id) {
    if (request_id != wire::kAllRequests)
      return static_cast<int>(pending_.erase(Key{browser_id, context_id, request_id}));
    int count = 0;
    for (auto it = pending_.lower_bound(Key{browser_id, context_id, 0});
         it != pending_.end() && it->first.browser_id == browser_id &&
         it->first.context_id == context_id;) {
      it = pending_.erase(it);
      ++count;
    }
    return count;
  }

  void Deliver(int browser_id, const wire::Response& response) {
    CEF_REQUIRE_RENDERER_THREAD();
    auto it = pending_.find(Key{browser_id, response.context_id, response.request_id});
    if (it == pending_.end()) return;
    // A persistent request stays until it fails or is cancelled.
    if (!response.success || !it->second.persistent) pending_.erase(it);
    auto context = contexts_.find(response.context_id);
    if (context == contexts_.end()) return;
    page_functions_.Deliver(context->second.get(), response.request_id, response.success,
                            response.error_code, response.payload);
  }

  const RouterPageFunctions page_functions_;
  const std::string query_message_;
  const std::string cancel_message_;
  int last_request_id_ = 0;
  std::map<Key, Request> pending_;
  std::map<int, CefRefPtr<V8ContextImpl>> contexts_;  // Contexts that sent queries, until released.

  IMPLEMENT_REFCOUNTING(RendererRouter);
};

}  // namespace

}  // namespace qvex_engine

CefRefPtr<CefMessageRouterRendererSide> CefMessageRouterRendererSide::Create(
    const CefMessageRouterConfig& config) {
  if (config.js_query_function.empty() || config.js_cancel_function.empty()) return nullptr;
  return new qvex_engine::RendererRouter(config);
}
