// PermissionPolicy: what pages may ask for. The project's own pages (the start URL's origin,
// loopback servers and files) may show notifications; everything else (other origins'
// notifications, location, camera, microphone and the like) is denied, with one log line
// naming the origin. UI thread.
#ifndef QVEXDESK_CLIENT_PERMISSION_POLICY_H_
#define QVEXDESK_CLIENT_PERMISSION_POLICY_H_

#include <string>

#include "include/cef_permission_handler.h"

class PermissionPolicy : public CefPermissionHandler {
 public:
  explicit PermissionPolicy(const std::string& start_url);

  bool OnShowPermissionPrompt(CefRefPtr<CefBrowser> browser, uint64_t prompt_id,
                              const CefString& requesting_origin, uint32_t requested_permissions,
                              CefRefPtr<CefPermissionPromptCallback> callback) override;

  // "scheme://host[:port]" of an absolute URL, lower case, without the scheme's default port;
  // "file://" for a file URL; empty when it has no host.
  static std::string OriginOf(const std::string& url);
  // True for the project's own pages: the start URL's origin, loopback and files.
  bool IsOwnOrigin(const std::string& origin) const;
  // The request's kinds as words: "location, camera".
  static std::string Describe(uint32_t permissions);

 private:
  std::string start_origin_;

  IMPLEMENT_REFCOUNTING(PermissionPolicy);
};

#endif  // QVEXDESK_CLIENT_PERMISSION_POLICY_H_
