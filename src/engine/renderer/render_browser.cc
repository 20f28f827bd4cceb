// RenderBrowser: the page, its frames and its messages to the UI process.
#include "renderer/render_browser.h"

#include <algorithm>

#include "common/process_message_impl.h"
#include "renderer/frame_reports.h"
#include "include/base/cef_bind.h"
#include "include/cef_task.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

// The window of the frame that holds the focus inside this document, or null.
constexpr char kFocusedChildWindow[] =
    "(function () { var e = document.activeElement;"
    " return e && e.contentWindow ? e.contentWindow : null; })()";

// Frames nest no deeper than this in practice; it bounds the walk.
constexpr int kMaxFrameDepth = 64;

GWeakNotify g_frame_finalized = nullptr;

}  // namespace

RenderBrowser::RenderBrowser(WebKitWebPage* page)
    : page_(page),
      id_(static_cast<int>(webkit_web_page_get_id(page))),
      reports_(std::make_unique<FrameReports>(this)) {}

RenderBrowser::~RenderBrowser() = default;

void RenderBrowser::SetFrameFinalizedNotify(GWeakNotify notify) { g_frame_finalized = notify; }

CefRefPtr<RenderFrame> RenderBrowser::FrameFor(WebKitFrame* frame) {
  if (!frame || !page_) return nullptr;
  auto it = frames_.find(frame);
  if (it != frames_.end()) return it->second;
  // Keyed by address: the entry goes when the object is finalized, before the address can
  // be reused.
  CefRefPtr<RenderFrame> created = new RenderFrame(frame, this);
  frames_[frame] = created;
  if (g_frame_finalized) g_object_weak_ref(G_OBJECT(frame), g_frame_finalized, created.get());
  return created;
}

void RenderBrowser::RemoveFrame(RenderFrame* frame) {
  for (auto it = frames_.begin(); it != frames_.end(); ++it) {
    if (it->second.get() == frame) {
      frames_.erase(it);
      return;
    }
  }
}

std::vector<CefRefPtr<RenderFrame>> RenderBrowser::Detach() {
  std::vector<CefRefPtr<RenderFrame>> frames;
  for (auto& entry : frames_) {
    if (g_frame_finalized)
      g_object_weak_unref(G_OBJECT(entry.first), g_frame_finalized, entry.second.get());
    frames.push_back(entry.second);
  }
  frames_.clear();
  page_ = nullptr;
  return frames;
}

void RenderBrowser::SendProcessMessage(int64_t frame_id, CefRefPtr<CefProcessMessage> message) {
  if (!CefCurrentlyOn(TID_RENDERER)) {
    CefPostTask(TID_RENDERER,
                base::Bind(&RenderBrowser::SendProcessMessage, this, frame_id, message));
    return;
  }
  if (!message) return;
  SendFrameMessage(message->GetName().ToString(),
                   FrameMessageToVariant(frame_id, message->GetArgumentList()));
}

void RenderBrowser::SendFrameMessage(const std::string& name, GVariant* parameters) {
  CEF_REQUIRE_RENDERER_THREAD();
  if (!page_) {
    g_variant_unref(g_variant_ref_sink(parameters));
    return;
  }
  webkit_web_page_send_message_to_view(
      page_, webkit_user_message_new(name.c_str(), parameters), nullptr, nullptr, nullptr);
}

bool RenderBrowser::IsLoading() { return RunInMainFrame("document.readyState !== 'complete'"); }

bool RenderBrowser::IsPopup() { return RunInMainFrame("window.opener !== null"); }

CefRefPtr<CefFrame> RenderBrowser::GetMainFrame() { return MainFrame().get(); }

CefRefPtr<RenderFrame> RenderBrowser::MainFrame() {
  if (!page_) return nullptr;
  // Deprecated with the DOM API, yet the only way from a page to its main frame.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  WebKitFrame* main = webkit_web_page_get_main_frame(page_);
  G_GNUC_END_IGNORE_DEPRECATIONS
  return FrameFor(main);
}

CefRefPtr<CefFrame> RenderBrowser::GetFocusedFrame() {
  CEF_REQUIRE_RENDERER_THREAD();
  CefRefPtr<RenderFrame> current = MainFrame();
  for (int depth = 0; current && depth < kMaxFrameDepth; ++depth) {
    CefRefPtr<V8ContextImpl> context = current->context();
    if (!context) break;
    JSValueRef window = context->Evaluate(kFocusedChildWindow, CefString(), 1, nullptr);
    CefRefPtr<RenderFrame> child = window ? FrameOfWindow(context->js(), window) : nullptr;
    if (!child) break;
    current = child;
  }
  return current.get();
}

CefRefPtr<RenderFrame> RenderBrowser::FrameOfWindow(JSContextRef ctx, JSValueRef window) {
  CEF_REQUIRE_RENDERER_THREAD();
  if (!JSValueIsObject(ctx, window)) return nullptr;
  for (auto& entry : frames_) {
    CefRefPtr<V8ContextImpl> c = entry.second->context();
    if (c && JSValueIsStrictEqual(ctx, window, JSContextGetGlobalObject(c->js())))
      return entry.second;
  }
  return nullptr;
}

CefRefPtr<RenderFrame> RenderBrowser::FrameById(int64_t id) {
  if (id == id_) return MainFrame();
  for (auto& entry : frames_) {
    if (entry.second->GetIdentifier() == id) return entry.second;
  }
  return nullptr;
}

std::vector<CefRefPtr<RenderFrame>> RenderBrowser::Frames() {
  std::vector<CefRefPtr<RenderFrame>> frames;
  CefRefPtr<RenderFrame> main = MainFrame();
  if (main) frames.push_back(main);
  for (auto& entry : frames_) {
    if (entry.second != main) frames.push_back(entry.second);
  }
  return frames;
}

std::vector<CefRefPtr<RenderFrame>> RenderBrowser::LiveFrames() {
  std::vector<CefRefPtr<RenderFrame>> frames = Frames();
  frames.erase(std::remove_if(frames.begin(), frames.end(),
                              [](const CefRefPtr<RenderFrame>& f) { return !f->context(); }),
               frames.end());
  return frames;
}

CefRefPtr<CefFrame> RenderBrowser::GetFrame(int64_t identifier) {
  return FrameById(identifier).get();
}

CefRefPtr<CefFrame> RenderBrowser::GetFrame(const CefString& name) {
  CEF_REQUIRE_RENDERER_THREAD();
  for (const CefRefPtr<RenderFrame>& frame : Frames()) {
    if (frame->GetName() == name) return frame.get();
  }
  return nullptr;
}

size_t RenderBrowser::GetFrameCount() { return Frames().size(); }

void RenderBrowser::GetFrameIdentifiers(std::vector<int64_t>& identifiers) {
  identifiers.clear();
  for (const CefRefPtr<RenderFrame>& frame : Frames()) identifiers.push_back(frame->GetIdentifier());
}

void RenderBrowser::GetFrameNames(std::vector<CefString>& names) {
  CEF_REQUIRE_RENDERER_THREAD();
  names.clear();
  for (const CefRefPtr<RenderFrame>& frame : Frames()) names.push_back(frame->GetName());
}

bool RenderBrowser::RunInMainFrame(const char* code) {
  CEF_REQUIRE_RENDERER_THREAD();
  CefRefPtr<RenderFrame> main = MainFrame();
  CefRefPtr<V8ContextImpl> context = main ? main->context() : nullptr;
  if (!context) return false;
  JSValueRef result = context->Evaluate(code, CefString(), 1, nullptr);
  return result && JSValueToBoolean(context->js(), result);
}

}  // namespace qvex_engine
