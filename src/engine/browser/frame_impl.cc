// FrameImpl: the main frame as the UI process sees it.
#include "browser/frame_impl.h"

#include "browser/browser_impl.h"
#include "include/base/cef_bind.h"
#include "include/cef_task.h"

namespace qvex_engine {

FrameImpl::FrameImpl(BrowserImpl* browser) : browser_(browser), id_(browser->GetIdentifier()) {}

void FrameImpl::Detach() {
  std::lock_guard<std::mutex> lock(mutex_);
  browser_ = nullptr;
}

void FrameImpl::SetURL(const std::string& url) {
  std::lock_guard<std::mutex> lock(mutex_);
  url_ = url;
}

CefRefPtr<BrowserImpl> FrameImpl::browser() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return browser_;
}

bool FrameImpl::IsValid() { return browser() != nullptr; }

int64_t FrameImpl::GetIdentifier() { return id_; }

CefString FrameImpl::GetURL() {
  std::lock_guard<std::mutex> lock(mutex_);
  return url_;
}

CefRefPtr<CefBrowser> FrameImpl::GetBrowser() { return browser().get(); }

void FrameImpl::LoadURL(const CefString& url) {
  if (!CefCurrentlyOn(TID_UI)) {
    CefPostTask(TID_UI, base::Bind(&FrameImpl::LoadURL, this, url));
    return;
  }
  CefRefPtr<BrowserImpl> b = browser();
  if (b && b->web_view()) webkit_web_view_load_uri(b->web_view(), url.ToString().c_str());
}

void FrameImpl::ExecuteJavaScript(const CefString& code, const CefString& script_url,
                                  int start_line) {
  // WebKit takes no start line: errors are reported against `script_url` from line 1.
  CefRefPtr<BrowserImpl> b = browser();
  if (b) b->RequestScript(code.ToString(), script_url.ToString());
}

void FrameImpl::EditingCommand(const char* command) {
  if (!CefCurrentlyOn(TID_UI)) {
    CefPostTask(TID_UI, base::Bind(&FrameImpl::EditingCommand, this, command));
    return;
  }
  CefRefPtr<BrowserImpl> b = browser();
  if (b && b->web_view()) webkit_web_view_execute_editing_command(b->web_view(), command);
}

void FrameImpl::Undo() { EditingCommand(WEBKIT_EDITING_COMMAND_UNDO); }
void FrameImpl::Redo() { EditingCommand(WEBKIT_EDITING_COMMAND_REDO); }
void FrameImpl::Cut() { EditingCommand(WEBKIT_EDITING_COMMAND_CUT); }
void FrameImpl::Copy() { EditingCommand(WEBKIT_EDITING_COMMAND_COPY); }
void FrameImpl::Paste() { EditingCommand(WEBKIT_EDITING_COMMAND_PASTE); }
void FrameImpl::SelectAll() { EditingCommand(WEBKIT_EDITING_COMMAND_SELECT_ALL); }

void FrameImpl::SendProcessMessage(CefProcessId target_process,
                                   CefRefPtr<CefProcessMessage> message) {
  CefRefPtr<BrowserImpl> b = browser();
  if (b && target_process == PID_RENDERER) b->SendProcessMessage(message);
}

}  // namespace qvex_engine
