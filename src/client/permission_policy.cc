// PermissionPolicy: notifications for the project's own pages, nothing else.
#include "client/permission_policy.h"

#include <arpa/inet.h>

#include <cctype>

#include "include/base/cef_logging.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

// A name ("127.0.0.1.example.org") is not an address: only an IPv4 literal in 127/8 counts.
bool IsLoopbackHost(const std::string& host) {
  if (host == "localhost" || host == "[::1]") return true;
  struct in_addr address;
  return inet_pton(AF_INET, host.c_str(), &address) == 1 &&
         (ntohl(address.s_addr) >> 24) == 127;
}

}  // namespace

PermissionPolicy::PermissionPolicy(const std::string& start_url)
    : start_origin_(OriginOf(start_url)) {}

std::string PermissionPolicy::OriginOf(const std::string& url) {
  const size_t colon = url.find(':');
  if (colon == std::string::npos || colon == 0) return std::string();
  const std::string scheme = Lower(url.substr(0, colon));
  if (scheme == "file") return "file://";
  if (url.compare(colon, 3, "://") != 0) return std::string();
  const size_t start = colon + 3;
  size_t end = url.find_first_of("/?#", start);
  std::string authority = url.substr(start, end == std::string::npos ? end : end - start);
  const size_t at = authority.rfind('@');  // user:password@ is no part of an origin
  if (at != std::string::npos) authority.erase(0, at + 1);
  authority = Lower(authority);
  if (authority.empty()) return std::string();
  const std::string default_port = scheme == "http" ? ":80" : scheme == "https" ? ":443" : "";
  if (!default_port.empty() && authority.size() > default_port.size() &&
      authority.compare(authority.size() - default_port.size(), default_port.size(),
                        default_port) == 0)
    authority.resize(authority.size() - default_port.size());
  return scheme + "://" + authority;
}

bool PermissionPolicy::IsOwnOrigin(const std::string& origin) const {
  if (origin.empty()) return false;
  if (origin == "file://" || origin == start_origin_) return true;
  const size_t start = origin.find("://");
  const std::string scheme = origin.substr(0, start);
  if (start == std::string::npos || (scheme != "http" && scheme != "https")) return false;
  std::string host = origin.substr(start + 3);
  const size_t port = host.rfind(':');
  if (port != std::string::npos && host.find(']', port) == std::string::npos) host.resize(port);
  return IsLoopbackHost(host);
}

std::string PermissionPolicy::Describe(uint32_t permissions) {
  static const struct {
    uint32_t bit;
    const char* name;
  } kNames[] = {
      {CEF_PERMISSION_TYPE_NOTIFICATIONS, "notifications"},
      {CEF_PERMISSION_TYPE_GEOLOCATION, "location"},
      {CEF_PERMISSION_TYPE_CAMERA_STREAM, "camera"},
      {CEF_PERMISSION_TYPE_MIC_STREAM, "microphone"},
      {CEF_PERMISSION_TYPE_SCREEN_CAPTURE, "screen capture"},
      {CEF_PERMISSION_TYPE_CLIPBOARD, "clipboard"},
      {CEF_PERMISSION_TYPE_POINTER_LOCK, "pointer lock"},
      {CEF_PERMISSION_TYPE_TOP_LEVEL_STORAGE_ACCESS, "storage access"},
  };
  std::string text;
  for (const auto& n : kNames) {
    if (permissions & n.bit) text += (text.empty() ? "" : ", ") + std::string(n.name);
  }
  return text.empty() ? "a permission" : text;
}

bool PermissionPolicy::OnShowPermissionPrompt(CefRefPtr<CefBrowser> browser, uint64_t prompt_id,
                                              const CefString& requesting_origin,
                                              uint32_t requested_permissions,
                                              CefRefPtr<CefPermissionPromptCallback> callback) {
  const std::string origin = requesting_origin.ToString();
  const bool granted =
      requested_permissions == CEF_PERMISSION_TYPE_NOTIFICATIONS && IsOwnOrigin(origin);
  if (!granted) {
    LOG(WARNING) << "permission denied: " << Describe(requested_permissions) << " for "
                 << (origin.empty() ? std::string("a page without an origin") : origin);
  }
  callback->Continue(granted ? CEF_PERMISSION_RESULT_ACCEPT : CEF_PERMISSION_RESULT_DENY);
  return true;
}
