// Fetching and decoding images for CefBrowserHost::DownloadImage: http(s), file and data URLs.
// Start on the UI thread; the completion runs on the UI thread.
#ifndef QVEX_ENGINE_BROWSER_PAGE_IMAGE_DOWNLOAD_H_
#define QVEX_ENGINE_BROWSER_PAGE_IMAGE_DOWNLOAD_H_

#include <cstdint>
#include <functional>
#include <string>

#include "include/cef_image.h"

namespace qvex_engine {

using ImageDownloadDone = std::function<void(int http_status, CefRefPtr<CefImage> image)>;

// Fetches `url` and calls `done` once, with a null image on any failure.
void DownloadImageAsync(const std::string& url, uint32_t max_image_size, bool bypass_cache,
                        ImageDownloadDone done);

// Decodes image data (PNG, ICO, JPEG, GIF...) scaled down to fit `max_image_size` (0: as is);
// null when the data is no image.
CefRefPtr<CefImage> DecodeImage(const void* data, size_t size, uint32_t max_image_size);

// The bytes of a data: URL ("data:[type][;base64],payload"); false when it is not one.
bool DecodeDataUrl(const std::string& url, std::string* bytes);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_PAGE_IMAGE_DOWNLOAD_H_
