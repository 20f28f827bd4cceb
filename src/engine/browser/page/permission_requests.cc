// Permission requests: WebKit's request objects as CEF's permission prompts.
#include "browser/page/permission_requests.h"

#include <webkit2/webkit2.h>

#include "browser/browser_impl.h"
#include "browser/desktop/notifications.h"
#include "common/guarded.h"
#include "common/scoped_gobject.h"
#include "include/cef_permission_handler.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

uint64_t g_next_prompt_id = 1;

uint32_t PermissionTypes(WebKitPermissionRequest* request) {
  if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request)) return CEF_PERMISSION_TYPE_NOTIFICATIONS;
  if (WEBKIT_IS_GEOLOCATION_PERMISSION_REQUEST(request)) return CEF_PERMISSION_TYPE_GEOLOCATION;
  if (WEBKIT_IS_POINTER_LOCK_PERMISSION_REQUEST(request)) return CEF_PERMISSION_TYPE_POINTER_LOCK;
  if (WEBKIT_IS_WEBSITE_DATA_ACCESS_PERMISSION_REQUEST(request))
    return CEF_PERMISSION_TYPE_TOP_LEVEL_STORAGE_ACCESS;
  if (WEBKIT_IS_CLIPBOARD_PERMISSION_REQUEST(request)) return CEF_PERMISSION_TYPE_CLIPBOARD;
  if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) {
    auto* media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request);
    if (webkit_user_media_permission_is_for_display_device(media))
      return CEF_PERMISSION_TYPE_SCREEN_CAPTURE;
    uint32_t types = 0;
    if (webkit_user_media_permission_is_for_audio_device(media))
      types |= CEF_PERMISSION_TYPE_MIC_STREAM;
    if (webkit_user_media_permission_is_for_video_device(media))
      types |= CEF_PERMISSION_TYPE_CAMERA_STREAM;
    return types;
  }
  // Listing media devices asks for what they would show.
  if (WEBKIT_IS_DEVICE_INFO_PERMISSION_REQUEST(request))
    return CEF_PERMISSION_TYPE_CAMERA_STREAM | CEF_PERMISSION_TYPE_MIC_STREAM;
  return CEF_PERMISSION_TYPE_NONE;
}

// One prompt: allows or denies WebKit's request once; a prompt dropped unanswered denies.
class PromptCallback : public CefPermissionPromptCallback {
 public:
  PromptCallback(CefRefPtr<BrowserImpl> browser, uint64_t id, WebKitPermissionRequest* request,
                 const std::string& origin)
      : browser_(browser),
        id_(id),
        request_(ScopedGObject<WebKitPermissionRequest>::Ref(request)),
        origin_(origin) {}
  ~PromptCallback() override { Finish(CEF_PERMISSION_RESULT_IGNORE); }

  void Continue(cef_permission_request_result_t result) override {
    if (!CefCurrentlyOn(TID_UI)) {
      CefRefPtr<PromptCallback> self(this);
      CefPostTask(TID_UI, base::RepeatingClosure([self, result] { self->Continue(result); }));
      return;
    }
    Finish(result);
  }

 private:
  void Finish(cef_permission_request_result_t result) {
    if (!request_) return;
    ScopedGObject<WebKitPermissionRequest> request = std::move(request_);
    if (result == CEF_PERMISSION_RESULT_ACCEPT) {
      if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request.get()))
        NoteNotificationsAccepted(origin_);
      webkit_permission_request_allow(request.get());
    } else {
      webkit_permission_request_deny(request.get());
    }
    CefRefPtr<CefClient> client = browser_->GetClient();
    CefRefPtr<CefPermissionHandler> handler = client ? client->GetPermissionHandler() : nullptr;
    if (handler) {
      Guarded("OnDismissPermissionPrompt",
              [&] { handler->OnDismissPermissionPrompt(browser_.get(), id_, result); });
    }
  }

  CefRefPtr<BrowserImpl> browser_;
  uint64_t id_;
  ScopedGObject<WebKitPermissionRequest> request_;
  std::string origin_;

  IMPLEMENT_REFCOUNTING(PromptCallback);
};

gboolean OnPermissionRequest(WebKitWebView* web_view, WebKitPermissionRequest* request,
                             BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  CefRefPtr<BrowserImpl> keep(browser);
  CefRefPtr<CefClient> client = browser->GetClient();
  CefRefPtr<CefPermissionHandler> handler = client ? client->GetPermissionHandler() : nullptr;
  const uint32_t types = PermissionTypes(request);
  if (!handler || types == CEF_PERMISSION_TYPE_NONE) {
    webkit_permission_request_deny(request);
    return TRUE;
  }
  const uint64_t id = g_next_prompt_id++;
  const std::string origin = OriginOf(webkit_web_view_get_uri(web_view));
  CefRefPtr<PromptCallback> callback = new PromptCallback(browser, id, request, origin);
  const bool taken = GuardedOr("OnShowPermissionPrompt", false, [&] {
    return handler->OnShowPermissionPrompt(browser, id, origin, types, callback.get());
  });
  if (!taken) callback->Continue(CEF_PERMISSION_RESULT_DENY);
  return TRUE;  // Answered here or later: WebKit's own default (deny) is not wanted.
}

}  // namespace

std::string OriginOf(const char* uri) {
  if (!uri || !*uri) return std::string();
  if (g_str_has_prefix(uri, "file:")) return "file://";
  WebKitSecurityOrigin* origin = webkit_security_origin_new_for_uri(uri);
  if (!origin) return std::string();
  gchar* text = webkit_security_origin_to_string(origin);
  std::string result = text ? text : "";
  g_free(text);
  webkit_security_origin_unref(origin);
  return result;
}

void AttachPermissionRequests(BrowserImpl* browser) {
  g_signal_connect(browser->web_view(), "permission-request", G_CALLBACK(OnPermissionRequest),
                   browser);
}

}  // namespace qvex_engine
