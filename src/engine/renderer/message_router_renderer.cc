// The renderer side of the message router: the page's cefQuery and cefQueryCancel, the
// pending requests of each context, and the delivery of answers. Renderer thread.
#include <limits>
#include <map>
#include <tuple>

#include "common/message_router_wire.h"
#include "include/base/cef_bind.h"
#include "include/base/cef_logging.h"
#include "include/cef_task.h"
#include "include/wrapper/cef_helpers.h"
#include "include/wrapper/cef_message_router.h"
#include "renderer/v8_context_impl.h"
#include "renderer/v8_value_impl.h"

namespace qvex_engine {

namespace {

namespace wire = router_wire;

constexpr char kRequest[] = "request";
constexpr char kPersistent[] = "persistent";
constexpr char kOnSuccess[] = "onSuccess";
constexpr char kOnFailure[] = "onFailure";

int NextId(int* last) {
  if (*last == std::numeric_limits<int>::max()) *last = 0;
  return ++*last;
}

class RendererRouter : public CefMessageRouterRendererSide {
 public:
  explicit RendererRouter(const CefMessageRouterConfig& config)
      : config_(config),
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
    CefRefPtr<CefV8Handler> handler = new FunctionHandler(this);
    CefRefPtr<CefV8Value> global = context->GetGlobal();
    const auto attributes = static_cast<CefV8Value::PropertyAttribute>(
        V8_PROPERTY_ATTRIBUTE_READONLY | V8_PROPERTY_ATTRIBUTE_DONTENUM |
        V8_PROPERTY_ATTRIBUTE_DONTDELETE);
    // A global object that already has them (a pop-up's second document) keeps its own.
    for (const CefString& name : {config_.js_query_function, config_.js_cancel_function}) {
      if (!global->HasValue(name))
        global->SetValue(name, V8ValueImpl::CreateFunction(impl, name, handler), attributes);
    }
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
    CefRefPtr<CefV8Value> on_success;
    CefRefPtr<CefV8Value> on_failure;
  };

  // Answers the two script functions of one context.
  class FunctionHandler : public CefV8Handler {
   public:
    explicit FunctionHandler(CefRefPtr<RendererRouter> router) : router_(router) {}
    bool Execute(const CefString& name, CefRefPtr<CefV8Value> object,
                 const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
                 CefString& exception) override {
      if (name == router_->config_.js_query_function) {
        router_->Query(arguments, retval, exception);
        return true;
      }
      if (name == router_->config_.js_cancel_function) {
        router_->CancelQuery(arguments, retval, exception);
        return true;
      }
      return false;
    }

   private:
    const CefRefPtr<RendererRouter> router_;
    IMPLEMENT_REFCOUNTING(FunctionHandler);
  };

  static int IdOf(CefRefPtr<CefV8Context> context) {
    return context ? static_cast<V8ContextImpl*>(context.get())->id() : 0;
  }

  // Reads an optional member of the query object; false (with `exception` set) when it is
  // there with the wrong type.
  // The value is read first: a member that is there (the usual case) costs one lookup; only
  // an undefined one is asked whether it exists at all.
  static bool OptionalMember(CefRefPtr<CefV8Value> object, const CefString& key, bool function,
                             CefRefPtr<CefV8Value>* out, CefString& exception) {
    CefRefPtr<CefV8Value> value = object->GetValue(key);
    if (value && value->IsUndefined() && !object->HasValue(key)) return true;
    if (!value || !(function ? value->IsFunction() : value->IsBool())) {
      exception = "Invalid arguments; object member '" + key.ToString() +
                  "' must have type " + (function ? "function" : "boolean");
      return false;
    }
    *out = value;
    return true;
  }

  // cefQuery({request, persistent, onSuccess, onFailure}): returns the request id.
  void Query(const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
             CefString& exception) {
    if (arguments.size() != 1 || !arguments[0]->IsObject()) {
      exception = "Invalid arguments; expecting a single object";
      return;
    }
    CefRefPtr<CefV8Value> object = arguments[0];
    CefRefPtr<CefV8Value> request = object->GetValue(request_key_);
    if (!request || !request->IsString()) {
      exception = std::string("Invalid arguments; object member '") + kRequest +
                  "' is required and must have type string";
      return;
    }
    Request info;
    CefRefPtr<CefV8Value> persistent;
    if (!OptionalMember(object, on_success_key_, true, &info.on_success, exception) ||
        !OptionalMember(object, on_failure_key_, true, &info.on_failure, exception) ||
        !OptionalMember(object, persistent_key_, false, &persistent, exception)) {
      return;
    }
    info.persistent = persistent && persistent->GetBoolValue();

    CefRefPtr<CefV8Context> context = CefV8Context::GetCurrentContext();
    CefRefPtr<CefBrowser> browser = context ? context->GetBrowser() : nullptr;
    CefRefPtr<CefFrame> frame = context ? context->GetFrame() : nullptr;
    if (!browser || !frame) {
      exception = "The query cannot be sent from this context";
      return;
    }
    const int context_id = IdOf(context);
    contexts_[context_id] = context;
    const int request_id = NextId(&last_request_id_);
    const bool persistent_query = info.persistent;
    pending_[Key{browser->GetIdentifier(), context_id, request_id}] = std::move(info);
    frame->SendProcessMessage(
        PID_BROWSER, wire::Encode(query_message_, wire::Query{context_id, request_id,
                                                              request->GetStringValue(),
                                                              persistent_query}));
    retval = CefV8Value::CreateInt(request_id);
  }

  // cefQueryCancel(id): true when a pending request of this context was cancelled.
  void CancelQuery(const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
                   CefString& exception) {
    if (arguments.size() != 1 || !arguments[0]->IsInt()) {
      exception = "Invalid arguments; expecting a single integer";
      return;
    }
    bool cancelled = false;
    const int request_id = arguments[0]->GetIntValue();
    CefRefPtr<CefV8Context> context = CefV8Context::GetCurrentContext();
    CefRefPtr<CefBrowser> browser = context ? context->GetBrowser() : nullptr;
    CefRefPtr<CefFrame> frame = context ? context->GetFrame() : nullptr;
    if (request_id > 0 && browser &&
        CancelLocally(browser->GetIdentifier(), IdOf(context), request_id) > 0) {
      cancelled = true;
      if (frame)
        frame->SendProcessMessage(
            PID_BROWSER, wire::Encode(cancel_message_, wire::Cancel{IdOf(context), request_id}));
    }
    retval = CefV8Value::CreateBool(cancelled);
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
    auto context = contexts_.find(response.context_id);
    if (it == pending_.end()) return;
    Request request = it->second;
    // A persistent request stays until it fails or is cancelled.
    if (!response.success || !request.persistent) pending_.erase(it);
    if (context == contexts_.end()) return;
    CefV8ValueList args;
    CefRefPtr<CefV8Value> function = response.success ? request.on_success : request.on_failure;
    if (!function) return;
    if (!response.success) args.push_back(CefV8Value::CreateInt(response.error_code));
    args.push_back(CefV8Value::CreateString(response.payload));
    function->ExecuteFunctionWithContext(context->second, nullptr, args);
  }

  const CefMessageRouterConfig config_;
  // The query object's member names, converted once (a copy of a CefString shares its text).
  const CefString request_key_{kRequest};
  const CefString persistent_key_{kPersistent};
  const CefString on_success_key_{kOnSuccess};
  const CefString on_failure_key_{kOnFailure};
  const std::string query_message_;
  const std::string cancel_message_;
  int last_request_id_ = 0;
  std::map<Key, Request> pending_;
  std::map<int, CefRefPtr<CefV8Context>> contexts_;  // Contexts that sent queries, until released.

  IMPLEMENT_REFCOUNTING(RendererRouter);
};

}  // namespace

}  // namespace qvex_engine

CefRefPtr<CefMessageRouterRendererSide> CefMessageRouterRendererSide::Create(
    const CefMessageRouterConfig& config) {
  if (config.js_query_function.empty() || config.js_cancel_function.empty()) return nullptr;
  return new qvex_engine::RendererRouter(config);
}
