// Image downloads over libsoup (http, https) and GIO (file), and data: URLs in place.
#include "browser/page/image_download.h"

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <algorithm>

#include "browser/page/image_impl.h"
#include "include/base/cef_bind.h"
#include "include/cef_task.h"

namespace qvex_engine {

namespace {

struct Download {
  uint32_t max_image_size;
  ImageDownloadDone done;
  SoupMessage* message = nullptr;
};

void Finish(Download* download, int status, const void* data, size_t size) {
  CefRefPtr<CefImage> image = data ? DecodeImage(data, size, download->max_image_size) : nullptr;
  download->done(status, image);
  if (download->message) g_object_unref(download->message);
  delete download;
}

SoupSession* Session() {
  static SoupSession* session = soup_session_new_with_options("timeout", 30, nullptr);
  return session;
}

void OnHttpDone(GObject* source, GAsyncResult* result, gpointer data) {
  auto* download = static_cast<Download*>(data);
  GBytes* bytes = soup_session_send_and_read_finish(SOUP_SESSION(source), result, nullptr);
  int status = static_cast<int>(soup_message_get_status(download->message));
  gsize size = 0;
  const void* body = bytes ? g_bytes_get_data(bytes, &size) : nullptr;
  bool ok = bytes && status >= 200 && status < 300;
  Finish(download, status, ok ? body : nullptr, size);
  if (bytes) g_bytes_unref(bytes);
}

void OnFileDone(GObject* source, GAsyncResult* result, gpointer data) {
  auto* download = static_cast<Download*>(data);
  char* contents = nullptr;
  gsize size = 0;
  bool ok = g_file_load_contents_finish(G_FILE(source), result, &contents, &size, nullptr,
                                        nullptr);
  Finish(download, 0, ok ? contents : nullptr, size);
  g_free(contents);
  g_object_unref(source);
}

}  // namespace

bool DecodeDataUrl(const std::string& url, std::string* bytes) {
  if (url.compare(0, 5, "data:") != 0) return false;
  size_t comma = url.find(',');
  if (comma == std::string::npos) return false;
  std::string header = url.substr(5, comma - 5);
  bool base64 = header.size() >= 7 && header.compare(header.size() - 7, 7, ";base64") == 0;
  GBytes* raw = g_uri_unescape_bytes(url.c_str() + comma + 1, -1, nullptr, nullptr);
  if (!raw) return false;
  gsize size = 0;
  const char* data = static_cast<const char*>(g_bytes_get_data(raw, &size));
  std::string payload(data ? data : "", size);
  g_bytes_unref(raw);
  if (!base64) {
    *bytes = payload;
    return true;
  }
  payload.erase(std::remove_if(payload.begin(), payload.end(),
                               [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }),
                payload.end());
  gsize decoded_size = 0;
  guchar* decoded = g_base64_decode(payload.c_str(), &decoded_size);
  bytes->assign(reinterpret_cast<char*>(decoded), decoded_size);
  g_free(decoded);
  return true;
}

CefRefPtr<CefImage> DecodeImage(const void* data, size_t size, uint32_t max_image_size) {
  GdkPixbuf* pixbuf = ImageImpl::Decode(data, size);
  if (!pixbuf) return nullptr;
  int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
  int largest = std::max(width, height);
  if (max_image_size > 0 && largest > static_cast<int>(max_image_size)) {
    double scale = static_cast<double>(max_image_size) / largest;
    int w = std::max(1, static_cast<int>(width * scale + 0.5));
    int h = std::max(1, static_cast<int>(height * scale + 0.5));
    GdkPixbuf* scaled = gdk_pixbuf_scale_simple(pixbuf, w, h, GDK_INTERP_BILINEAR);
    g_object_unref(pixbuf);
    pixbuf = scaled;
    if (!pixbuf) return nullptr;
  }
  CefRefPtr<ImageImpl> image = new ImageImpl();
  image->AddPixbuf(1.0f, pixbuf);
  g_object_unref(pixbuf);
  return image.get();
}

void DownloadImageAsync(const std::string& url, uint32_t max_image_size, bool bypass_cache,
                        ImageDownloadDone done) {
  auto* download = new Download{max_image_size, std::move(done)};
  if (url.compare(0, 5, "data:") == 0) {
    // Answered from a task, as every other download: never inside the caller.
    std::string bytes;
    bool ok = DecodeDataUrl(url, &bytes);
    CefPostTask(TID_UI, base::Bind(
                            [](Download* d, std::string b, bool ok) {
                              Finish(d, 0, ok ? b.data() : nullptr, b.size());
                            },
                            download, bytes, ok));
    return;
  }
  if (url.compare(0, 7, "file://") == 0) {
    GFile* file = g_file_new_for_uri(url.c_str());
    g_file_load_contents_async(file, nullptr, OnFileDone, download);
    return;
  }
  if (url.compare(0, 7, "http://") == 0 || url.compare(0, 8, "https://") == 0) {
    download->message = soup_message_new("GET", url.c_str());
    if (download->message) {
      if (bypass_cache)
        soup_message_headers_replace(soup_message_get_request_headers(download->message),
                                     "Cache-Control", "no-cache");
      soup_session_send_and_read_async(Session(), download->message, G_PRIORITY_DEFAULT,
                                       nullptr, OnHttpDone, download);
      return;
    }
  }
  CefPostTask(TID_UI, base::Bind([](Download* d) { Finish(d, 0, nullptr, 0); }, download));
}

}  // namespace qvex_engine
