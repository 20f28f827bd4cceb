// Permission requests of pages: notifications, location, camera, microphone and the like.
// UI thread.
#ifndef CEF_INCLUDE_CEF_PERMISSION_HANDLER_H_
#define CEF_INCLUDE_CEF_PERMISSION_HANDLER_H_

#include <cstdint>

#include "include/cef_base.h"
#include "include/cef_browser.h"

// The kinds of permission a prompt asks for (a bit set).
typedef enum {
  CEF_PERMISSION_TYPE_NONE = 0,
  CEF_PERMISSION_TYPE_CAMERA_STREAM = 1 << 3,
  CEF_PERMISSION_TYPE_CLIPBOARD = 1 << 4,
  CEF_PERMISSION_TYPE_TOP_LEVEL_STORAGE_ACCESS = 1 << 5,
  CEF_PERMISSION_TYPE_GEOLOCATION = 1 << 8,
  CEF_PERMISSION_TYPE_MIC_STREAM = 1 << 11,
  CEF_PERMISSION_TYPE_NOTIFICATIONS = 1 << 14,
  CEF_PERMISSION_TYPE_POINTER_LOCK = 1 << 16,
  CEF_PERMISSION_TYPE_SCREEN_CAPTURE = 1 << 17,
  CEF_PERMISSION_TYPE_WEB_APP_INSTALLATION = 1 << 24,
} cef_permission_request_types_t;

typedef enum {
  CEF_PERMISSION_RESULT_ACCEPT,
  CEF_PERMISSION_RESULT_DENY,
  CEF_PERMISSION_RESULT_DISMISS,
  CEF_PERMISSION_RESULT_IGNORE,
} cef_permission_request_result_t;

// Answers one prompt; the first Continue counts. A prompt never answered is denied when the
// callback goes.
class CefPermissionPromptCallback : public virtual CefBaseRefCounted {
 public:
  virtual void Continue(cef_permission_request_result_t result) = 0;
};

class CefPermissionHandler : public virtual CefBaseRefCounted {
 public:
  // A page asks for `requested_permissions` (cef_permission_request_types_t bits) for
  // `requesting_origin` (its main frame's origin, "scheme://host[:port]"; "file://" for files).
  // Return true and answer through `callback` (now or later); false denies. In this port camera,
  // microphone and screen capture arrive here too, as their bits.
  virtual bool OnShowPermissionPrompt(CefRefPtr<CefBrowser> browser, uint64_t prompt_id,
                                      const CefString& requesting_origin,
                                      uint32_t requested_permissions,
                                      CefRefPtr<CefPermissionPromptCallback> callback) {
    return false;
  }
  // The prompt ended (answered, or its page went) with `result`.
  virtual void OnDismissPermissionPrompt(CefRefPtr<CefBrowser> browser, uint64_t prompt_id,
                                         cef_permission_request_result_t result) {}
};

#endif  // CEF_INCLUDE_CEF_PERMISSION_HANDLER_H_
