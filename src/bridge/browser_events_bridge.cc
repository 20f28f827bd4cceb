// The page-script bridge members of BrowserEvents: the extension "v8/app", "projectPath",
// the start-up script of each main-frame load, and the dispatch of native calls.
#include "app/browser_events.h"
#include "app/project_file.h"
#include "bridge/native_names.h"
#include "bridge/qvexext.h"
#include "include/qvex_clipboard.h"
#include "include/wrapper/cef_helpers.h"
#include "util/FileIo.h"

void BrowserEvents::onPageWebKitInit() {
  CEF_REQUIRE_RENDERER_THREAD();
  if (GetProjectType() != ProjectFile::kBackendType) return;
  std::string code = FileIo::ReadAllBytes(GetProjectPath() + ProjectFile::kExtensionScript);
  CefRefPtr<QvexExt> handler(new QvexExt());
  CefRegisterExtension("v8/app", code, handler);
}

void BrowserEvents::onPageJSInit(const CefRefPtr<CefBrowser>& browser,
                                 const CefRefPtr<CefFrame>& frame,
                                 const CefRefPtr<CefV8Context>& context) {
  CEF_REQUIRE_RENDERER_THREAD();
  CefRefPtr<CefV8Value> global = context->GetGlobal();
  global->SetValue("projectPath", CefV8Value::CreateString(GetProjectPath()),
                   V8_PROPERTY_ATTRIBUTE_NONE);
}

void BrowserEvents::onLoadStart(const CefRefPtr<CefBrowser>& browser,
                                const CefRefPtr<CefFrame>& frame,
                                cef_transition_type_t transition_type) {
  CEF_REQUIRE_UI_THREAD();
  if (!frame->IsMain()) return;
  if (GetProjectType() != ProjectFile::kBackendType) return;
  // Read anew at every load, so an edited file takes effect at the next reload.
  ExecuteJavaScript(browser,
                    FileIo::ReadAllBytes(GetProjectPath() + ProjectFile::kStartupScript));
}

void BrowserEvents::ExecuteJavaScript(const CefRefPtr<CefBrowser>& browser,
                                      const std::string& script) {
  CefRefPtr<CefFrame> frame = browser->GetMainFrame();
  if (frame) frame->ExecuteJavaScript(script, frame->GetURL(), 0);
}

bool BrowserEvents::onJsCall(QvexExt* ext, const CefString& name,
                             const CefRefPtr<CefV8Value>& object,
                             const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
                             CefString& exception) {
  CEF_REQUIRE_RENDERER_THREAD();
  // The names, built once: every native call of a page goes through here.
  static const CefString kClipboardWriteText(native_names::kClipboardWriteText),
      kPaste(native_names::kPaste), kSendKey(native_names::kSendKey),
      kTriggerApp(native_names::kTriggerApp), kTriggerEvent(native_names::kTriggerEvent);
  auto arg = [&arguments](size_t i) {
    return i < arguments.size() ? arguments[i] : CefRefPtr<CefV8Value>();
  };
  auto is_function = [](const CefRefPtr<CefV8Value>& v) { return v && v->IsFunction(); };

  if (name == kClipboardWriteText) {
    CefRefPtr<CefV8Context> context = CefV8Context::GetCurrentContext();
    CefRefPtr<CefV8Value> text = arg(0);
    if (text && text->IsString()) setTextOnClipboard(Zstring(text->GetStringValue().ToString()));
    if (is_function(arg(1))) postJSFun(callJSFunB, context, arg(1), "");
    return false;
  }
  if (name == kPaste) {
    CefRefPtr<CefV8Context> context = CefV8Context::GetCurrentContext();
    CefRefPtr<CefBrowser> browser = context ? context->GetBrowser() : nullptr;
    CefRefPtr<CefFrame> focused = browser ? browser->GetFocusedFrame() : nullptr;
    if (focused) focused->Paste();
    if (is_function(arg(0))) postJSFun(callJSFunB, context, arg(0), "");
    return false;
  }
  if (name == kSendKey) return false;
  if (name == kTriggerApp) return arguments.size() == 2;
  if (name == kTriggerEvent)
    return arguments.size() == 4 && arguments[0] && arguments[0]->IsString();
  return false;  // "unload" and every other name: no effect.
}

bool BrowserEvents::OnQuery(const CefRefPtr<CefBrowser>& browser,
                            const CefRefPtr<CefFrame>& frame, int64_t query_id,
                            const CefString& request, bool persistent,
                            const CefRefPtr<CefMessageRouterBrowserSide::Callback>& callback) {
  return true;
}

void callJSFunB(CefRefPtr<CefV8Context> context, CefRefPtr<CefV8Value> function,
                std::string text) {
  callJSFun(context, function, text);
}

void setTextOnClipboard(Zstring text) {
  // The UI process owns the selection: the text goes there, with nothing run in the page.
  CefRefPtr<CefV8Context> context = CefV8Context::GetCurrentContext();
  CefRefPtr<CefBrowser> browser = context ? context->GetBrowser() : nullptr;
  qvex_clipboard::SetText(browser, text.str);
}
