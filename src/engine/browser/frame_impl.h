// FrameImpl: one frame of a UI-process browser: the main frame (the web view's own document) or
// a sub-frame that the web process reported. What it knows of itself is kept here under a lock
// so that any thread may read it (a close task asks for the URL while the UI thread waits).
#ifndef QVEX_ENGINE_BROWSER_FRAME_IMPL_H_
#define QVEX_ENGINE_BROWSER_FRAME_IMPL_H_

#include <glib.h>

#include <mutex>
#include <string>

#include "include/cef_frame.h"
#include "include/cef_v8.h"

namespace qvex_engine {

class BrowserImpl;

class FrameImpl : public CefFrame {
 public:
  // The main frame's identifier is the browser's; a sub-frame's is the web process's.
  FrameImpl(BrowserImpl* browser, int64_t id, bool is_main);

  // UI thread: the frame is gone (its browser closed, or the sub-frame left its page); the
  // object stays, inert.
  void Detach();
  // UI thread: what the frame now shows.
  void SetURL(const std::string& url);
  void SetName(const std::string& name);
  void SetParentId(int64_t parent_id);

  bool IsValid() override;
  bool IsMain() override { return is_main_; }
  bool IsFocused() override { return is_main_; }
  CefString GetName() override;
  int64_t GetIdentifier() override { return id_; }
  CefString GetURL() override;
  CefRefPtr<CefFrame> GetParent() override;
  CefRefPtr<CefBrowser> GetBrowser() override;
  // Any thread. A sub-frame navigates itself, as a page's own location change would.
  void LoadURL(const CefString& url) override;
  // Any thread. Errors are reported against `script_url`; WebKit takes no start line.
  void ExecuteJavaScript(const CefString& code, const CefString& script_url,
                         int start_line) override;
  // Editing commands act on the web view's focused element, whichever frame holds it.
  void Undo() override;
  void Redo() override;
  void Cut() override;
  void Copy() override;
  void Paste() override;
  void SelectAll() override;
  CefRefPtr<CefV8Context> GetV8Context() override { return nullptr; }
  // Any thread: to this frame in the page's web process.
  void SendProcessMessage(CefProcessId target_process,
                          CefRefPtr<CefProcessMessage> message) override;
  // UI thread: the same with the message already in its bytes, written for this frame's
  // identifier; takes `parameters`.
  void SendFrameMessage(const std::string& name, GVariant* parameters);

 private:
  CefRefPtr<BrowserImpl> browser() const;
  void EditingCommand(const char* command);

  mutable std::mutex mutex_;
  CefRefPtr<BrowserImpl> browser_;  // Until Detach (the browser holds the frame too).
  std::string url_;
  std::string name_;
  int64_t parent_id_ = 0;
  const int64_t id_;
  const bool is_main_;

  IMPLEMENT_REFCOUNTING(FrameImpl);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_FRAME_IMPL_H_
