// The browser side of the message router: hands queries from pages to the registered handlers
// and carries their answers back. UI thread; a query's callback may be used from any thread.
#include <algorithm>
#include <limits>
#include <map>
#include <utility>
#include <vector>

#include "browser/browser_impl.h"
#include "browser/frame_impl.h"
#include "common/message_router_wire.h"
#include "include/base/cef_bind.h"
#include "include/base/cef_logging.h"
#include "include/cef_task.h"
#include "include/wrapper/cef_helpers.h"
#include "include/wrapper/cef_message_router.h"

namespace qvex_engine {

namespace {

namespace wire = router_wire;

// What a page's onFailure receives for a query that no handler took, or that was cancelled
// on the browser side.
constexpr int kCanceledErrorCode = -1;
constexpr char kCanceledErrorMessage[] = "The query has been canceled";

class BrowserRouter : public CefMessageRouterBrowserSide {
 public:
  explicit BrowserRouter(const CefMessageRouterConfig& config)
      : query_message_(wire::QueryName(config.js_query_function)),
        cancel_message_(wire::CancelName(config.js_cancel_function)) {}

  bool AddHandler(Handler* handler, bool first) override {
    CEF_REQUIRE_UI_THREAD();
    if (!handler || std::find(handlers_.begin(), handlers_.end(), handler) != handlers_.end())
      return false;
    handlers_.insert(first ? handlers_.begin() : handlers_.end(), handler);
    return true;
  }

  bool RemoveHandler(Handler* handler) override {
    CEF_REQUIRE_UI_THREAD();
    auto it = std::find(handlers_.begin(), handlers_.end(), handler);
    if (it == handlers_.end()) return false;
    handlers_.erase(it);
    CancelPendingFor(nullptr, handler, true);
    return true;
  }

  void CancelPending(CefRefPtr<CefBrowser> browser, Handler* handler) override {
    CancelPendingFor(browser, handler, true);
  }

  int GetPendingCount(CefRefPtr<CefBrowser> browser, Handler* handler) override {
    CEF_REQUIRE_UI_THREAD();
    return static_cast<int>(std::count_if(pending_.begin(), pending_.end(), [&](auto& entry) {
      return Matches(entry, browser, handler);
    }));
  }

  // The page is gone: nothing is sent to it.
  void OnBeforeClose(CefRefPtr<CefBrowser> browser) override {
    CancelPendingFor(browser, nullptr, false);
  }
  void OnRenderProcessTerminated(CefRefPtr<CefBrowser> browser) override {
    CancelPendingFor(browser, nullptr, false);
  }
  void OnBeforeBrowse(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame) override {
    if (frame && frame->IsMain()) CancelPendingFor(browser, nullptr, false);
  }

  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                CefProcessId source_process,
                                CefRefPtr<CefProcessMessage> message) override {
    CEF_REQUIRE_UI_THREAD();
    if (!browser || !frame || !message) return false;
    const std::string name = message->GetName().ToString();
    if (name == query_message_) {
      wire::Query query;
      if (!wire::Decode(message, &query)) return Malformed(name);
      OnQueryMessage(browser, frame, query);
      return true;
    }
    if (name == cancel_message_) {
      wire::Cancel cancel;
      if (!wire::Decode(message, &cancel)) return Malformed(name);
      CancelRequest(browser->GetIdentifier(), cancel.context_id, cancel.request_id);
      return true;
    }
    return false;
  }

 private:
  // One query's answer path. Ends at its first failure, or its first success unless
  // persistent, or when the router lets go of it (Detach).
  class CallbackImpl : public Callback {
   public:
    CallbackImpl(CefRefPtr<BrowserRouter> router, int browser_id, int64_t query_id,
                 bool persistent)
        : router_(router), browser_id_(browser_id), query_id_(query_id),
          persistent_(persistent) {}

    void Success(const CefString& response) override {
      if (!CefCurrentlyOn(TID_UI)) {
        CefPostTask(TID_UI, base::Bind(&CallbackImpl::Success, this, response));
        return;
      }
      if (!router_) return;
      // Posted, so a Success called from inside OnQuery finds the query registered.
      CefPostTask(TID_UI, base::Bind(&BrowserRouter::OnSuccess, router_.get(), browser_id_,
                                     query_id_, response));
      if (!persistent_) router_ = nullptr;
    }

    void Failure(int error_code, const CefString& error_message) override {
      if (!CefCurrentlyOn(TID_UI)) {
        CefPostTask(TID_UI, base::Bind(&CallbackImpl::Failure, this, error_code, error_message));
        return;
      }
      if (!router_) return;
      CefPostTask(TID_UI, base::Bind(&BrowserRouter::OnFailure, router_.get(), browser_id_,
                                     query_id_, error_code, error_message));
      router_ = nullptr;
    }

    void Detach() { router_ = nullptr; }

   private:
    CefRefPtr<BrowserRouter> router_;  // UI thread.
    const int browser_id_;
    const int64_t query_id_;
    const bool persistent_;
    IMPLEMENT_REFCOUNTING(CallbackImpl);
  };

  struct Query {
    CefRefPtr<CefBrowser> browser;
    CefRefPtr<CefFrame> frame;
    int context_id = 0;
    int request_id = 0;
    bool persistent = false;
    CefRefPtr<CallbackImpl> callback;
    Handler* handler = nullptr;
  };
  using Key = std::pair<int, int64_t>;  // Browser id, query id.
  using Entry = std::pair<const Key, Query>;

  static bool Matches(const Entry& entry, CefRefPtr<CefBrowser> browser, Handler* handler) {
    return (!browser || entry.first.first == browser->GetIdentifier()) &&
           (!handler || entry.second.handler == handler);
  }

  bool Malformed(const std::string& name) {
    LOG(WARNING) << "malformed " << name << " message ignored";
    return false;
  }

  void OnQueryMessage(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                      const wire::Query& query) {
    if (last_query_id_ == std::numeric_limits<int64_t>::max()) last_query_id_ = 0;
    const int64_t query_id = ++last_query_id_;
    CefRefPtr<CallbackImpl> callback =
        new CallbackImpl(this, browser->GetIdentifier(), query_id, query.persistent);
    // A handler may add or remove handlers while it runs: ask those present at the start
    // that are still registered.
    const std::vector<Handler*> handlers = handlers_;
    for (Handler* handler : handlers) {
      if (std::find(handlers_.begin(), handlers_.end(), handler) == handlers_.end()) continue;
      if (handler->OnQuery(browser, frame, query_id, query.request, query.persistent,
                           callback.get())) {
        pending_[Key(browser->GetIdentifier(), query_id)] =
            Query{browser, frame, query.context_id, query.request_id, query.persistent,
                  callback, handler};
        return;
      }
    }
    callback->Detach();
    SendFailure(frame, query.context_id, query.request_id, kCanceledErrorCode,
                kCanceledErrorMessage);
  }

  void OnSuccess(int browser_id, int64_t query_id, const CefString& response) {
    auto it = pending_.find(Key(browser_id, query_id));
    if (it == pending_.end()) return;
    Query& q = it->second;
    Send(q.frame, wire::Response{q.context_id, q.request_id, true, 0, response});
    if (!q.persistent) pending_.erase(it);
  }

  void OnFailure(int browser_id, int64_t query_id, int error_code,
                 const CefString& error_message) {
    auto it = pending_.find(Key(browser_id, query_id));
    if (it == pending_.end()) return;
    Query q = it->second;
    pending_.erase(it);
    SendFailure(q.frame, q.context_id, q.request_id, error_code, error_message);
  }

  void SendFailure(CefRefPtr<CefFrame> frame, int context_id, int request_id, int error_code,
                   const CefString& error_message) {
    Send(frame, wire::Response{context_id, request_id, false, error_code, error_message});
  }

  // A frame of this engine takes the answer's bytes, written without the message objects
  // (they cost a small query's round trip several per cent); any other frame the message.
  void Send(CefRefPtr<CefFrame> frame, const wire::Response& response) {
    if (auto* port_frame = dynamic_cast<FrameImpl*>(frame.get())) {
      port_frame->SendFrameMessage(query_message_,
                                   wire::ToFrameVariant(port_frame->GetIdentifier(), response));
    } else {
      frame->SendProcessMessage(PID_RENDERER, wire::Encode(query_message_, response));
    }
  }

  // Ends the matching queries: their handlers hear OnQueryCanceled, their callbacks go dead,
  // and the page hears a failure when `notify_page`.
  void CancelPendingFor(CefRefPtr<CefBrowser> browser, Handler* handler, bool notify_page) {
    if (!CefCurrentlyOn(TID_UI)) {
      CefPostTask(TID_UI, base::Bind(&BrowserRouter::CancelPendingFor, this, browser, handler,
                                     notify_page));
      return;
    }
    std::vector<std::pair<int64_t, Query>> ended;
    for (auto it = pending_.begin(); it != pending_.end();) {
      if (Matches(*it, browser, handler)) {
        ended.emplace_back(it->first.second, it->second);
        it = pending_.erase(it);
      } else {
        ++it;
      }
    }
    for (auto& [query_id, q] : ended) End(query_id, q, notify_page);
  }

  // The page cancelled one request, or all of a context (its document went away).
  void CancelRequest(int browser_id, int context_id, int request_id) {
    std::vector<std::pair<int64_t, Query>> ended;
    for (auto it = pending_.begin(); it != pending_.end();) {
      const Query& q = it->second;
      if (it->first.first == browser_id && q.context_id == context_id &&
          (request_id == wire::kAllRequests || q.request_id == request_id)) {
        ended.emplace_back(it->first.second, q);
        it = pending_.erase(it);
      } else {
        ++it;
      }
    }
    for (auto& [query_id, q] : ended) End(query_id, q, false);
  }

  void End(int64_t query_id, Query& q, bool notify_page) {
    if (notify_page)
      SendFailure(q.frame, q.context_id, q.request_id, kCanceledErrorCode, kCanceledErrorMessage);
    q.callback->Detach();
    q.handler->OnQueryCanceled(q.browser, q.frame, query_id);
  }

  const std::string query_message_;
  const std::string cancel_message_;
  std::vector<Handler*> handlers_;  // In asking order.
  std::map<Key, Query> pending_;    // Queries a handler took, until they end.
  int64_t last_query_id_ = 0;

  IMPLEMENT_REFCOUNTING(BrowserRouter);
};

}  // namespace

}  // namespace qvex_engine

CefRefPtr<CefMessageRouterBrowserSide> CefMessageRouterBrowserSide::Create(
    const CefMessageRouterConfig& config) {
  if (config.js_query_function.empty() || config.js_cancel_function.empty()) return nullptr;
  return new qvex_engine::BrowserRouter(config);
}
