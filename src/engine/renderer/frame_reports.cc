// FrameReports: sub-frame documents, loads, navigations and removals, told to the UI process.
#include "renderer/frame_reports.h"

#include <libsoup/soup.h>

#include <string>

#include "common/engine_messages.h"
#include "include/cef_process_message.h"
#include "include/wrapper/cef_helpers.h"
#include "renderer/js_string.h"
#include "renderer/native_function.h"
#include "renderer/render_browser.h"
#include "renderer/render_process.h"

namespace qvex_engine {

namespace {

namespace msg = engine_messages;

// The sub-frame whose document got beforeunload in the current main-loop dispatch: WebKit
// sends that frame's navigation request next, in the same dispatch.
int64_t g_unloading_frame = 0;
guint g_unloading_clear = 0;

// The frame elements of a document whose source is `url`, as their windows.
constexpr char kFramesWithSource[] =
    "(function (url) { var found = [];"
    " var list = document.querySelectorAll('iframe, frame');"
    " for (var i = 0; i < list.length; i++)"
    "   if (list[i].src === url && list[i].contentWindow) found.push(list[i].contentWindow);"
    " return found; })";

// The listeners on a sub-frame's window: they know their frame by identifiers only, so that
// nothing of ours is kept alive by the page's garbage.
class WindowListener : public CefV8Handler {
 public:
  enum class Kind { kLoad, kBeforeUnload };
  WindowListener(int page_id, int64_t frame_id, Kind kind)
      : page_id_(page_id), frame_id_(frame_id), kind_(kind) {}

  bool Execute(const CefString& name, CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
               CefString& exception) override {
    if (kind_ == Kind::kBeforeUnload) {
      FrameReports::UnloadStarting(frame_id_);
      return false;
    }
    CefRefPtr<RenderBrowser> browser = RenderProcess::BrowserById(page_id_);
    CefRefPtr<RenderFrame> frame = browser ? browser->FrameById(frame_id_) : nullptr;
    if (frame) browser->reports()->Loaded(frame_id_, frame->GetURL().ToString());
    return false;
  }

 private:
  const int page_id_;
  const int64_t frame_id_;
  const Kind kind_;
  IMPLEMENT_REFCOUNTING(WindowListener);
};

// Calls window.addEventListener(type, listener) as the document had it before any of its own
// scripts ran.
void Listen(V8ContextImpl* context, const char* type, CefRefPtr<CefV8Handler> listener) {
  JSGlobalContextRef ctx = context->js();
  JSObjectRef window = JSContextGetGlobalObject(ctx);
  ScopedJSString add_key("addEventListener");
  JSValueRef add = JSObjectGetProperty(ctx, window, add_key.get(), nullptr);
  if (!add || !JSValueIsObject(ctx, add)) return;
  JSValueRef args[] = {MakeJSString(ctx, CefString(type)),
                       MakeHandlerFunction(ctx, CefString(type), listener)};
  JSObjectCallAsFunction(ctx, JSValueToObject(ctx, add, nullptr), window, 2, args, nullptr);
}

bool IsAboutBlank(const std::string& url) { return url.empty() || url == "about:blank"; }

}  // namespace

FrameReports::FrameReports(RenderBrowser* browser) : browser_(browser) {}

FrameReports::~FrameReports() {
  if (resolve_source_) g_source_remove(resolve_source_);
  Answer();  // The page is going: nothing more will load.
}

void FrameReports::DocumentCreated(CefRefPtr<RenderFrame> frame, bool same_window) {
  CEF_REQUIRE_RENDERER_THREAD();
  CefRefPtr<V8ContextImpl> context = frame->context();
  if (frame->IsMain() || !context) return;
  const std::string url = frame->GetURL().ToString();
  std::string& reported = documents_[frame->GetIdentifier()];
  if (same_window && reported == url) return;
  reported = url;
  CefRefPtr<CefFrame> parent = frame->GetParent();
  // The empty document a frame starts with is no load of its own.
  browser_->SendProcessMessage(
      frame->GetIdentifier(),
      msg::Encode(msg::FrameCommitted{parent ? parent->GetIdentifier() : 0,
                                      frame->GetName().ToString(), url, !IsAboutBlank(url)}));

  const int64_t id = frame->GetIdentifier();
  if (!IsAboutBlank(url)) awaited_.insert(id);
  if (!IsAboutBlank(url))
    Listen(context.get(), "load",
           new WindowListener(browser_->GetIdentifier(), id, WindowListener::Kind::kLoad));
  Listen(context.get(), "beforeunload",
         new WindowListener(browser_->GetIdentifier(), id, WindowListener::Kind::kBeforeUnload));
}

void FrameReports::FrameGone(int64_t frame_id) {
  documents_.erase(frame_id);
  browser_->SendProcessMessage(frame_id, msg::Encode(msg::FrameDetached{}));
  awaited_.erase(frame_id);
  AnswerIfSettled();
}

void FrameReports::Loaded(int64_t frame_id, const std::string& url) {
  browser_->SendProcessMessage(frame_id, msg::Encode(msg::FrameLoaded{url}));
  awaited_.erase(frame_id);
  AnswerIfSettled();
}

void FrameReports::NavigationAsked(int64_t frame_id) { awaited_.insert(frame_id); }

void FrameReports::Settle(WebKitUserMessage* question) {
  questions_.push_back(WEBKIT_USER_MESSAGE(g_object_ref(question)));
  AnswerIfSettled();
  if (questions_.empty() || settle_timeout_) return;
  settle_timeout_ = g_timeout_add(
      kMaxSettleWaitMs,
      [](gpointer data) {
        auto* self = static_cast<FrameReports*>(data);
        self->settle_timeout_ = 0;
        self->awaited_.clear();  // Loads that never ended are not awaited again.
        self->Answer();
        return G_SOURCE_REMOVE;
      },
      this);
}

void FrameReports::AnswerIfSettled() {
  if (awaited_.empty()) Answer();
}

void FrameReports::Answer() {
  if (settle_timeout_) {
    g_source_remove(settle_timeout_);
    settle_timeout_ = 0;
  }
  std::vector<WebKitUserMessage*> questions;
  questions.swap(questions_);
  for (WebKitUserMessage* question : questions) {
    webkit_user_message_send_reply(question, webkit_user_message_new(msg::kSettle, nullptr));
    g_object_unref(question);
  }
}

void FrameReports::UnloadStarting(int64_t frame_id) {
  g_unloading_frame = frame_id;
  if (!g_unloading_clear) {
    g_unloading_clear = g_idle_add_full(
        G_PRIORITY_HIGH,
        [](gpointer) {
          g_unloading_frame = 0;
          g_unloading_clear = 0;
          return G_SOURCE_REMOVE;
        },
        nullptr, nullptr);
  }
}

void FrameReports::RequestSent(WebKitURIRequest* request, WebKitURIResponse* redirected_response) {
  SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(request);
  const char* dest = headers ? soup_message_headers_get_one(headers, "Sec-Fetch-Dest") : nullptr;
  if (!dest || (g_strcmp0(dest, "iframe") != 0 && g_strcmp0(dest, "frame") != 0)) return;
  const gchar* uri = webkit_uri_request_get_uri(request);
  const std::string url = uri ? uri : "";
  if (redirected_response) {
    const gchar* from = webkit_uri_response_get_uri(redirected_response);
    const int64_t* frame_id = from ? navigating_.FindNewest(from) : nullptr;
    if (frame_id) Report(*frame_id, url, true);
    return;
  }
  if (g_unloading_frame) {
    Report(g_unloading_frame, url, false);
    g_unloading_frame = 0;
    return;
  }
  first_loads_.push_back(url);
  if (!resolve_source_)
    resolve_source_ = g_idle_add_full(G_PRIORITY_HIGH, ResolveFirstLoads, this, nullptr);
}

gboolean FrameReports::ResolveFirstLoads(gpointer data) {
  auto* self = static_cast<FrameReports*>(data);
  self->resolve_source_ = 0;
  std::vector<std::string> urls;
  urls.swap(self->first_loads_);
  for (const std::string& url : urls) {
    int64_t frame_id = self->FrameWithSource(url);
    if (frame_id) self->Report(frame_id, url, false);
  }
  return G_SOURCE_REMOVE;
}

int64_t FrameReports::FrameWithSource(const std::string& url) {
  int64_t fallback = 0;
  // Looking at an element's window may make that frame's first context (and so change the
  // frame table): walk a copy.
  for (const CefRefPtr<RenderFrame>& frame : browser_->LiveFrames()) {
    CefRefPtr<V8ContextImpl> context = frame->context();
    if (!context) continue;
    JSContextRef ctx = context->js();
    JSValueRef finder = context->Evaluate(kFramesWithSource, CefString(), 1, nullptr);
    if (!finder || !JSValueIsObject(ctx, finder)) continue;
    JSValueRef arg = MakeJSString(ctx, CefString(url));
    JSValueRef found = JSObjectCallAsFunction(ctx, JSValueToObject(ctx, finder, nullptr),
                                              nullptr, 1, &arg, nullptr);
    if (!found || !JSValueIsObject(ctx, found)) continue;
    JSObjectRef list = JSValueToObject(ctx, found, nullptr);
    for (unsigned i = 0;; ++i) {
      JSValueRef window = JSObjectGetPropertyAtIndex(ctx, list, i, nullptr);
      if (!window || !JSValueIsObject(ctx, window)) break;
      CefRefPtr<RenderFrame> candidate = browser_->FrameOfWindow(ctx, window);
      if (!candidate) continue;
      // A frame that shows that URL already is not the one loading it.
      if (candidate->GetURL().ToString() != url) return candidate->GetIdentifier();
      if (!fallback) fallback = candidate->GetIdentifier();
    }
  }
  return fallback;
}

void FrameReports::Report(int64_t frame_id, const std::string& url, bool redirect) {
  navigating_.Put(url, frame_id);
  browser_->SendProcessMessage(frame_id, msg::Encode(msg::FrameNavigating{url, redirect}));
}

}  // namespace qvex_engine
