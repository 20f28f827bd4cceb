// RenderBrowser: one page of the web process (a WebKitWebPage) as CefBrowser, with the frames
// of that page. Renderer thread, except where a method says any thread.
#ifndef QVEX_ENGINE_RENDERER_RENDER_BROWSER_H_
#define QVEX_ENGINE_RENDERER_RENDER_BROWSER_H_

#include <webkit2/webkit-web-extension.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "include/cef_browser.h"
#include "renderer/render_frame.h"

namespace qvex_engine {

class FrameReports;

class RenderBrowser : public CefBrowser {
 public:
  explicit RenderBrowser(WebKitWebPage* page);

  WebKitWebPage* page() const { return page_; }
  // The frame object of a WebKitFrame of this page, made on first use; `finalized` is told
  // (with the RenderFrame as data) when WebKit lets go of the WebKitFrame.
  CefRefPtr<RenderFrame> FrameFor(WebKitFrame* frame);
  // The frame went away (from the `finalized` notification).
  void RemoveFrame(RenderFrame* frame);
  // The page went away: returns its frames, which the browser no longer holds or watches.
  std::vector<CefRefPtr<RenderFrame>> Detach();

  // Where FrameFor reports finalized frames.
  static void SetFrameFinalizedNotify(GWeakNotify notify);

  // Any thread: sends the message to the UI process, from (or about) the frame `frame_id`.
  void SendProcessMessage(int64_t frame_id, CefRefPtr<CefProcessMessage> message);
  // Renderer thread: the same with the message already in its bytes (FrameMessageToVariant's
  // form); takes `parameters`.
  void SendFrameMessage(const std::string& name, GVariant* parameters);

  // The frame with that identifier (the page's own is the main frame's), or null.
  CefRefPtr<RenderFrame> FrameById(int64_t id);
  // The frame of this page whose window is `window` (a value of `ctx`), or null.
  CefRefPtr<RenderFrame> FrameOfWindow(JSContextRef ctx, JSValueRef window);
  // The frames of this page, main frame first; those that have a context.
  std::vector<CefRefPtr<RenderFrame>> Frames();
  std::vector<CefRefPtr<RenderFrame>> LiveFrames();
  // What the UI process hears of this page's sub-frames.
  FrameReports* reports() const { return reports_.get(); }

  // CefBrowser. Navigation runs as script in the main frame; the web process does not know the
  // back-forward list, so CanGoBack and CanGoForward answer false.
  CefRefPtr<CefBrowserHost> GetHost() override { return nullptr; }
  bool CanGoBack() override { return false; }
  void GoBack() override { RunInMainFrame("history.back()"); }
  bool CanGoForward() override { return false; }
  void GoForward() override { RunInMainFrame("history.forward()"); }
  bool IsLoading() override;
  void Reload() override { RunInMainFrame("location.reload()"); }
  void StopLoad() override { RunInMainFrame("window.stop()"); }
  int GetIdentifier() override { return id_; }
  bool IsSame(CefRefPtr<CefBrowser> that) override { return that.get() == this; }
  bool IsPopup() override;
  CefRefPtr<CefFrame> GetMainFrame() override;
  // The innermost frame that holds the focus (following each document's active element into
  // its frame), else the main frame.
  CefRefPtr<CefFrame> GetFocusedFrame() override;
  CefRefPtr<CefFrame> GetFrame(int64_t identifier) override;
  CefRefPtr<CefFrame> GetFrame(const CefString& name) override;
  size_t GetFrameCount() override;
  void GetFrameIdentifiers(std::vector<int64_t>& identifiers) override;
  void GetFrameNames(std::vector<CefString>& names) override;

 private:
  ~RenderBrowser() override;
  CefRefPtr<RenderFrame> MainFrame();
  // Evaluates `code` in the main frame's context; true when it gave a true value.
  bool RunInMainFrame(const char* code);

  WebKitWebPage* page_;  // Not owned; cleared by Detach.
  const int id_;
  std::map<WebKitFrame*, CefRefPtr<RenderFrame>> frames_;  // Live frames only.
  std::unique_ptr<FrameReports> reports_;

  IMPLEMENT_REFCOUNTING(RenderBrowser);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_RENDERER_RENDER_BROWSER_H_
