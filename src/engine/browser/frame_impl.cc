// FrameImpl: a frame as the UI process sees it.
#include "browser/frame_impl.h"

#include "browser/browser_impl.h"
#include "common/engine_messages.h"
#include "include/base/cef_bind.h"
#include "include/cef_task.h"

namespace qvex_engine {

FrameImpl::FrameImpl(BrowserImpl* browser, int64_t id, bool is_main)
    : browser_(browser), id_(id), is_main_(is_main) {}

void FrameImpl::Detach() {
  std::lock_guard<std::mutex> lock(mutex_);
  browser_ = nullptr;
}

void FrameImpl::SetURL(const std::string& url) {
  std::lock_guard<std::mutex> lock(mutex_);
  url_ = url;
}

void FrameImpl::SetName(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  name_ = name;
}

void FrameImpl::SetParentId(int64_t parent_id) {
  std::lock_guard<std::mutex> lock(mutex_);
  parent_id_ = parent_id;
}

CefRefPtr<BrowserImpl> FrameImpl::browser() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return browser_;
}

bool FrameImpl::IsValid() { return browser() != nullptr; }

CefString FrameImpl::GetName() {
  std::lock_guard<std::mutex> lock(mutex_);
  return name_;
}

CefString FrameImpl::GetURL() {
  std::lock_guard<std::mutex> lock(mutex_);
  return url_;
}

CefRefPtr<CefFrame> FrameImpl::GetParent() {
  if (is_main_) return nullptr;
  CefRefPtr<BrowserImpl> b = browser();
  int64_t parent_id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    parent_id = parent_id_;
  }
  return b ? b->GetFrame(parent_id) : nullptr;
}

CefRefPtr<CefBrowser> FrameImpl::GetBrowser() { return browser().get(); }

void FrameImpl::LoadURL(const CefString& url) {
  if (!CefCurrentlyOn(TID_UI)) {
    CefPostTask(TID_UI, base::Bind(&FrameImpl::LoadURL, this, url));
    return;
  }
  CefRefPtr<BrowserImpl> b = browser();
  if (!b || !b->web_view()) return;
  if (is_main_) {
    webkit_web_view_load_uri(b->web_view(), url.ToString().c_str());
    return;
  }
  b->SendProcessMessage(id_, engine_messages::Encode(engine_messages::LoadUrl{url}));
}

void FrameImpl::ExecuteJavaScript(const CefString& code, const CefString& script_url,
                                  int start_line) {
  CefRefPtr<BrowserImpl> b = browser();
  if (!b) return;
  if (is_main_)
    b->RequestScript(code.ToString(), script_url.ToString());
  else
    b->RequestFrameScript(id_, code, script_url, start_line);
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
  if (b && target_process == PID_RENDERER) b->SendProcessMessage(id_, message);
}

void FrameImpl::SendFrameMessage(const std::string& name, GVariant* parameters) {
  if (CefRefPtr<BrowserImpl> b = browser())
    b->SendFrameMessage(name, parameters);
  else
    g_variant_unref(g_variant_ref_sink(parameters));
}

}  // namespace qvex_engine
