// QvexExt: the native-function handler behind the script extension "v8/app". It answers
// "registerCallBack" itself and passes every other native call to be.onJsCall; texts reach
// page functions only through tasks posted to the renderer thread. Renderer thread only.
#ifndef QVEXDESK_BRIDGE_QVEXEXT_H_
#define QVEXDESK_BRIDGE_QVEXEXT_H_

#include <string>

#include "include/cef_v8.h"

class QvexExt : public CefV8Handler {
 public:
  QvexExt();
  ~QvexExt() override;

  bool Execute(const CefString& name, CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
               CefString& exception) override;

  // Deliver `text` to the registered result / error function; dropped before the first
  // registration.
  void sendToJs(std::string text);
  void sendErrJs(std::string text);

  // The registration number handed out last ("11" for the first in a renderer process).
  static int32_t count;

 private:
  CefRefPtr<CefV8Value> jsCallback;
  CefRefPtr<CefV8Value> jsErrCallback;
  CefRefPtr<CefV8Context> jsContext;
  std::string callbackId;

  IMPLEMENT_REFCOUNTING(QvexExt);
};

// Calls `function` in `context` with `text` as its one argument, `this` being the context's
// global object. The body of every posted delivery; renderer thread only. A context that has
// been released runs nothing.
void callJSFun(CefRefPtr<CefV8Context> context, CefRefPtr<CefV8Value> function,
               std::string text);

// Posts a delivery of `text` to `function` in `context`.
void postJSFun(void (*deliver)(CefRefPtr<CefV8Context>, CefRefPtr<CefV8Value>, std::string),
               CefRefPtr<CefV8Context> context, CefRefPtr<CefV8Value> function,
               const std::string& text);

#endif  // QVEXDESK_BRIDGE_QVEXEXT_H_
