// RenderFrame: one frame of a page as the web process sees it (a WebKitFrame), as CefFrame.
// The main frame's identifier is the page's (the browser's in the UI process), a sub-frame's
// WebKit's, so that a frame has the same identifier in both processes. Renderer thread, except
// where a method says any thread.
#ifndef QVEX_ENGINE_RENDERER_RENDER_FRAME_H_
#define QVEX_ENGINE_RENDERER_RENDER_FRAME_H_

#include <webkit2/webkit-web-extension.h>

#include <string>

#include "include/cef_frame.h"
#include "renderer/v8_context_impl.h"

namespace qvex_engine {

class RenderBrowser;

class RenderFrame : public CefFrame {
 public:
  RenderFrame(WebKitFrame* frame, CefRefPtr<RenderBrowser> browser);

  WebKitFrame* web_frame() const { return frame_; }
  // The frame's live context, or null before its first document's context exists.
  CefRefPtr<V8ContextImpl> context() const { return context_; }
  void set_context(CefRefPtr<V8ContextImpl> context) { context_ = context; }
  // The WebKitFrame went away: the frame is no longer valid and has no context.
  void Detach();

  // CefFrame
  bool IsValid() override { return frame_ != nullptr; }
  bool IsMain() override { return is_main_; }
  bool IsFocused() override;
  CefString GetName() override;
  int64_t GetIdentifier() override { return id_; }
  CefString GetURL() override;
  // The frame whose window is this frame's `parent`; null for the main frame.
  CefRefPtr<CefFrame> GetParent() override;
  CefRefPtr<CefBrowser> GetBrowser() override;
  void LoadURL(const CefString& url) override;
  void ExecuteJavaScript(const CefString& code, const CefString& script_url,
                         int start_line) override;  // Any thread.
  void Undo() override { EditingCommand("undo"); }
  void Redo() override { EditingCommand("redo"); }
  void Cut() override { EditingCommand("cut"); }
  void Copy() override { EditingCommand("copy"); }
  // Pastes into the frame's focused element, as the frame's editor does (the page's script is
  // not involved); needs "javascript-can-access-clipboard" on.
  void Paste() override { EditingCommand("paste"); }
  void SelectAll() override { EditingCommand("selectAll"); }
  CefRefPtr<CefV8Context> GetV8Context() override;
  void SendProcessMessage(CefProcessId target_process,
                          CefRefPtr<CefProcessMessage> message) override;  // Any thread.
  // Renderer thread: to the UI process with the message already in its bytes, written for
  // this frame's identifier; takes `parameters`.
  void SendFrameMessage(const std::string& name, GVariant* parameters);

 private:
  // Calls the function that `source` evaluates to with `argument`, in the frame's context.
  void CallWithString(const char* source, const CefString& argument);
  void EditingCommand(const char* command);

  WebKitFrame* frame_;  // Not owned; cleared by Detach.
  const CefRefPtr<RenderBrowser> browser_;
  const int64_t id_;
  const bool is_main_;
  CefRefPtr<V8ContextImpl> context_;

  IMPLEMENT_REFCOUNTING(RenderFrame);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_RENDERER_RENDER_FRAME_H_
