// ProbeUrl: one request to a front end's URL with libsoup (which WebKitGTK itself uses), so
// `--check` can say whether the server answers before a window shows an error page (the
// caller's thread blocks; a watchdog thread cancels the request at the time limit), and the
// shell can wait for its backend (ProbeUrlAsync: the caller's main context runs it and its
// callback).
#include <libsoup/soup.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
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

namespace {

// The checks before any request: false when `d` is already the whole answer.
bool Requestable(const std::string& url, UrlDiagnosis* d, GUri** uri_out) {
  GUri* uri = g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr);
  if (!uri) return false;  // kNotAbsolute: GLib takes only absolute URIs.
  d->scheme = g_uri_get_scheme(uri);
  const char* host = g_uri_get_host(uri);
  const bool http = g_ascii_strcasecmp(d->scheme.c_str(), "http") == 0 ||
                    g_ascii_strcasecmp(d->scheme.c_str(), "https") == 0;
  if (!http) d->outcome = UrlDiagnosis::kNotHttp;
  // "http:/index.html" has a scheme and no host.
  if (!http || !host || !*host) {
    g_uri_unref(uri);
    return false;
  }
  *uri_out = uri;
  return true;
}

SoupMessage* NewProbeMessage(GUri* uri) {
  SoupMessage* message = soup_message_new_from_uri("GET", uri);
  soup_message_add_flags(message, SOUP_MESSAGE_NO_REDIRECT);
  g_signal_connect(message, "accept-certificate", G_CALLBACK(OnAcceptCertificate), nullptr);
  return message;
}

// What the request came to. Only the response's head is read, never the body.
void Conclude(SoupMessage* message, bool answered, const GError* error, bool timed_out,
              int timeout_ms, UrlDiagnosis* d) {
  if (!answered) {
    d->outcome = UrlDiagnosis::kFailed;
    d->error = timed_out ? "no answer within " + std::to_string(timeout_ms) + " ms"
                         : std::string(error ? error->message : "unknown error");
    return;
  }
  d->outcome = UrlDiagnosis::kAnswered;
  d->status = static_cast<int>(soup_message_get_status(message));
  const char* reason = soup_message_get_reason_phrase(message);
  d->reason = reason ? reason : "";
  const char* location =
      soup_message_headers_get_one(soup_message_get_response_headers(message), "Location");
  d->location = location ? location : "";
}

// One request of ProbeUrlAsync, from its start to its callback.
struct AsyncProbe {
  SoupSession* session = nullptr;
  SoupMessage* message = nullptr;
  GCancellable* cancellable = nullptr;
  GSource* timer = nullptr;
  int timeout_ms = 0;
  bool timed_out = false;
  UrlDiagnosis diagnosis;
  std::function<void(const UrlDiagnosis&)> done;
};

gboolean OnProbeTimeout(gpointer data) {
  auto* probe = static_cast<AsyncProbe*>(data);
  probe->timed_out = true;
  g_cancellable_cancel(probe->cancellable);
  return G_SOURCE_REMOVE;
}

void OnProbeSent(GObject*, GAsyncResult* result, gpointer data) {
  std::unique_ptr<AsyncProbe> probe(static_cast<AsyncProbe*>(data));
  GError* error = nullptr;
  GInputStream* body = soup_session_send_finish(probe->session, result, &error);
  g_source_destroy(probe->timer);
  g_source_unref(probe->timer);
  Conclude(probe->message, body != nullptr, error, probe->timed_out, probe->timeout_ms,
           &probe->diagnosis);
  g_clear_error(&error);
  // Aborted first, so that letting the body go never waits for the rest of it.
  soup_session_abort(probe->session);
  if (body) g_object_unref(body);
  g_object_unref(probe->message);
  g_object_unref(probe->cancellable);
  g_object_unref(probe->session);
  probe->done(probe->diagnosis);
}

}  // namespace

UrlDiagnosis ProbeUrl(const std::string& url, int timeout_ms) {
  UrlDiagnosis d;
  GUri* raw_uri = nullptr;
  if (!Requestable(url, &d, &raw_uri)) return d;
  g_autoptr(GUri) uri = raw_uri;
  g_autoptr(SoupSession) session = soup_session_new();
  g_autoptr(SoupMessage) message = NewProbeMessage(uri);
  g_autoptr(GCancellable) cancellable = g_cancellable_new();
  g_autoptr(GError) error = nullptr;
  g_autoptr(GInputStream) body = nullptr;
  {
    Watchdog watchdog(cancellable, timeout_ms);
    body = soup_session_send(session, message, cancellable, &error);
  }
  Conclude(message, body != nullptr, error, g_cancellable_is_cancelled(cancellable), timeout_ms,
           &d);
  if (body) g_input_stream_close(body, nullptr, nullptr);
  return d;
}

void ProbeUrlAsync(const std::string& url, int timeout_ms,
                   std::function<void(const UrlDiagnosis&)> done) {
  auto probe = std::make_unique<AsyncProbe>();
  GUri* uri = nullptr;
  if (!Requestable(url, &probe->diagnosis, &uri)) {
    done(probe->diagnosis);
    return;
  }
  probe->session = soup_session_new();
  probe->message = NewProbeMessage(uri);
  g_uri_unref(uri);
  probe->cancellable = g_cancellable_new();
  probe->timeout_ms = timeout_ms;
  probe->done = std::move(done);
  GMainContext* context = g_main_context_ref_thread_default();
  probe->timer = g_timeout_source_new(static_cast<guint>(std::max(0, timeout_ms)));
  g_source_set_callback(probe->timer, OnProbeTimeout, probe.get(), nullptr);
  g_source_attach(probe->timer, context);
  g_main_context_unref(context);
  AsyncProbe* raw = probe.release();  // OnProbeSent's from here on.
  soup_session_send_async(raw->session, raw->message, G_PRIORITY_DEFAULT, raw->cancellable,
                          OnProbeSent, raw);
}

}  // namespace qvex_diagnostics
