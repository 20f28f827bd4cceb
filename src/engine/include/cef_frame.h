// CefFrame: one frame of a browser, in either process. Both processes know every frame; a
// sub-frame has the same identifier in both. Thread: see each method.
#ifndef CEF_INCLUDE_CEF_FRAME_H_
#define CEF_INCLUDE_CEF_FRAME_H_

#include "include/cef_base.h"
#include "include/cef_process_message.h"

class CefBrowser;
class CefV8Context;

class CefFrame : public virtual CefBaseRefCounted {
 public:
  virtual bool IsValid() = 0;
  virtual bool IsMain() = 0;
  virtual bool IsFocused() = 0;
  virtual CefString GetName() = 0;
  virtual int64_t GetIdentifier() = 0;
  virtual CefString GetURL() = 0;
  // The frame that holds this one; null for the main frame (and for a frame that is gone).
  virtual CefRefPtr<CefFrame> GetParent() = 0;
  virtual CefRefPtr<CefBrowser> GetBrowser() = 0;
  virtual void LoadURL(const CefString& url) = 0;
  // Runs the script in the frame's document; any thread. Errors go to the page's console,
  // reported against `script_url` and `start_line`.
  virtual void ExecuteJavaScript(const CefString& code, const CefString& script_url,
                                 int start_line) = 0;
  // Editing commands on the frame's focused element (web process).
  virtual void Undo() = 0;
  virtual void Redo() = 0;
  virtual void Cut() = 0;
  virtual void Copy() = 0;
  virtual void Paste() = 0;
  virtual void SelectAll() = 0;
  // The frame's current script context (web process); null in the UI process.
  virtual CefRefPtr<CefV8Context> GetV8Context() = 0;
  // Sends a message to the other process; any thread.
  virtual void SendProcessMessage(CefProcessId target_process,
                                  CefRefPtr<CefProcessMessage> message) = 0;
};

#endif  // CEF_INCLUDE_CEF_FRAME_H_
