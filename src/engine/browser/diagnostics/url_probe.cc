// ProbeUrl: one request to a front end's URL with libsoup (which WebKitGTK itself uses), so
// `--check` can say whether the server answers before a window shows an error page. The
// caller's thread blocks; a watchdog thread cancels the request at the time limit.
#include <libsoup/soup.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "include/qvex_diagnostics.h"

namespace qvex_diagnostics {

namespace {

// The shell ignores certificate errors (its default settings): so does the probe.
gboolean OnAcceptCertificate(SoupMessage*, GTlsCertificate*, GTlsCertificateFlags, gpointer) {
  return TRUE;
}

// Cancels `cancellable` after `timeout_ms` unless Stop() comes first. Connecting, name
// resolution and the wait for the response head all count.
class Watchdog {
 public:
  Watchdog(GCancellable* cancellable, int timeout_ms)
      : thread_([this, cancellable, timeout_ms] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!wake_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                              [this] { return stopped_; })) {
            g_cancellable_cancel(cancellable);  // Thread-safe by GIO's contract.
          }
        }) {}
  ~Watchdog() { Stop(); }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopped_ = false;
  std::thread thread_;
};

}  // namespace

UrlDiagnosis ProbeUrl(const std::string& url, int timeout_ms) {
  UrlDiagnosis d;
  g_autoptr(GUri) uri = g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr);
  if (!uri) return d;  // kNotAbsolute: GLib takes only absolute URIs.
  d.scheme = g_uri_get_scheme(uri);
  const char* host = g_uri_get_host(uri);
  const bool http = g_ascii_strcasecmp(d.scheme.c_str(), "http") == 0 ||
                    g_ascii_strcasecmp(d.scheme.c_str(), "https") == 0;
  if (!http) {
    d.outcome = UrlDiagnosis::kNotHttp;
    return d;
  }
  if (!host || !*host) return d;  // "http:/index.html" has a scheme and no host.

  g_autoptr(SoupSession) session = soup_session_new();
  g_autoptr(SoupMessage) message = soup_message_new_from_uri("GET", uri);
  soup_message_add_flags(message, SOUP_MESSAGE_NO_REDIRECT);
  g_signal_connect(message, "accept-certificate", G_CALLBACK(OnAcceptCertificate), nullptr);
  g_autoptr(GCancellable) cancellable = g_cancellable_new();
  g_autoptr(GError) error = nullptr;
  g_autoptr(GInputStream) body = nullptr;
  {
    Watchdog watchdog(cancellable, timeout_ms);
    // Only the response's head is needed: the body is not read.
    body = soup_session_send(session, message, cancellable, &error);
  }
  if (!body) {
    d.outcome = UrlDiagnosis::kFailed;
    d.error = g_cancellable_is_cancelled(cancellable)
                  ? "no answer within " + std::to_string(timeout_ms) + " ms"
                  : std::string(error ? error->message : "unknown error");
    return d;
  }
  d.outcome = UrlDiagnosis::kAnswered;
  d.status = static_cast<int>(soup_message_get_status(message));
  const char* reason = soup_message_get_reason_phrase(message);
  d.reason = reason ? reason : "";
  const char* location =
      soup_message_headers_get_one(soup_message_get_response_headers(message), "Location");
  d.location = location ? location : "";
  g_input_stream_close(body, nullptr, nullptr);
  return d;
}

}  // namespace qvex_diagnostics
