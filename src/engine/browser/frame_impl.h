// FrameImpl: the main frame of a UI-process browser. Its URL is kept here so any thread may
// read it (a close task asks for it while the UI thread waits); scripts go through the browser.
#ifndef QVEX_ENGINE_BROWSER_FRAME_IMPL_H_
#define QVEX_ENGINE_BROWSER_FRAME_IMPL_H_

#include <mutex>
#include <string>

#include "include/cef_frame.h"
#include "include/cef_v8.h"

namespace qvex_engine {

class BrowserImpl;

class FrameImpl : public CefFrame {
 public:
  explicit FrameImpl(BrowserImpl* browser);

  // UI thread: the browser is going away; the frame stays valid as an object, inert.
  void Detach();
  // UI thread: the web view's URL changed.
  void SetURL(const std::string& url);

  bool IsValid() override;
  bool IsMain() override { return true; }
  bool IsFocused() override { return true; }
  CefString GetName() override { return CefString(); }
  int64_t GetIdentifier() override;
  CefString GetURL() override;
  CefRefPtr<CefBrowser> GetBrowser() override;
  void LoadURL(const CefString& url) override;
  void ExecuteJavaScript(const CefString& code, const CefString& script_url,
                         int start_line) override;
  void Undo() override;
  void Redo() override;
  void Cut() override;
  void Copy() override;
  void Paste() override;
  void SelectAll() override;
  CefRefPtr<CefV8Context> GetV8Context() override { return nullptr; }
  void SendProcessMessage(CefProcessId target_process,
                          CefRefPtr<CefProcessMessage> message) override;

 private:
  CefRefPtr<BrowserImpl> browser() const;
  void EditingCommand(const char* command);

  mutable std::mutex mutex_;
  CefRefPtr<BrowserImpl> browser_;  // Until Detach (the browser holds the frame too).
  std::string url_;
  const int64_t id_;

  IMPLEMENT_REFCOUNTING(FrameImpl);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_FRAME_IMPL_H_
